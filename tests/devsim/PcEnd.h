#pragma once

// The PC's end of the simulated line for the simulator's own tests: the slave side of the
// pseudo-terminal, read and written with plain POSIX calls, waits run in the event loop
// that also drives the simulator.

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <termios.h>
#include <unistd.h>

class PcEnd
{
public:
    PcEnd() = default;
    PcEnd(const PcEnd &) = delete;
    PcEnd &operator=(const PcEnd &) = delete;
    ~PcEnd() { close(); }

    bool open(const QString &path)
    {
        close();
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
        m_hungUp = false;
        m_buf.clear();
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
        return true;
    }

    void close()
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    // Writes everything; lets the simulator read while the terminal is full.
    bool send(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            } else {
                return false;
            }
        }
        return true;
    }
    bool send(char c) { return send(QByteArray(1, c)); }

    // Waits in the event loop until the condition holds for what has arrived, or the time is up.
    bool waitFor(const std::function<bool(const QByteArray &)> &done, int ms)
    {
        if (done(m_buf))
            return true;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        m_check = [&] {
            if (done(m_buf))
                loop.quit();
        };
        limit.start(ms);
        loop.exec();
        m_check = nullptr;
        return done(m_buf);
    }
    // Positive waits end as soon as the text is there; their limits are stretched so a busy
    // machine (parallel builds, the sanitizer run) does not turn a slow answer into a failure.
    static constexpr int kSlack = 3;
    bool waitForText(const QByteArray &text, int ms)
    {
        return waitFor([&](const QByteArray &b) { return b.contains(text); }, ms * kSlack);
    }
    bool waitForSize(qsizetype size, int ms)
    {
        return waitFor([&](const QByteArray &b) { return b.size() >= size; }, ms * kSlack);
    }
    // Collects for the given time; for checks that nothing (more) arrives.
    QByteArray collect(int ms)
    {
        waitFor([](const QByteArray &) { return false; }, ms);
        return m_buf;
    }
    bool waitForHangUp(int ms)
    {
        return waitFor([this](const QByteArray &) { return m_hungUp; }, ms);
    }

    QByteArray buffer() const { return m_buf; }
    QByteArray take()
    {
        QByteArray b = m_buf;
        m_buf.clear();
        return b;
    }
    bool hungUp() const { return m_hungUp; }

private:
    void readAvailable()
    {
        char tmp[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, tmp, sizeof tmp);
            if (n > 0) {
                m_buf.append(tmp, n);
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                m_hungUp = true; // the other end is gone
                m_notifier->setEnabled(false);
            }
            break;
        }
        if (m_check)
            m_check();
    }

    int m_fd = -1;
    bool m_hungUp = false;
    QByteArray m_buf;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_check;
};
