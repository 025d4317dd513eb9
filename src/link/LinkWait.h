#pragma once

#include <cstdint>
#include <functional>

// Waiting in the device link. Every "wait until X or N ms" and every delay sleeps in the event
// loop, so serial arrivals, timers and posted events keep running inside the wait: the
// protocols rely on that (a wait for "OK" sees the characters the receiver appends meanwhile).
// A wait costs no CPU while nothing happens: it blocks in a nested event loop that ends when
// the awaited condition holds or a precise single-shot timer runs out.
//
// Waits nest: a handler that runs inside a wait may wait itself; the outer wait ends as soon as
// the inner one has returned and the outer condition holds (or its time is up).
namespace LinkWait {

// Waits until done() returns true or timeoutMs have passed. done() is asked before waiting and
// after every pass of the event loop. Returns the last answer of done().
bool waitUntil(const std::function<bool()> &done, int timeoutMs);

// Handles the events that are pending now, without waiting for more.
void handlePendingEvents();

} // namespace LinkWait

// Sleeps ms milliseconds, measured on the monotonic high-resolution clock, while the event loop
// keeps running.
void ExactDelay(int ms);

// The millisecond tick count of the link's time limits (monotonic, wraps after ~49 days).
uint32_t GetTickCount();
