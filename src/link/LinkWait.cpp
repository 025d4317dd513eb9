#include "link/LinkWait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

const QElapsedTimer &linkClock()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock;
}

} // namespace

namespace LinkWait {

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done && done())
        return true;
    if (timeoutMs <= 0) {
        handlePendingEvents();
        return done && done();
    }
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher) // no event loop in this thread: nothing could change the condition
        return done && done();

    const QElapsedTimer clock = [] { QElapsedTimer t; t.start(); return t; }();
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);

    // The condition can only change while events are handled. The dispatcher announces each
    // pass of the loop (aboutToBlock before it would sleep, awake after it woke up; which of the
    // two a pass emits depends on the dispatcher), so asking there sees every change without
    // polling.
    bool satisfied = false;
    auto check = [&] {
        if (!satisfied && done && done()) {
            satisfied = true;
            loop.quit();
        }
    };
    const QMetaObject::Connection c1 = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, check);
    const QMetaObject::Connection c2 = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &loop, check);

    // A timer never fires early, but an outer loop's quit can end this one's exec() only after
    // this one returned, so one exec normally suffices; loop again if time remains and the
    // condition does not hold (an exec ended by something else than our timer).
    while (!satisfied) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        deadline.start(int(left));
        loop.exec();
        deadline.stop();
        if (!satisfied && done && done())
            satisfied = true;
    }
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    return satisfied;
}

void handlePendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace LinkWait

void ExactDelay(int ms)
{
    LinkWait::waitUntil({}, ms);
}

uint32_t GetTickCount()
{
    return static_cast<uint32_t>(linkClock().elapsed());
}
