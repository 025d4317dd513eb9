#include "link/DeviceHandshake.h"

#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "link/UploadEEROM.h"
#include "platform/StatusTrace.h"

#include <exception>

namespace {

const char kCtrlT = 0x14;
const char kCtrlV = 0x16;
const QString kSignature = QStringLiteral("(C)KB");

// The handler Install puts on the port; a named type, so the receiver can tell its own
// installation from anybody else's.
struct ReceiverHandler {
    TDeviceReceiver *owner;
    void operator()(int count) const { owner->Receive(count); }
};

} // namespace

TDeviceReceiver::TDeviceReceiver(TCOM &com, TUploadEEROM *image) : m_com(com), m_comAlive(&com), m_image(image)
{
}

TDeviceReceiver::~TDeviceReceiver()
{
    if (!m_comAlive)
        return;
    const TReceiveHandler current = m_com.ReceiveHandler();
    const ReceiverHandler *mine = current.target<ReceiverHandler>();
    if (mine && mine->owner == this)
        m_com.SetReceiveHandler({});
}

void TDeviceReceiver::Install()
{
    m_com.SetReceiveHandler(ReceiverHandler{this});
}

void TDeviceReceiver::Receive(int Count)
{
    // One byte at a time: the image's handlers may wait (a download or a transfer end that
    // goes on with the next step), and the bytes that arrive meanwhile are handled by a nested
    // call that continues right here.
    Q_UNUSED(Count);
    char c;
    while (m_com.ReadByte(c)) {
        if (!DeviceCheck && m_image) {
            try {
                m_image->CharacterIn(QChar(uchar(c)));
            } catch (const std::exception &e) {
                statusTrace().logStringOnly(QStringLiteral("receiver: ") + QString::fromUtf8(e.what()));
            }
        }
        collect(c);
    }
}

void TDeviceReceiver::collect(char c)
{
    const uchar u = uchar(c);
    if (!CollectCharacters || u < 32 || u > 128)
        return;
    CollectString += QChar(u);
    if (CollectString.size() > kMaxCollect)
        CollectString.remove(0, CollectString.size() - kMaxCollect / 2);
}

bool TDeviceReceiver::CheckdeviceConnected(int maxWait, int retry)
{
    statusTrace().logStringOnly(QStringLiteral("CheckdeviceConnected maxWait %1 retry %2").arg(maxWait).arg(retry));
    CollectCharacters = true;
    DeviceCheck = true;
    bool found = false;
    for (int attempt = 0; attempt < retry && !found; ++attempt) {
        CollectString.clear();
        m_com.PutChar(kCtrlT);
        LinkWait::waitUntil([this] { return CollectString.contains(QStringLiteral("OK")) || !m_com.IsOpen(); }, maxWait);
        DeviceCheck = false; // from the second attempt on, the image sees the replies too
        found = CollectString == QStringLiteral("OK");
        if (!m_com.IsOpen())
            break;
    }
    CollectCharacters = false;
    return found;
}

bool TDeviceReceiver::bannerLoop(int maxWait, int delayMs)
{
    QString previous;
    const uint32_t start = GetTickCount();
    for (;;) {
        if (CollectString == previous && !CollectString.isEmpty())
            break;
        if (uint32_t(GetTickCount() - start) >= uint32_t(qMax(0, maxWait)) || !m_com.IsOpen())
            break;
        LinkWait::handlePendingEvents();
        previous = CollectString;
        if (delayMs > 0) {
            ExactDelay(delayMs);
            ExactDelay(delayMs);
        } else if (CollectString.isEmpty()) {
            // Without a delay the loop would spin until the first character: sleep until one
            // arrives (or the time is up) instead.
            const int left = maxWait - int(uint32_t(GetTickCount() - start));
            LinkWait::waitUntil([this] { return !CollectString.isEmpty() || !m_com.IsOpen(); }, left);
        }
        statusTrace().logStringOnly(QStringLiteral("collected: ") + CollectString);
    }
    return CollectString.toUpper().contains(kSignature);
}

bool TDeviceReceiver::SendCtrlVAndwaitForEinschaltmeldung(int maxWait, int initialWait, int lastChangeTime)
{
    statusTrace().logStringOnly(QStringLiteral("SendCtrlVAndwaitForEinschaltmeldung maxWait %1 initialWait %2 lastChangeTime %3")
                                    .arg(maxWait).arg(initialWait).arg(lastChangeTime));
    CollectCharacters = true;
    CollectString.clear();
    m_com.FlushInput();
    m_com.FlushOutput();
    m_com.PutChar(kCtrlV);
    ExactDelay(initialWait);
    return bannerLoop(maxWait, lastChangeTime);
}

bool TDeviceReceiver::waitForEinschaltmeldung(int maxWait, int initialWait, bool keepCollected)
{
    statusTrace().logStringOnly(QStringLiteral("waitForEinschaltmeldung maxWait %1 initialWait %2").arg(maxWait).arg(initialWait));
    CollectCharacters = true;
    if (!keepCollected)
        CollectString.clear();
    ExactDelay(initialWait);
    const bool found = bannerLoop(maxWait, 100);
    statusTrace().logStringOnly(QStringLiteral("banner: ") + CollectString);
    CollectCharacters = false;
    return found;
}

bool TDeviceReceiver::WaitForRestartText(int limit)
{
    CollectString.clear();
    const QString restart = QStringLiteral("Restart");
    const bool found = LinkWait::waitUntil(
        [&] { return CollectString.contains(restart, Qt::CaseInsensitive) || !m_com.IsOpen(); }, limit)
        && CollectString.contains(restart, Qt::CaseInsensitive);
    if (found) {
        statusTrace().logStringOnly(QStringLiteral("Restart: ") + CollectString);
        CollectString.remove(0, CollectString.indexOf(restart, 0, Qt::CaseInsensitive) + restart.size());
    }
    return found;
}
