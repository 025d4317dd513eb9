#pragma once

// The PC side of the link wired the way the main window wires it (session, image, receiver),
// against the gateway simulator or a bare pseudo-terminal that a test drives byte by byte.
#include "devsim/GatewaySimulator.h"
#include "devsim/PseudoTerminal.h"
#include "link/DeviceHandshake.h"
#include "link/DownloadEEROM.h"
#include "link/LinkWait.h"
#include "link/SerialSession.h"
#include "platform/PortMap.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// An image with a sound header: revision, device code, checksum over bytes 4.., flags.
inline QByteArray makeImage(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(rng.bounded(256));
    if (size >= 5) {
        quint16 sum = 0;
        for (int i = 4; i < size; ++i)
            sum = quint16(sum + quint8(b[i]));
        b[2] = char(sum >> 8);
        b[3] = char(sum & 0xFF);
    }
    return b;
}

struct LinkRig
{
    QTemporaryDir dir;
    std::unique_ptr<GatewaySimulator> sim;
    std::unique_ptr<PseudoTerminal> bare; // a device the test plays itself
    QByteArray bareReceived;
    TCOM com{nullptr, nullptr};
    TDownloadEEROM image;
    TDeviceReceiver receiver{com, &image};
    QList<QPair<int, int>> states; // WM_COMSTATE (wParam, lParam)
    QStringList events;            // the image's events in order
    QString displayed;             // characters passed to the display

    LinkRig()
    {
        QObject::connect(&com, &TCOM::comState, [this](int w, int l) { states.append({w, l}); });
        image.FOnCharOut = [this](char c) { com.PutChar(c); };
        image.FOutputPending = [this] { return com.OutputPending(); };
        image.FOnBeginUpload = [this](TObject *) { events << "begin"; };
        image.FOnProgress = [this](TObject *) { events << QStringLiteral("progress %1").arg(image.inCount); };
        image.FOnchecksumUpload = [this](TObject *) { events << "checksum"; };
        image.FOnOKUpload = [this](TObject *) { events << "ok"; };
        image.FOnErrorUpload = [this](TObject *) { events << QStringLiteral("error %1").arg(int(image.FErrorCode)); };
        image.FOnTimeoutUpload = [this](TObject *) { events << "timeout"; };
        image.FOnEndUpload = [this](TObject *) { events << "end"; };
        image.FOnBeginDownload = [this](TObject *) { events << "beginDownload"; };
        image.FOnEndDownload = [this](TObject *) { events << "endDownload"; };
        image.FOnErrorDownload = [this](TObject *) { events << QStringLiteral("errorDownload %1").arg(image.FError); };
        image.FEmitCharacter = [this](TObject *, QChar &c) { displayed += c; };
        receiver.Install();
    }

    QString imagePath(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("device.gwc"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }

    // Starts the simulator serving bytes and links it as COMn.
    bool startSim(GatewaySimulator::Options opt, const QByteArray &bytes = {}, int port = 5)
    {
        if (!bytes.isEmpty())
            opt.imagePath = imagePath(bytes);
        sim = std::make_unique<GatewaySimulator>(opt);
        QString error;
        if (!sim->start(&error) || !sim->linkAsPort(PortMap::portName(port), &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        return true;
    }

    // A pseudo-terminal the test answers itself, linked as COMn.
    bool startBare(int port = 5)
    {
        bare = std::make_unique<PseudoTerminal>();
        QString error;
        if (!bare->open(&error) || !PortMap::linkPort(port, bare->slavePath(), &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        QObject::connect(bare.get(), &PseudoTerminal::received, [this](const QByteArray &b) { bareReceived += b; });
        return true;
    }

    bool open(int port = 5)
    {
        com.Settings.StandardSerialOptions();
        com.Settings.PortNumber.Text = PortMap::portName(port);
        com.ApplySettings();
        return com.IsOpen();
    }

    // Waits until the simulator finished an exchange of this kind.
    bool waitExchange(const QString &kind, int ms = 5000)
    {
        return LinkWait::waitUntil([&] {
            for (const auto &e : sim->exchanges())
                if (e.kind == kind)
                    return true;
            return false;
        }, ms);
    }
    GatewaySimulator::Exchange lastExchange(const QString &kind) const
    {
        const auto all = sim->exchanges();
        for (auto it = all.crbegin(); it != all.crend(); ++it)
            if (it->kind == kind)
                return *it;
        return {};
    }
};
