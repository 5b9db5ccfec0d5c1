// The stand clock. Models: stand time, how threads share it, and pacing.
// Leaves out: wall-clock jitter, scheduling priorities.
//
// Deterministic mode (speed 0, the default): time is virtual. The threads that
// use the stand take turns; one runs at a time. A delay hands the turn to the
// thread with the earliest wake-up (ties go to the thread created first) and the
// clock jumps to that wake-up. A thread is counted from its creation, so start-up
// is as reproducible as the rest. A thread blocked outside the stand (reading the
// operator's answer, waiting for a child) keeps the turn and so holds the clock.
//
// Free-running mode (speed > 0): stand time is the real time since start times
// the speed; a delay sleeps for its length divided by the speed. Threads really
// run at the same time, which is what ThreadSanitizer needs to see.
#pragma once
#include <cstdint>

#include "lock.h"

namespace sim {

using StandTime = uint64_t;  // microseconds since the stand started

void clock_set_speed(double speed);  // before the first delay
double clock_speed();

// Before the first delay: the clock starts at `t` instead of 0.
void clock_start_at(StandTime t);
// Moves the clock forward to at least `t` (a child program ended there).
void clock_catch_up(StandTime t);

StandTime clock_now();
StandTime clock_now_locked(const StandLock&);

// Waits `us` of stand time; in deterministic mode other threads run meanwhile.
void clock_delay_us(uint64_t us);

// Time spent by the running thread without giving up its turn (a bus transfer).
void clock_advance_locked(const StandLock&, uint64_t us);

// Makes the calling thread take part in turn-taking (done lazily by delays and
// thread creation; exposed for tests that want the order fixed up front).
void clock_attach();

// When set, the next thread creations fail with EAGAIN (a fault for tests).
void clock_fail_thread_creation(bool fail);

}  // namespace sim
