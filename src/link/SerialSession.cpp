#include "link/SerialSession.h"

#include "link/LinkWait.h"
#include "localisation/LanguageSelect.h"
#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "platform/InstanceBroadcast.h"
#include "platform/PortMap.h"
#include "platform/StatusTrace.h"
#include "platform/UserPrompts.h"
#include "platform/UsbNotifier.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace {

using LinkWait::handlePendingEvents;

const char kCtrlT = 0x14;
const char kTab = 0x09;

// Printable characters as they are, the rest as <hex>, for trace lines.
QString printable(const QByteArray &bytes)
{
    QString s;
    s.reserve(bytes.size());
    for (char ch : bytes) {
        const uchar c = uchar(ch);
        if (c >= 32 && c < 127)
            s += QLatin1Char(char(c));
        else
            s += QLatin1Char('<') + IntToHex(c, 2) + QLatin1Char('>');
    }
    return s;
}

void appendBounded(QByteArray &buffer, const QByteArray &bytes)
{
    buffer += bytes;
    if (buffer.size() > TCOM::kMaxWaitBuffer)
        buffer.remove(0, buffer.size() - TCOM::kMaxWaitBuffer / 2);
}

} // namespace

TCOM::TCOM(QObject *parent) : QObject(parent)
{
    m_ownBroadcast = createInstanceBroadcast();
    m_ownUsb = createUsbNotifier();
    m_broadcast = m_ownBroadcast.get();
    m_usb = m_ownUsb.get();
    init();
}

TCOM::TCOM(InstanceBroadcast *broadcast, TUsbNotifier *usbNotifier, QObject *parent)
    : QObject(parent), m_broadcast(broadcast), m_usb(usbNotifier)
{
    init();
}

TCOM::~TCOM()
{
    // Closing must not come back as errors into a half-destroyed session.
    COM.disconnect(this);
    if (COM.isOpen())
        COM.close();
}

void TCOM::init()
{
    COM.setReadBufferSize(kBufferSize);
    TimerWaitingForCom.setInterval(kWaitingPollMs);
    connect(&TimerWaitingForCom, &QTimer::timeout, this, &TCOM::TimerWaitingForComTimer);

    // Arrivals reach the receive handler from a queued call, not from inside the port's own
    // read notification: a handler that waits there would keep the port from announcing the
    // bytes that arrive during its wait.
    connect(&COM, &QSerialPort::readyRead, this, [this] {
        const int count = BytesAvailable();
        if (count <= 0)
            return;
        const TReceiveHandler handler = m_receiveHandler; // the handler may replace itself
        handler(count);
    }, Qt::QueuedConnection);

    m_receiveHandler = [this](int count) { OwnReceive(count); };

    if (m_broadcast)
        connect(m_broadcast, &InstanceBroadcast::comWaitReceived, this, &TCOM::onBroadcastCom);
    if (m_usb) {
        connect(m_usb, &TUsbNotifier::deviceArrived, this, &TCOM::UsbArrival);
        connect(m_usb, &TUsbNotifier::deviceRemoved, this, &TCOM::UsbRemoval);
        static bool told = false; // one line per run, however often a session is made
        if (!m_usb->isAvailable() && !told) {
            told = true;
            statusTrace().logStringOnly(QStringLiteral("No USB device notifications (%1): the program runs without them and finds a lost port by polling")
                                            .arg(m_usb->unavailableReason()));
        }
    }
}

QString TCOM::translate(const QString &key) const
{
    return language ? language->translate(key) : key;
}

qint64 TCOM::instanceId() const
{
    return m_broadcast ? m_broadcast->instanceId() : 0;
}

void TCOM::sendComState(int wParam, int lParam)
{
    emit comState(wParam, lParam);
}

void TCOM::SetState(const QString &text)
{
    State = text;
    if (FOnStateChanged)
        FOnStateChanged(this);
}

bool TCOM::IsPortAvailable(int comNumber)
{
    return PortMap::IsPortAvailable(comNumber);
}

// ---------------------------------------------------------------------------------------------
// settings, open, close

