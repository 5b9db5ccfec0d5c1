#include "clock.h"

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace sim {
namespace {

struct Participant {
  unsigned order;
  StandTime wake;
};

struct ClockState {
  StandTime now = 0;
  StandTime base = 0;  // free-running: stand time at `start`
  double speed = 0.0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::vector<Participant*> participants;  // in creation order
  Participant* current = nullptr;          // the thread whose turn it is
  unsigned next_order = 0;
  bool fail_threads = false;
};

ClockState& state() {
  static auto* s = new ClockState;
  return *s;
}

thread_local Participant* self = nullptr;

bool free_running() { return state().speed > 0.0; }

StandTime real_now() {
  auto& s = state();
  auto elapsed = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - s.start);
  return s.base + static_cast<StandTime>(elapsed.count() * s.speed);
}

void wait_turn(StandLock& lock) {
  stand_turn().wait(lock, [] { return state().current == self; });
}

// Hands the turn to the earliest wake-up; the clock jumps forward to it.
void pass_turn() {
  auto& s = state();
  Participant* next = nullptr;
  for (auto* p : s.participants)
    if (!next || p->wake < next->wake) next = p;  // strict: ties keep creation order
  s.current = next;
  if (next && next->wake > s.now) s.now = next->wake;
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
  self = enrol();
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

void* trampoline(void* raw) {
  auto* start = static_cast<StartRecord*>(raw);
  auto fn = start->fn;
  auto* arg = start->arg;
  self = start->participant;
  delete start;
  {
    StandLock lock(stand_mutex());
    wait_turn(lock);
  }
  void* result = fn(arg);
  StandLock lock(stand_mutex());
  leave_locked();
  return result;
}

}  // namespace

void clock_set_speed(double speed) {
  StandLock lock(stand_mutex());
  state().speed = speed < 0.0 ? 0.0 : speed;
  state().start = std::chrono::steady_clock::now();
}

double clock_speed() {
  StandLock lock(stand_mutex());
  return state().speed;
}

void clock_start_at(StandTime t) {
  StandLock lock(stand_mutex());
  state().now = t;
  state().base = t;
}

void clock_catch_up(StandTime t) {
  StandLock lock(stand_mutex());
  auto& s = state();
  if (free_running()) {
    auto now = real_now();
    if (t > now) s.base += t - now;
  } else if (t > s.now) {
    s.now = t;
  }
}

StandTime clock_now_locked(const StandLock&) { return free_running() ? real_now() : state().now; }

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
