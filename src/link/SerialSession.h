#pragma once

#include "link/LinkMessages.h"
#include "link/SerialSettings.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class InstanceBroadcast;
class LanguageSelect;
class TUsbNotifier;

// Called on the event loop whenever bytes have arrived, with their count. Exactly one handler
// is installed at a time; a sequence that needs the raw replies saves the current one, installs
// its own and puts the saved one back on every exit.
//
// A handler that may wait (and so run the event loop) while it handles a byte must take the
// bytes one at a time with ReadByte: arrivals during its wait call the handler again, nested,
// and that nested call goes on with the following bytes, so every byte is handled once and in
// order.
using TReceiveHandler = std::function<void(int Count)>;

// The one serial port session of the program. It owns the port, turns the port settings into
// line settings, opens and closes the port, reports the connection state (WM_COMSTATE, the
// comState signal), recovers by itself when the port disappears or fails, and coordinates with
// other running copies of the program through the instance broadcast.
//
// Port names "COMn" lead to devices through the port map (platform/PortMap.h); the session
// always opens the device's canonical path, so the lock file of a port is the same whichever
// link led to it.
class TCOM : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBufferSize = 32768;   // input buffer of the port
    static constexpr int kWaitingPollMs = 500;  // the lost-port poll
    // The collection buffers keep this many characters at most (the newest ones): a device
    // that never stops talking cannot make them grow without bound.
    static constexpr int kMaxWaitBuffer = 8192;

    // The program's session: joins the running copies and watches device arrival itself.
    explicit TCOM(QObject *parent = nullptr);
    // A session with the given broadcast and notifier (not owned; either may be null, which
    // means no coordination or no device notifications).
    TCOM(InstanceBroadcast *broadcast, TUsbNotifier *usbNotifier, QObject *parent = nullptr);
    ~TCOM() override;

    // --- settings -------------------------------------------------------------------------
    TSerialSettings Settings; // PortNumber, Baudrate, Startbits, StopBits, Datenbits, Parity
    void StandardSerialOptions() { Settings.StandardSerialOptions(); }
    // Applies the lists to the port and opens it; raises "Error setting port options" when the
    // lists cannot be turned into line settings. Port failures arrive through onComError.
    void ApplySettings();
    // The user's connect and disconnect.
    void openCOM();
    void closeCOM();

    // --- handshakes of the session (the service reset) ----------------------------------------
    bool ResetDevice();
    bool WaitForDeviceRestart(int maxWait, int initialWait, int lastWait);

    // --- state ------------------------------------------------------------------------------
    void SetState(const QString &text);
    QString State;
    std::function<void(TCOM *Sender)> FOnStateChanged;
    bool doComOpen = false;
    TReceiveHandler OldReceiveProc;
    LanguageSelect *language = nullptr;
    QByteArray StrWaitBuffer; // upper-cased replies during the reset sequence
    QTimer TimerWaitingForCom;
    int TimerWaitingForComTag() const { return m_waitingTag; }
    TUsbNotifier *usbNotify() const { return m_usb; }

    // --- message handlers ------------------------------------------------------------------------
    void onWaitingForCom(int wParam);                 // WM_WAITINGFORCOM
    void reOpenCom(int wParam);                       // WM_REOPENCOM
    void onBroadcastCom(qint64 senderId, int comNumber); // "Broadcast COM"
    void TimerWaitingForComTimer();
    void onComError(QSerialPort::SerialPortError errorCode);
    void UsbArrival(const QString &name);
    void UsbRemoval(const QString &name);

    // --- the port -----------------------------------------------------------------------------
    bool IsOpen() const { return COM.isOpen(); }
    int ComNumber() const { return m_comNumber; }        // of the last ApplySettings; 0 offline
    QString DevicePath() const { return m_devicePath; } // the path last opened
    qint32 CurrentBaudRate() const { return COM.baudRate(); }
    const QSerialPort &Port() const { return COM; }
    static bool IsPortAvailable(int comNumber);
    // Whether the user may not read and write the device file at path (access(2) says EACCES).
    // A refused open is a lock held by another program unless this says so. Replaceable for
    // tests, which run with rights that no file refuses.
    static bool (*DeviceAccessDenied)(const QString &path);
    // Why the last open failed, for the user: the port held by another program, permission
    // denied on the device file (naming the path and the group that may open it), no device.
    // Empty after a successful open.
    QString LastOpenError;
    QString PermissionDeniedText() const;

    void PutChar(char c);
    void PutString(const QByteArray &bytes);
    void PutString(const QString &text); // each character as one byte
    qint64 OutputPending() const;        // bytes queued and not yet on the line
    void FlushInput();
    void FlushOutput();
    int BytesAvailable() const;
    bool ReadByte(char &c);
    QByteArray ReadBlock(int maxCount);
    // Closes and reopens the device underneath an open port (same settings); a closed port
    // stays closed.
    void ReInitialize();

    TReceiveHandler ReceiveHandler() const { return m_receiveHandler; }
    // An empty handler puts the session's own back.
    void SetReceiveHandler(TReceiveHandler handler);
    // The session's own receive handler: traces each arrival as "in: " and the characters.
    void OwnReceive(int Count);
    // The reset sequence's receive handler: appends every arrived character, upper-cased, to
    // StrWaitBuffer (which WaitForDeviceRestart reads).
    void ResetReceive(int Count);

    // The identity this copy's broadcasts carry (0 without a broadcast).
    qint64 instanceId() const;

signals:
    // WM_COMSTATE(wParam, lParam) for the main window.
    void comState(int wParam, int lParam);

protected:
    bool event(QEvent *e) override;

private:
    void init();
    void openPort();
    void sendComState(int wParam, int lParam);
    QString translate(const QString &key) const;

    QSerialPort COM;
    InstanceBroadcast *m_broadcast = nullptr;
    TUsbNotifier *m_usb = nullptr;
    std::unique_ptr<InstanceBroadcast> m_ownBroadcast;
    std::unique_ptr<TUsbNotifier> m_ownUsb;
    TReceiveHandler m_receiveHandler;
    int m_waitingTag = 0;
    int m_comNumber = 0;
    QString m_devicePath;
    bool m_errorHandlerInstalled = false;
};

// Takes the port's receive handler over for the lifetime of a scope and puts the previous one
// back on every way out.
class TReceiveHandlerTakeover
{
public:
    TReceiveHandlerTakeover(TCOM &com, TReceiveHandler handler) : m_com(com), m_saved(com.ReceiveHandler())
    {
        m_com.SetReceiveHandler(std::move(handler));
    }
    ~TReceiveHandlerTakeover() { m_com.SetReceiveHandler(m_saved); }
    TReceiveHandlerTakeover(const TReceiveHandlerTakeover &) = delete;
    TReceiveHandlerTakeover &operator=(const TReceiveHandlerTakeover &) = delete;

private:
    TCOM &m_com;
    TReceiveHandler m_saved;
};