void TCOM::ApplySettings()
{
    if (!m_errorHandlerInstalled) {
        connect(&COM, &QSerialPort::errorOccurred, this, &TCOM::onComError);
        m_errorHandlerInstalled = true;
    }
    if (COM.isOpen())
        COM.close();
    // New settings end the wait for the old port: a port set "offline" must not be re-opened
    // when it comes back. A new port that is missing starts its own wait below.
    TimerWaitingForCom.stop();
    m_waitingTag = 0;

    const QString port = Settings.PortNumber.Text;
    if (port == TSerialSettings::kOffline) {
        m_comNumber = 0;
        return;
    }
    if (port.isEmpty()) {
        Settings.StandardSerialOptions();
        Settings.PortNumber.Text = TSerialSettings::kOffline;
        m_comNumber = 0;
        return;
    }

    const auto failure = [] { return TorvaneError(QStringLiteral("Error setting port options")); };
    // The number is read from the two characters after "COM" ("COM12" 12, "COM5" 5).
    bool ok = false;
    const int number = port.mid(3, 2).toInt(&ok);
    if (!ok)
        throw failure();

    int baud = 9600, stopBits = 1, dataBits = 8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    if (Settings.Baudrate.Text != translate(QStringLiteral("qvMoreSerialOptionBaudrateLabel"))) {
        const auto number = [&](const QString &text, int empty) {
            if (text.trimmed().isEmpty())
                return empty;
            bool good = false;
            const int v = text.trimmed().toInt(&good);
            if (!good)
                throw failure();
            return v;
        };
        baud = number(Settings.Baudrate.Text, 9600);
        stopBits = number(Settings.StopBits.Text, 1);
        dataBits = number(Settings.Datenbits.Text, 8);
        const QString p = Settings.Parity.Text.toUpper();
        if (p == QLatin1String("EVEN"))
            parity = QSerialPort::EvenParity;
        else if (p == QLatin1String("ODD"))
            parity = QSerialPort::OddParity;
        else if (p == QLatin1String("MARK"))
            parity = QSerialPort::MarkParity;
        else if (p == QLatin1String("SPACE"))
            parity = QSerialPort::SpaceParity;
    }
    if (baud <= 0 || dataBits < 5 || dataBits > 8 || (stopBits != 1 && stopBits != 2))
        throw failure();
    if (!COM.setBaudRate(baud) || !COM.setDataBits(QSerialPort::DataBits(dataBits))
        || !COM.setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) || !COM.setParity(parity)
        || !COM.setFlowControl(QSerialPort::NoFlowControl))
        throw failure();

    m_comNumber = number;
    openPort();
    if (COM.isOpen()) {
        sendComState(0, comStateOnline);
        handlePendingEvents();
    }
}

void TCOM::openPort()
{
    if (COM.isOpen()) {
        // Opening an open port is refused by the port and ignored by the session.
        statusTrace().logStringOnly(QStringLiteral("COM%1 is already open").arg(m_comNumber));
        return;
    }
    // The canonical path names the lock file; a dangling link is opened as it stands and so
    // reports a missing device.
    QString path = PortMap::devicePath(m_comNumber);
    if (path.isEmpty())
        path = PortMap::linkPath(m_comNumber);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    m_devicePath = canonical.isEmpty() ? path : canonical;
    LastOpenError.clear();
    COM.setPortName(m_devicePath);
    if (!COM.open(QIODevice::ReadWrite))
        return; // the reason has reached onComError
    // Line outputs: DTR on, RTS off. A pseudo-terminal cannot carry them; that is no failure.
    COM.setDataTerminalReady(true);
    COM.setRequestToSend(false);
}

void TCOM::openCOM()
{
    openPort();
    handlePendingEvents();
    if (COM.isOpen()) {
        closeCOM();
        handlePendingEvents();
        openPort();
    }
}

void TCOM::closeCOM()
{
    if (COM.isOpen())
        COM.close();
    TimerWaitingForCom.stop();
    sendComState(0, comStateClosed);
    handlePendingEvents();
}

// ---------------------------------------------------------------------------------------------
// failures and recovery

