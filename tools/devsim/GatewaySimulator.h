#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class PseudoTerminal;

// A simulated gateway on the master side of a pseudo-terminal. It answers the PC's
// handshakes and transfers the way the gateway firmware does, serves and stores a
// configuration image, records what it was sent, and can be told to misbehave.
// It runs on the caller's event loop, so a test can drive the PC code and the
// simulator in one process.
class GatewaySimulator : public QObject
{
    Q_OBJECT
public:
    struct Options {
        QString imagePath;              // the .gwc served on upload; empty: an empty image
        QString recordDir;              // where records are written; empty: in memory only
        bool storeToImageFile = false;  // a downloaded image replaces the file at imagePath
        QByteArray banner = "Gateway V1.00 (c)kB 2026\r\n";
        QByteArray universalName;       // second banner line while the universal script runs
        int restartDelayMs = 1500;      // from "Restart"/"Warmstart" to the start-up NUL
        int claimWindowMs = 300;        // how long the starting device listens for "W"
        char claimAnswer = 'I';         // 'I': stays claimable for debug transfers; 'N': not
        int receiveTimeoutMs = 2500;    // silence that ends a half-received transfer

        // misbehaviour
        bool silent = false;            // answers nothing at all
        int replyDelayMs = 0;           // every answer leaves this much later
        bool wrongUploadChecksum = false;
        bool downloadPacing = true;     // "." per stored block of a download
        bool scriptPacing = true;       // offers and gives "." during a script transfer
        int scriptAckBlocks = -1;       // script blocks acknowledged before going quiet; -1 all
        bool debugPacing = true;        // offers and gives "." during a debug download
        QByteArray debugVerdict;        // answer to a debug download; empty: 'O' or 'E' by the checksum
        int debugReplyBytes = -1;       // upload-debug reply cut to this many bytes; -1 whole
        bool noise = false;             // stray characters between the pairs of an upload
        bool refuseDebug = false;       // "ICC" in the start-up text, no debug transfers
        bool answerProto = false;       // the service prompt asks for a protocol choice
        bool lowerCaseOk = false;       // "ok" instead of "OK"
        int dropAfterBytes = -1;        // pull the cable after this many bytes of a transfer
        int replugAfterMs = -1;         // plug a pulled cable back in after this long; -1 never
        char extHeaderVerdict = 0;      // 'L' or 'T' refuses an extension header; 0 accepts
        int extFinalVerdict = -1;       // -1: 'O' or 'E' by the checksum; 0: no answer; else this letter
        int extAckBlocks = -1;          // extension blocks acknowledged before going quiet; -1 all
        QByteArray uploadAnswer;        // answers the upload request with these bytes only (no
                                        // image), then stays quiet; empty: the image as usual
        int okLineEndDelayMs = 0;       // "OK" and its CR LF in two writes this far apart
        bool restartAtOnce = false;     // "Restart" and the banner in one write, no claim window
    };

    // One finished exchange with the PC.
    struct Exchange {
        int serial = 0;      // counts from 1 in the order the exchanges finished
        QString kind;        // presence, banner, upload, download, script, reset, restart,
                             // debug-upload, debug-download, debug-end, extension,
                             // line-dropped, replug
        QString result;      // ok, checksum-error, format-error, too-long, length-error,
                             // timeout, refused, wrong-password, claimed, unclaimed, dropped
        QByteArray header;   // extension: number, start, length (6 bytes); debug download: length
        QByteArray data;     // image, script or extension bytes received; for upload and
                             // debug-upload the image sent
    };

    explicit GatewaySimulator(const Options &options, QObject *parent = nullptr);
    ~GatewaySimulator() override;

    // Loads the image and creates the pseudo-terminal. The logs in the record directory
    // (received.bin, sent.bin, exchanges.txt) start empty.
    bool start(QString *error = nullptr);
    // Removes the port link and closes the line.
    void stop();

    QString slavePath() const;
    // Makes the port name (for example "COM9") lead to this simulator for the PC:
    // a symbolic link in the per-user port map pointing at the slave side.
    bool linkAsPort(const QString &comName, QString *error = nullptr);
    static QString portLinkPath(const QString &comName);

    // Pulls the cable: the line disappears until reconnect().
    void dropLine();
    // Plugs the cable back in: a fresh line, the port link moved to it.
    bool reconnect(QString *error = nullptr);
    bool isLineUp() const;

    // Power cycle: the device restarts as it does after a download.
    void restart();

    Options &options() { return m_opt; }
    QByteArray image() const { return m_image; }       // what the device holds now
    QByteArray received() const { return m_received; }
    QByteArray sent() const { return m_sent; }
    QList<Exchange> exchanges() const { return m_exchanges; }

signals:
    void exchangeFinished(const QString &kind);

private:
    enum class Mode {
        Running, Restarting, ClaimWindow, ServiceWait, Password, ProtoChoice,
        Download, Script, DebugLength, DebugData, DebugChecksum,
        ExtHeader, ExtData, ExtQuiet, ExtChecksum, Dropped, Stopped
    };
    struct Pending {
        qint64 due = 0;
        QByteArray bytes;
        bool dropAfter = false;
    };

    void onReceived(const QByteArray &bytes);
    void handleByte(quint8 c);
    void dispatch(quint8 c);
    void hexByte(quint8 c);
    void finishHexTransfer();
    void debugByte(quint8 c);
    void extensionByte(quint8 c);
    void passwordByte(quint8 c);
    void serviceAccepted();
    void finishStartup(bool claimed);
    void receiveTimedOut();
    void enter(Mode mode);
    void beginHexTransfer(Mode mode);
    void scheduleStep(int ms, std::function<void()> action);
    bool inTransfer() const;
    bool countTransferByte();

    void reply(const QByteArray &bytes, bool dropAfter = false);
    void sendNow(const QByteArray &bytes);
    void releaseDelayed();
    void dropWhenRead();
    QByteArray bannerText() const;
    void storeImage(const QByteArray &image);
    void finish(const QString &kind, const QString &result,
                const QByteArray &header = {}, const QByteArray &data = {});
    void appendRecord(const QString &name, const QByteArray &bytes);
    void writeRecordFile(const QString &name, const QByteArray &bytes);

    Options m_opt;
    std::unique_ptr<PseudoTerminal> m_pty;
    QString m_linkPath;
    Mode m_mode = Mode::Stopped;
    QByteArray m_image;
    bool m_runsUniversal = false;
    bool m_freshRestart = false;   // answers the presence query without a line end
    bool m_claimed = false;        // accepts debug transfers

    // the transfer being received
    QByteArray m_data;
    QByteArray m_header;
    QByteArray m_tail;             // checksum digits or bytes
    bool m_inChecksum = false;
    QString m_failure;             // first fault found in the transfer; empty while sound
    int m_heldDigit = -1;
    int m_expected = 0;            // debug download and extension: announced length
    int m_blocksAcked = 0;
    int m_transferBytes = 0;
    QByteArray m_password;

    QTimer m_receiveTimer;
    QTimer m_stepTimer;            // restart, claim window, service prompt steps
    QTimer m_delayTimer;
    std::function<void()> m_stepAction;
    QTimer m_dropPoll;
    qint64 m_dropDeadline = 0;
    QElapsedTimer m_clock;
    QList<Pending> m_delayed;

    QByteArray m_received;
    QByteArray m_sent;
    QList<Exchange> m_exchanges;
    int m_serial = 0;
};
