#pragma once

#include <QPointer>
#include <QString>

class TCOM;
class TUploadEEROM;

// The receive state the handshakes read and the handshakes that only need the port and the
// image: the presence query, the power-on banner and the restart announcement. The main window
// owns one and installs Receive as the port's receive handler; the command line and the tests
// use it the same way, without widgets.
class TDeviceReceiver
{
public:
    TDeviceReceiver(TCOM &com, TUploadEEROM *image = nullptr);
    // Gives the port back to the session's own handler while this receiver holds it.
    ~TDeviceReceiver();
    TDeviceReceiver(const TDeviceReceiver &) = delete;
    TDeviceReceiver &operator=(const TDeviceReceiver &) = delete;

    // While set, printable received characters (codes 32..128) are appended to CollectString.
    bool CollectCharacters = false;
    QString CollectString;
    // While set, received bytes are not passed to the image.
    bool DeviceCheck = false;

    // Installs Receive as the port's receive handler.
    void Install();
    // The receiver: every arrived byte, in order, goes to the image's character input (unless
    // DeviceCheck) and, when collecting, into CollectString. Nothing the device sends can make
    // it raise: a failure inside the image's handling is traced and the next byte is handled.
    void Receive(int Count);

    // Presence query: up to retry times 0x14 and a wait of maxWait ms for exactly "OK".
    // Every wait here ends at once when the port goes away (the caller asks IsOpen).
    bool CheckdeviceConnected(int maxWait, int retry);
    // Asks for the power-on banner (0x16) and waits until it stops growing or maxWait has
    // passed; true when it carries the signature "(c)kB" (any letter case). CollectCharacters
    // stays set; the caller clears it.
    bool SendCtrlVAndwaitForEinschaltmeldung(int maxWait, int initialWait, int lastChangeTime);
    // The same without asking: waits for a banner the device sends by itself. With
    // keepCollected the text already collected counts (what followed "Restart" in the same
    // read, see WaitForRestartText) instead of being emptied first.
    bool waitForEinschaltmeldung(int maxWait, int initialWait, bool keepCollected = false);
    // Waits up to limit ms for "Restart" (any letter case); the caller sets CollectCharacters.
    // When found, CollectString keeps only what followed it (a device that restarts at once
    // may send its banner in the same read). The result is only traced by the program; it is
    // returned for the command line.
    bool WaitForRestartText(int limit);

    TCOM &Com() const { return m_com; }
    TUploadEEROM *Image() const { return m_image; }
    void SetImage(TUploadEEROM *image) { m_image = image; }

    // CollectString keeps this many characters at most (the newest).
    static constexpr int kMaxCollect = 8192;

private:
    bool bannerLoop(int maxWait, int delayMs);
    void collect(char c);

    TCOM &m_com;
    QPointer<TCOM> m_comAlive;
    TUploadEEROM *m_image;
};
