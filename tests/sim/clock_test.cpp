// The stand clock in its deterministic mode: threads take turns by stand time,
// so the order of their events never depends on how the host schedules them.
#include "clock.h"

#include <bcm2835.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <thread>
#include <vector>

#include "test_stand.h"

namespace {

struct Event {
  char thread;
  sim::StandTime at;  // since the scenario began
  bool operator==(const Event&) const = default;
};

void PrintTo(const Event& e, std::ostream* os) { *os << e.thread << "@" << e.at / 1000 << "ms"; }

// One thread of a scenario: records an event at every turn it gets, then
// waits the next delay; the events of all threads go into one shared list.
struct Worker {
  char name;
  std::vector<unsigned> delays_ms;
  sim::StandTime origin;
  std::vector<Event>* events;
};

void* work(void* raw) {
  auto* w = static_cast<Worker*>(raw);
  for (size_t i = 0;; ++i) {
    // Only one thread runs at a time, so the shared list needs no lock.
    w->events->push_back({w->name, sim::clock_now() - w->origin});
    if (i == w->delays_ms.size()) break;
    bcm2835_delay(w->delays_ms[i]);
  }
  return nullptr;
}

// Creates A, then B, and lets them run; the main thread waits in stand time
// (a join would hold the clock still while it blocks outside the stand).
std::vector<Event> run_scenario(const std::vector<unsigned>& a, const std::vector<unsigned>& b) {
  std::vector<Event> events;
  auto origin = sim::clock_now();
  Worker workers[] = {{'A', a, origin, &events}, {'B', b, origin, &events}};
  pthread_t threads[2];
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(pthread_create(&threads[i], nullptr, work, &workers[i]), 0);
    // Gives the new thread every chance to run out of turn on the host.
    for (int spin = 0; spin < 1000; ++spin) std::this_thread::yield();
  }
  bcm2835_delay(10'000);
  for (auto& t : threads) pthread_join(t, nullptr);
  return events;
}

struct Scenario {
  const char* what;
  std::vector<unsigned> a_delays_ms, b_delays_ms;
  std::vector<Event> expected;
};

class ClockTurns : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TestStand().start());
    if (sim::clock_speed() > 0) GTEST_SKIP() << "turn-taking is off while the clock runs free";
  }
};

TEST_F(ClockTurns, ThreadsInterleaveByStandTimeTheSameWayOnEveryRun) {
  const Scenario scenarios[] = {
      {"A every 300 ms, B every 200 ms; at 0 and 600 ms both are due and A goes first",
       {300, 300, 300},
       {200, 200, 200, 200},
       {{'A', 0},
        {'B', 0},
        {'B', 200'000},
        {'A', 300'000},
        {'B', 400'000},
        {'A', 600'000},
        {'B', 600'000},
        {'B', 800'000},
        {'A', 900'000}}},
      {"B asks for 200 ms before A does, yet A, created first, gets the tie",
       {50, 150},
       {200},
       {{'A', 0}, {'B', 0}, {'A', 50'000}, {'A', 200'000}, {'B', 200'000}}},
      {"a zero delay yields only to a thread created earlier, so A keeps the turn",
       {0, 0, 100},
       {0},
       {{'A', 0}, {'A', 0}, {'A', 0}, {'B', 0}, {'B', 0}, {'A', 100'000}}},
  };
  for (auto& s : scenarios) {
    SCOPED_TRACE(s.what);
    for (int run = 0; run < 3; ++run) EXPECT_EQ(run_scenario(s.a_delays_ms, s.b_delays_ms), s.expected);
  }
}

TEST_F(ClockTurns, ADelayAdvancesStandTimeByExactlyItsLength) {
  struct Delay {
    void (*wait)(unsigned);
    unsigned amount;
    sim::StandTime expected_us;
  };
  const Delay delays[] = {
      {[](unsigned ms) { bcm2835_delay(ms); }, 600, 600'000},
      {[](unsigned ms) { bcm2835_delay(ms); }, 1, 1'000},
      {[](unsigned ms) { bcm2835_delay(ms); }, 0, 0},
      {[](unsigned us) { bcm2835_delayMicroseconds(us); }, 7, 7},
      {[](unsigned us) { sim::clock_delay_us(us); }, 123'456, 123'456},
  };
  for (auto& d : delays) {
    auto before = sim::clock_now();
    d.wait(d.amount);
    EXPECT_EQ(sim::clock_now() - before, d.expected_us) << "delay of " << d.amount;
  }
}

}  // namespace
