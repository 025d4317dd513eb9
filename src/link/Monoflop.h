#pragma once

#include "model/Events.h"

#include <QObject>
#include <QTimer>
#include <cstdint>

// One-shot timer on a 50 ms tick: Start arms it for FDuration milliseconds, the first tick
// after that ends the run and raises FOnEnd. Stop disarms it silently. Starting a running
// timer restarts it from the full duration. The upload time-out is one of these.
class TCustomMonoflop : public QObject, public TObject
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 50;

    explicit TCustomMonoflop(QObject *parent = nullptr);

    void Start();
    void Stop();

    uint32_t Duration() const { return FDuration; }
    void SetDuration(uint32_t ms) { FDuration = ms; }
    uint32_t Remaining() const { return FRemaining; }
    bool Running() const { return FTimer.isActive(); }

    QTimer FTimer;
    uint32_t FDuration = 3000;
    uint32_t FRemaining = 0;
    uint32_t FStartValue = 0;
    uint32_t FStopValue = 0;
    TNotifyEvent FOnStart;
    TNotifyEvent FOnEnd;

protected:
    virtual void DoStart();
    virtual void DoEnd();

private:
    void Tick();
};

class TMonoflop : public TCustomMonoflop
{
    Q_OBJECT
public:
    using TCustomMonoflop::TCustomMonoflop;
};
