#pragma once

#include <QObject>
#include <QString>

#include <memory>

// Device arrival and removal (the session re-opens its port when a USB serial adapter comes
// back). Where the platform gives no such notifications the notifier is "unavailable": it
// never signals, and the session relies on its port poll alone.
class TUsbNotifier : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isAvailable() const = 0;
    // Why there are no notifications, for the one trace line the caller writes; empty when available.
    virtual QString unavailableReason() const = 0;

signals:
    // name: the device node ("/dev/ttyUSB0") or, without one, the device's system path.
    void deviceArrived(const QString &name);
    void deviceRemoved(const QString &name);
};

// No notifications on this system.
class UnavailableUsbNotifier final : public TUsbNotifier
{
    Q_OBJECT
public:
    explicit UnavailableUsbNotifier(const QString &reason, QObject *parent = nullptr)
        : TUsbNotifier(parent), m_reason(reason)
    {
    }
    bool isAvailable() const override { return false; }
    QString unavailableReason() const override { return m_reason; }

private:
    QString m_reason;
};

// What a device event means to the notifier: udev's action, subsystem and device type, and
// the names of the device. Serial ports ("tty") and whole USB devices ("usb"/"usb_device")
// arrive and leave; interfaces of a USB device and other actions ("bind", "change") are not
// reported, so one plug gives one arrival per kind.
struct UsbDeviceEvent
{
    enum Kind { Ignored, Arrived, Removed };
    Kind kind = Ignored;
    QString name;
};
UsbDeviceEvent classifyDeviceEvent(const QString &action, const QString &subsystem, const QString &devType,
                                   const QString &devNode, const QString &sysPath);

// The notifier of this system: a udev monitor when udev is there and its service runs,
// else an unavailable one with the reason.
std::unique_ptr<TUsbNotifier> createUsbNotifier(QObject *parent = nullptr);