namespace {

bool deviceAccessDeniedByFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    return ::access(name.constData(), R_OK | W_OK) != 0 && errno == EACCES;
}

} // namespace

bool (*TCOM::DeviceAccessDenied)(const QString &path) = deviceAccessDeniedByFile;

QString TCOM::PermissionDeniedText() const
{
    // Serial devices belong to a group whose members may open them ("dialout" on most systems).
    QString group = QFileInfo(m_devicePath).group();
    if (group.isEmpty() || group == QLatin1String("root"))
        group = QStringLiteral("dialout");
    return QStringLiteral("Permission denied on %1 (COM%2): this user may not open the serial port. Add the user to the "
                          "group \"%3\" (for example: sudo usermod -aG %3 $USER) and log in again.")
        .arg(m_devicePath)
        .arg(m_comNumber)
        .arg(group);
}

void TCOM::onComError(QSerialPort::SerialPortError errorCode)
{
    switch (errorCode) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::UnsupportedOperationError:
        // DTR/RTS on a line that has none (a pseudo-terminal): not a port failure.
    case QSerialPort::OpenError:
        // Opening a port that is open already: ignored.
    case QSerialPort::NotOpenError:
    case QSerialPort::TimeoutError:
        statusTrace().logStringOnly(QStringLiteral("COM: ") + COM.errorString());
        COM.clearError();
        return;
    case QSerialPort::PermissionError:
        // The port reports a lock file, an exclusive open by another program and a device file
        // this user may not open all alike; the file's own permission tells the last one apart.
        if (DeviceAccessDenied && DeviceAccessDenied(m_devicePath)) {
            statusTrace().logStringOnly(QStringLiteral("Keine Berechtigung für ") + m_devicePath + QStringLiteral(": ")
                                        + COM.errorString());
            doComOpen = false;
            TimerWaitingForCom.stop();
            LastOpenError = PermissionDeniedText();
            sendComState(2, comStateNoPermission);
            break;
        }
        statusTrace().logStringOnly(QStringLiteral("Port wird von einer anderen App verwendet"));
        LastOpenError = QStringLiteral("Port COM%1 is in use by another application").arg(m_comNumber);
        doComOpen = false;
        TimerWaitingForCom.stop();
        sendComState(2, comStateInUse);
        break;
    case QSerialPort::DeviceNotFoundError:
        statusTrace().logStringOnly(QStringLiteral("ie_BadId - bad or unsupported ID - waiting for com"));
        LastOpenError = QStringLiteral("COM%1: no device at %2").arg(m_comNumber).arg(m_devicePath);
        onWaitingForCom(4);
        break;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
        // A vanished device keeps reporting read errors as fast as the loop turns while the
        // port stays open: close it on the first one.
        if (COM.isOpen())
            COM.close();
        statusTrace().logStringOnly(QStringLiteral("ecDeviceRead - waiting for com send Msg 2, 0"));
        onWaitingForCom(2);
        break;
    case QSerialPort::WriteError:
        statusTrace().logStringOnly(QStringLiteral("ecDeviceWrite - try to close and reopen com"));
        reOpenCom(0);
        break;
    default:
        statusTrace().logStringOnly(QStringLiteral("some other error ") + QString::number(int(errorCode)));
        onWaitingForCom(3);
        break;
    }
    COM.clearError();
    handlePendingEvents();
}

void TCOM::onWaitingForCom(int wParam)
{
    if (wParam != 0) {
        ++m_waitingTag;
        TimerWaitingForCom.start();
        sendComState(m_waitingTag, comStateOnline);
    } else {
        m_waitingTag = 0;
        TimerWaitingForCom.stop();
        sendComState(0, comStateOnline);
    }
    handlePendingEvents();
}

void TCOM::TimerWaitingForComTimer()
{
    if (IsPortAvailable(m_comNumber)) {
        if (COM.isOpen())
            COM.close();
        handlePendingEvents();
        openPort();
        // Only an open port ends the waiting: an open that failed has already set the state
        // its failure calls for (waiting again, or "in use").
        if (COM.isOpen()) {
            TimerWaitingForCom.stop();
            m_waitingTag = 0;
            handlePendingEvents();
            sendComState(0, comStateOnline);
        }
    } else {
        ++m_waitingTag;
        sendComState(m_waitingTag, comStateOnline);
        handlePendingEvents();
        if (m_broadcast)
            m_broadcast->broadcastComWait(m_comNumber);
    }
    handlePendingEvents();
}

