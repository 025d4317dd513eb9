#pragma once

#include <QString>

// Port names of the program ("COM1", "COM12", ...) and the device each one stands for.
//
// A name is first looked up in the per-user port map: a symbolic link
//   <config>/Kellerbrand/Torvane/ports/COMn    (<config>: see ConfigPaths::programConfigDir)
// that points at the device (scripts, the demo and the simulator put links there). A link that
// exists always wins, even when it dangles: opening it then reports a missing device, which is
// what the reconnect poll waits out. Without a link the default mapping applies:
//   COM1  .. COM32  -> /dev/ttyS0   .. /dev/ttyS31     (on-board and PCI ports)
//   COM33 .. COM64  -> /dev/ttyUSB0 .. /dev/ttyUSB31   (USB serial adapters)
//   COM65 .. COM96  -> /dev/ttyACM0 .. /dev/ttyACM31   (USB CDC devices)
namespace PortMap {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 96;

// "COM12" -> 12 (letter case ignored, blanks around allowed); -1 for anything else.
int comNumber(const QString &portName);
QString portName(int comNumber);                 // 12 -> "COM12"

QString mapDirectory();                          // <config>/Kellerbrand/Torvane/ports
QString linkPath(int comNumber);                 // mapDirectory()/COMn
QString defaultDevicePath(int comNumber);        // empty outside 1..96

// The path to open for port n: the link when one exists, else the default device; empty when
// n is outside every mapping. Not resolved: a dangling link is returned as it stands.
QString devicePath(int comNumber);

// The device behind port n with every link resolved (what the lock file must be named after);
// empty when nothing exists there.
QString resolvedDevicePath(int comNumber);

// True when port n leads to an existing device, whether free or held by another program.
bool IsPortAvailable(int comNumber);

// Creates or replaces the link of port n so that it points at target (the map directory is
// created when missing). Returns false with the reason in *error.
bool linkPort(int comNumber, const QString &target, QString *error = nullptr);
bool unlinkPort(int comNumber);

} // namespace PortMap
