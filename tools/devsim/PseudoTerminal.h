#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The simulated gateway's end of the serial line: the master side of a pseudo-terminal.
// The slave side is what the PC opens as its serial port. The simulator keeps a slave
// descriptor of its own open, so the PC can close and re-open its port without the master
// seeing a hang-up, and so it can tell how much of its output the PC has not read yet.
class PseudoTerminal : public QObject
{
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    bool open(QString *error);
    // Closes both ends: the line is gone, as if the cable had been pulled.
    void close();
    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Queues bytes for the PC; they leave as fast as the PC side takes them.
    void write(const QByteArray &bytes);
    // Bytes written but not yet read by the PC (queued here or waiting in the terminal).
    qsizetype unreadOutput() const;

signals:
    void received(const QByteArray &bytes);

private:
    void readMaster();
    void flushOutput();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QByteArray m_out;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
};
