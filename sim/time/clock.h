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
// Rules for code that runs on the deterministic clock:
// - Create threads with pthread_create: the stand counts them through a link-time
//   wrap. A thread it did not see created (a std::thread, a library's thread)
//   that uses the stand stops the program with a message; only the process's
//   main thread may join without having been created.
// - Never hold a lock across bcm2835_delay: the thread that gets the turn may
//   need that lock and nobody could move again. Such a run is stopped with a
//   message naming what every thread waits for (after a few seconds of wall time
//   without progress), rather than left hanging. A thread that holds the turn
//   while it waits for input or a child program is left alone, however long.
//
// Free-running mode (speed > 0): stand time is the real time since start times
// the speed; a delay sleeps for its length divided by the speed. Threads really
// run at the same time, which is what ThreadSanitizer needs to see.
//
// Stand time runs on across programs: a program started by another starts its
// clock at its parent's time (clock_start_at), and the parent's clock catches up
// with the child's when the child has ended (clock_catch_up).
#pragma once
#include <cstdint>

#include "time/lock.h"

namespace sim {

using StandTime = uint64_t;  // microseconds since the stand started

// Accepted free-running speeds. From a few hundred up, a 2-core machine cannot
// keep the threads up with stand time and the shield's answers go wrong; the
// maximum keeps well clear of that. Below the minimum a session looks hung: a
// test pass (about 80 s of stand time) would take over a quarter of an hour.
inline constexpr double kMinSpeed = 0.1;
inline constexpr double kMaxSpeed = 50.0;

// Sets the clock mode: 0 = deterministic, kMinSpeed..kMaxSpeed = free-running.
// Returns false and changes nothing for any other value (negative, out of the
// range, not finite). Stand time does not jump at the change. Call it before
// the first delay.
bool clock_set_speed(double speed);
double clock_speed();

// Starts the clock at `t` (stand time the program begins at); call it before the
// first delay. Deterministic: the clock reads t. Free-running: it reads t plus
// the real time since this call times the speed. A clock already past t stays.
void clock_start_at(StandTime t);

// Moves the clock forward to at least `t`, never backward (e.g. to the end of a
// child program that ran meanwhile). Deterministic: the caller takes part in
// turn-taking and holds the turn (the only thread that runs); the wake-ups of
// waiting threads keep their stand times, so one now in the past runs at the
// next delay, earliest first. Free-running: shifts the clock's offset.
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