void TCOM::onBroadcastCom(qint64 senderId, int comNumber)
{
    if (senderId == instanceId())
        return;
    statusTrace().logStringOnly(FormatText(QStringLiteral("App: %d already --"), {senderId})
                                + FormatText(QStringLiteral("-- waiting on COM%d"), {comNumber}));
    if (m_comNumber != 0 && comNumber == m_comNumber) {
        statusTrace().logStringOnly(QStringLiteral("Waiting on the same COM - getting offline"));
        TimerWaitingForCom.stop();
        sendComState(2, comStateOtherCopyWaits);
        handlePendingEvents();
    }
}

void TCOM::reOpenCom(int wParam)
{
    if (wParam == 0 && IsPortAvailable(m_comNumber)) {
        doComOpen = true;
        if (COM.isOpen())
            COM.close();
        handlePendingEvents();
        openPort();
    } else if (wParam == 1) {
        doComOpen = false;
    }
}

void TCOM::UsbArrival(const QString &name)
{
    if (doComOpen) {
        sendComState(0, comStateOnline);
        handlePendingEvents();
        ReInitialize();
        handlePendingEvents();
    } else {
        statusTrace().logStringOnly(QStringLiteral("USBcome aber nicht connected also nichts tun"));
    }
}

void TCOM::UsbRemoval(const QString &name)
{
    statusTrace().logStringOnly(QStringLiteral("USBgo ++++++++++++++++++++++++++++++"));
}

bool TCOM::event(QEvent *e)
{
    const int type = int(e->type());
    if (type == WM_WAITINGFORCOM || type == WM_REOPENCOM) {
        const auto *m = static_cast<TLinkMessage *>(e);
        if (type == WM_WAITINGFORCOM)
            onWaitingForCom(int(m->WParam));
        else
            reOpenCom(int(m->WParam));
        return true;
    }
    return QObject::event(e);
}

// ---------------------------------------------------------------------------------------------
// port operations

void TCOM::PutChar(char c)
{
    if (COM.isOpen())
        COM.putChar(c);
}

void TCOM::PutString(const QByteArray &bytes)
{
    if (COM.isOpen() && !bytes.isEmpty())
        COM.write(bytes);
}

void TCOM::PutString(const QString &text)
{
    PutString(text.toLatin1());
}

qint64 TCOM::OutputPending() const
{
    return COM.isOpen() ? COM.bytesToWrite() : 0;
}

void TCOM::FlushInput()
{
    if (COM.isOpen())
        COM.clear(QSerialPort::Input);
}

void TCOM::FlushOutput()
{
    if (COM.isOpen())
        COM.clear(QSerialPort::Output);
}

int TCOM::BytesAvailable() const
{
    return COM.isOpen() ? int(COM.bytesAvailable()) : 0;
}

bool TCOM::ReadByte(char &c)
{
    return COM.isOpen() && COM.bytesAvailable() > 0 && COM.getChar(&c);
}

QByteArray TCOM::ReadBlock(int maxCount)
{
    if (!COM.isOpen() || maxCount <= 0)
        return {};
    return COM.read(maxCount);
}

void TCOM::ReInitialize()
{
    if (!COM.isOpen())
        return;
    COM.close();
    openPort();
}

void TCOM::SetReceiveHandler(TReceiveHandler handler)
{
    if (handler)
        m_receiveHandler = std::move(handler);
    else
        m_receiveHandler = [this](int count) { OwnReceive(count); };
}

void TCOM::OwnReceive(int Count)
{
    const QByteArray bytes = ReadBlock(qMax(Count, BytesAvailable()));
    if (!bytes.isEmpty())
        statusTrace().logStringOnly(QStringLiteral("in: ") + printable(bytes));
}

// ---------------------------------------------------------------------------------------------
// the service reset

