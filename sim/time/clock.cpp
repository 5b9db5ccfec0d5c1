#include "time/clock.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "time/thread_probe.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

// A thread waiting for its turn looks at the turn holder once no turn has been
// handed over for kPoll x kQuietPolls of wall time, and calls the run stuck when
// the holder is blocked on a lock at kStuckLooks looks in a row (one look could
// catch a lock taken for a moment).
constexpr auto kPoll = 500ms;
constexpr unsigned kQuietPolls = 4;
constexpr unsigned kStuckLooks = 2;

struct Participant {
  unsigned order;  // creation order, from 0
  StandTime wake;
  pid_t tid = 0;  // known once the thread runs
};

struct ClockState {
  StandTime now = 0;  // free-running: the stand time at `start`
  double speed = 0.0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::vector<Participant*> participants;  // in creation order
  Participant* current = nullptr;          // the thread whose turn it is
  unsigned next_order = 0;
  uint64_t turns = 0;  // turns handed over: what a waiting thread sees as progress
  bool fail_threads = false;
};

ClockState& state() {
  static auto* s = new ClockState;
  return *s;
}

thread_local Participant* self = nullptr;

bool free_running() { return state().speed > 0.0; }

[[noreturn]] void stop(const char* why) {
  std::fputs(why, stderr);
  std::fflush(nullptr);
  std::abort();
}

// Turns go only to threads the clock saw created, and to the process's main
// thread; any other would run beside the turn holder and break determinism.
void check_thread() {
  thread_local bool is_main = false;
  if (self || is_main || free_running()) return;
  if (gettid() != getpid())
    stop(
        "simulated stand: a thread that was not created with pthread_create (a std::thread, or a thread "
        "started inside a library) uses the stand; the stand clock cannot give it turns. Create the "
        "program's threads with pthread_create.\n");
  is_main = true;
}

void print_participant(const Participant& p) {
  bool main = p.tid == getpid();
  std::fprintf(stderr, "thread %u%s: ", p.order + 1, main ? " (main)" : "");
  if (&p == state().current)
    std::fputs("holds the turn, blocked on a lock outside the stand\n", stderr);
  else
    std::fprintf(stderr, "waits for its turn, its delay ends at %llu.%03llu ms\n",
                 static_cast<unsigned long long>(p.wake / 1000), static_cast<unsigned long long>(p.wake % 1000));
}

[[noreturn]] void report_stuck() {
  std::fputs(
      "simulated stand: the stand clock cannot move any more: the thread holding the turn waits for a "
      "lock, every other thread waits for its turn\n",
      stderr);
  for (auto* p : state().participants) print_participant(*p);
  stop("simulated stand: no lock may be held across bcm2835_delay\n");
}

bool holder_blocked_on_lock() {
  auto* holder = state().current;
  if (!holder || holder->tid == 0) return false;
  return thread_blocked_in(holder->tid, stand_mutex().native_handle()) == Blocked::lock;
}

// Waits for the turn; the wall-clock timeout only serves to notice a run that
// can no longer move (the healthy path never reaches it).
void wait_turn(StandLock& lock) {
  auto& s = state();
  uint64_t seen = s.turns;
  unsigned quiet = 0, stuck = 0;
  while (s.current != self) {
    if (stand_turn().wait_for(lock, kPoll) == std::cv_status::no_timeout) continue;
    if (s.turns != seen) {
      seen = s.turns;
      quiet = stuck = 0;
    } else if (++quiet >= kQuietPolls) {
      stuck = holder_blocked_on_lock() ? stuck + 1 : 0;
      if (stuck >= kStuckLooks) report_stuck();
    }
  }
}

// Hands the turn to the earliest wake-up; the clock jumps forward to it.
void pass_turn() {
  auto& s = state();
  Participant* next = nullptr;
  for (auto* p : s.participants)
    if (!next || p->wake < next->wake) next = p;  // strict: ties keep creation order
  s.current = next;
  if (next && next->wake > s.now) s.now = next->wake;
  ++s.turns;
  stand_turn().notify_all();
}

