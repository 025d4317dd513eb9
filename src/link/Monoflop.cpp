#include "link/Monoflop.h"

#include "link/LinkWait.h"

TCustomMonoflop::TCustomMonoflop(QObject *parent) : QObject(parent)
{
    FTimer.setInterval(kTickMs);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TCustomMonoflop::Tick);
}

void TCustomMonoflop::Start()
{
    const uint32_t now = GetTickCount();
    FRemaining = FDuration;
    FStartValue = now;
    FStopValue = now + FDuration;
    FTimer.start();
    DoStart();
}

void TCustomMonoflop::Stop()
{
    FStopValue = GetTickCount();
    FRemaining = 0;
    FTimer.stop();
}

void TCustomMonoflop::Tick()
{
    const uint32_t now = GetTickCount();
    // Compared as a distance, so a run that spans the wrap of the tick count still ends on time.
    if (int32_t(now - FStopValue) > 0) {
        FTimer.stop();
        FRemaining = 0;
        DoEnd();
    } else {
        FRemaining = FStopValue - now;
    }
}

void TCustomMonoflop::DoStart()
{
    if (FOnStart)
        FOnStart(this);
}

void TCustomMonoflop::DoEnd()
{
    if (FOnEnd)
        FOnEnd(this);
}