void TCOM::ResetReceive(int Count)
{
    const QByteArray bytes = ReadBlock(qMax(Count, BytesAvailable()));
    if (bytes.isEmpty())
        return;
    appendBounded(StrWaitBuffer, bytes.toUpper());
    statusTrace().logStringOnly(QStringLiteral("Reset Trigger ") + printable(StrWaitBuffer));
}

bool TCOM::ResetDevice()
{
    OldReceiveProc = m_receiveHandler;
    struct Restore {
        TCOM &com;
        ~Restore() { com.SetReceiveHandler(com.OldReceiveProc); }
    } restore{*this};
    SetReceiveHandler([this](int count) { ResetReceive(count); });
    UserPrompts::instance().setBusy(true);
    StrWaitBuffer.clear();

    const auto holds = [this](const char *text) { return StrWaitBuffer.contains(QByteArray(text).toUpper()); };
    const auto waitFor = [&](const char *text, int ms) {
        return LinkWait::waitUntil([&] { return holds(text); }, ms);
    };
    const auto fail = [this](const QString &message) {
        SetState(message);
        UserPrompts::instance().setBusy(false);
        return false;
    };

    PutChar(kTab);
    if (!waitFor("Password:", 5000))
        return fail(translate(QStringLiteral("TCOM_errorNoValidPassword")));
    SetState(translate(QStringLiteral("qvSerialOptioSendPassword")));
    StrWaitBuffer.replace(QByteArray("PASSWORD:"), QByteArray());
    PutString(QByteArray("KQRZVT\r"));

    if (!waitFor("......", 5000))
        return fail(translate(QStringLiteral("TCOM_errorNoPasswordEcho")));
    StrWaitBuffer.replace(QByteArray("......"), QByteArray());
    handlePendingEvents();

    SetState(translate(QStringLiteral("qvSerialOptionWaitForWarmstart")));
    LinkWait::waitUntil([&] { return holds("Warmstart") || holds("Proto"); }, 25000);
    if (holds("Warmstart")) {
        SetState(translate(QStringLiteral("qvSerialOptionWaitForRestart")));
        statusTrace().logStringOnly(QStringLiteral("WARMSTARt erhalten"));
    } else if (holds("Proto")) {
        if (!waitFor(":", 20000))
            return fail(translate(QStringLiteral("exceptionResetError")));
        StrWaitBuffer.clear();
        PutChar('0');
    } else {
        return fail(translate(QStringLiteral("exceptionResetError")));
    }

    SetState(translate(QStringLiteral("qvSerialOptionWaitForRestart")));
    if (!WaitForDeviceRestart(15000, 1000, 100))
        SetState(translate(QStringLiteral("Not restarted after reset")));
    return true;
}

bool TCOM::WaitForDeviceRestart(int maxWait, int initialWait, int lastWait)
{
    const auto running = [this] { return StrWaitBuffer.contains("OKOK"); };
    ExactDelay(initialWait);
    FlushInput();
    StrWaitBuffer.clear();
    const uint32_t deadline = GetTickCount() + uint32_t(qMax(0, maxWait));
    const auto past = [](uint32_t limit) { return int32_t(GetTickCount() - limit) > 0; };

    // Leave the device alone until it has said something (its banner), then ask every 500 ms.
    do {
        LinkWait::waitUntil(running, 500);
        handlePendingEvents();
        if (!running() && !StrWaitBuffer.isEmpty()) {
            PutChar(kCtrlT);
            handlePendingEvents();
        }
    } while (!running() && !past(deadline));

    if (!running()) {
        statusTrace().logStringOnly(QStringLiteral("Zeit ist abgelaufen, es ist nichts eingegangen"));
        return false;
    }

    // The rest of the device's output.
    const uint32_t end = GetTickCount() + uint32_t(qMax(0, maxWait));
    QByteArray previous;
    do {
        previous = StrWaitBuffer;
        ExactDelay(lastWait);
        handlePendingEvents();
        ExactDelay(lastWait);
        handlePendingEvents();
    } while (StrWaitBuffer != previous && !past(end));
    return running();
}