Participant* enrol() {
  auto& s = state();
  auto* p = new Participant{s.next_order++, s.now};
  s.participants.push_back(p);
  return p;
}

void attach_locked(StandLock& lock) {
  if (self) return;
  check_thread();
  self = enrol();
  self->tid = gettid();
  if (!state().current)
    state().current = self;
  else
    wait_turn(lock);
}

void leave_locked() {
  auto& s = state();
  std::erase(s.participants, self);
  bool had_turn = s.current == self;
  delete self;
  self = nullptr;
  if (had_turn) pass_turn();
}

struct StartRecord {
  void* (*fn)(void*);
  void* arg;
  Participant* participant;
};

// Also run when the thread ends with pthread_exit: its turn must not die with it.
struct LeaveAtEnd {
  ~LeaveAtEnd() {
    StandLock lock(stand_mutex());
    leave_locked();
  }
};

void* trampoline(void* raw) {
  auto* start = static_cast<StartRecord*>(raw);
  auto fn = start->fn;
  auto* arg = start->arg;
  self = start->participant;
  delete start;
  {
    StandLock lock(stand_mutex());
    self->tid = gettid();
    wait_turn(lock);
  }
  LeaveAtEnd leave;
  return fn(arg);
}

}  // namespace

bool clock_set_speed(double speed) {
  if (speed != 0.0 && !(speed >= kMinSpeed && speed <= kMaxSpeed)) return false;  // NaN fails both
  StandLock lock(stand_mutex());
  auto& s = state();
  s.now = clock_now_locked(lock);
  s.speed = speed;
  s.start = std::chrono::steady_clock::now();
  return true;
}

double clock_speed() {
  StandLock lock(stand_mutex());
  return state().speed;
}

void clock_start_at(StandTime t) {
  StandLock lock(stand_mutex());
  auto& s = state();
  s.now = std::max(clock_now_locked(lock), t);
  s.start = std::chrono::steady_clock::now();
}

void clock_catch_up(StandTime t) {
  StandLock lock(stand_mutex());
  if (!free_running()) attach_locked(lock);
  auto now = clock_now_locked(lock);
  if (now < t) state().now += t - now;
}

StandTime clock_now_locked(const StandLock&) {
  check_thread();
  auto& s = state();
  if (!free_running()) return s.now;
  auto elapsed = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - s.start);
  return s.now + static_cast<StandTime>(elapsed.count() * s.speed);
}

StandTime clock_now() {
  StandLock lock(stand_mutex());
  return clock_now_locked(lock);
}

void clock_attach() {
  StandLock lock(stand_mutex());
  if (!free_running()) attach_locked(lock);
}

void clock_delay_us(uint64_t us) {
  StandLock lock(stand_mutex());
  if (free_running()) {
    auto pause = std::chrono::duration<double, std::micro>(static_cast<double>(us) / state().speed);
    lock.unlock();
    std::this_thread::sleep_for(pause);
    return;
  }
  attach_locked(lock);
  self->wake = state().now + us;
  pass_turn();
  wait_turn(lock);
}

void clock_advance_locked(const StandLock&, uint64_t us) {
  if (!free_running()) state().now += us;
}

void clock_fail_thread_creation(bool fail) {
  StandLock lock(stand_mutex());
  state().fail_threads = fail;
}

}  // namespace sim

// Threads are counted from their creation: the programs call pthread_create,
// which the simulated stand's link step (--wrap=pthread_create) routes here.
extern "C" int __real_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

extern "C" int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*fn)(void*), void* arg) {
  using namespace sim;
  StandLock lock(stand_mutex());
  if (state().fail_threads) return EAGAIN;
  if (free_running()) {
    lock.unlock();
    return __real_pthread_create(thread, attr, fn, arg);
  }
  attach_locked(lock);
  auto* start = new StartRecord{fn, arg, enrol()};
  int rc = __real_pthread_create(thread, attr, trampoline, start);
  if (rc != 0) {
    std::erase(state().participants, start->participant);
    delete start->participant;
    delete start;
  }
  return rc;
}
