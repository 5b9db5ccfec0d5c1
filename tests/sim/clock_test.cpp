// The stand clock: in its deterministic mode threads take turns by stand time,
// so the order of their events never depends on how the host schedules them;
// stand time runs on across programs; a run that cannot move stops, loudly.
#include "clock.h"

#include <bcm2835.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "test_stand.h"

namespace {

struct Event {
  char thread;
  sim::StandTime at_ms;  // since the scenario began
  bool operator==(const Event&) const = default;
};

void PrintTo(const Event& e, std::ostream* os) { *os << e.thread << "@" << e.at_ms << "ms"; }

// One thread of a scenario: records an event at every step it reaches. A step
// n >= 0 waits n ms; n < 0 moves the clock up to -n ms after the origin, as
// after a child program ended. Only one thread runs at a time, so the shared
// list needs no lock.
struct Worker {
  char name;
  std::vector<int> steps;
  sim::StandTime origin;
  std::vector<Event>* events;
};

void* work(void* raw) {
  auto* w = static_cast<Worker*>(raw);
  for (size_t i = 0;; ++i) {
    w->events->push_back({w->name, (sim::clock_now() - w->origin) / 1000});
    if (i == w->steps.size()) return nullptr;
    int step = w->steps[i];
    if (step >= 0)
      bcm2835_delay(static_cast<unsigned>(step));
    else
      sim::clock_catch_up(w->origin + static_cast<sim::StandTime>(-step) * 1000);
  }
}

// Creates A, then B, and lets them run; the main thread waits in stand time
// (a join would hold the clock still while it blocks outside the stand).
std::vector<Event> run_scenario(const std::vector<int>& a, const std::vector<int>& b) {
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

class ClockTurns : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child must not inherit parked threads
    ASSERT_TRUE(TestStand().start());
    if (sim::clock_speed() > 0) GTEST_SKIP() << "turn-taking is off while the clock runs free";
  }
};
using ClockTurnsDeathTest = ClockTurns;

TEST_F(ClockTurns, ThreadsInterleaveByStandTimeTheSameWayOnEveryRun) {
  const struct {
    const char* what;
    std::vector<int> a, b;
    std::vector<Event> expected;
  } scenarios[] = {
      {"A every 300 ms, B every 200 ms; at 0 and 600 ms both are due and A goes first",
       {300, 300, 300},
       {200, 200, 200, 200},
       {{'A', 0}, {'B', 0}, {'B', 200}, {'A', 300}, {'B', 400}, {'A', 600}, {'B', 600}, {'B', 800}, {'A', 900}}},
      {"B asks for 200 ms before A does, yet A, created first, gets the tie",
       {50, 150},
       {200},
       {{'A', 0}, {'B', 0}, {'A', 50}, {'A', 200}, {'B', 200}}},
      {"a zero delay yields only to a thread created earlier, so A keeps the turn",
       {0, 0, 100},
       {0},
       {{'A', 0}, {'A', 0}, {'A', 0}, {'B', 0}, {'B', 0}, {'A', 100}}},
      {"A catches up to 500 ms; B's wake-up at 300 ms, now past, runs first, and its next delay counts from 500",
       {100, -500, 0},
       {300, 100},
       {{'A', 0}, {'B', 0}, {'A', 100}, {'A', 500}, {'B', 500}, {'A', 500}, {'B', 600}}},
  };
  for (auto& s : scenarios) {
    SCOPED_TRACE(s.what);
    for (int run = 0; run < 3; ++run) EXPECT_EQ(run_scenario(s.a, s.b), s.expected);
  }
}

TEST_F(ClockTurns, DelaysMoveTheClockByTheirLengthAndNothingMovesItBack) {
  const struct {
    const char* what;
    void (*act)();
    sim::StandTime now_us;
  } steps[] = {
      {"a program started at 5 s", [] { sim::clock_start_at(5'000'000); }, 5'000'000},
      {"600 ms", [] { bcm2835_delay(600); }, 5'600'000},
      {"1 ms", [] { bcm2835_delay(1); }, 5'601'000},
      {"0 ms", [] { bcm2835_delay(0); }, 5'601'000},
      {"7 us", [] { bcm2835_delayMicroseconds(7); }, 5'601'007},
      {"123456 us", [] { sim::clock_delay_us(123'456); }, 5'724'463},
      {"catching up with an earlier time", [] { sim::clock_catch_up(5'000'000); }, 5'724'463},
      {"catching up with a child that ended at 9 s", [] { sim::clock_catch_up(9'000'000); }, 9'000'000},
      {"starting again at an earlier time", [] { sim::clock_start_at(1'000); }, 9'000'000},
  };
  for (auto& s : steps) {
    s.act();
    EXPECT_EQ(sim::clock_now(), s.now_us) << s.what;
  }
}

TEST(ClockSpeed, OnlyDeterministicOrAWatchableSpeedIsAccepted) {
  const struct {
    double speed;
    bool accepted;
  } speeds[] = {{0, true},   {0.1, true},  {50, true},        {0.0999, false}, {50.001, false},
                {-1, false}, {NAN, false}, {INFINITY, false}, {1, true}};
  for (auto& s : speeds) {
    double before = sim::clock_speed();
    EXPECT_EQ(sim::clock_set_speed(s.speed), s.accepted) << s.speed;
    EXPECT_EQ(sim::clock_speed(), s.accepted ? s.speed : before) << s.speed;
  }
}

// Bounds only: between a step and its check the clock may run on by up to 10 s
// of stand time (a second of real time at speed 10).
TEST(ClockSpeed, AFreeRunningClockStartsAtTheGivenTimeAndOnlyCatchesUpForward) {
  ASSERT_TRUE(sim::clock_set_speed(10));
  const struct {
    void (*act)();
    sim::StandTime at_least_us;
  } steps[] = {
      {[] { sim::clock_start_at(5'000'000); }, 5'000'000},  {[] { sim::clock_catch_up(60'000'000); }, 60'000'000},
      {[] { sim::clock_catch_up(1'000'000); }, 60'000'000}, {[] { bcm2835_delay(200); }, 60'200'000},
      {[] { sim::clock_set_speed(0); }, 60'000'000},
  };
  for (auto& s : steps) {
    s.act();
    auto now = sim::clock_now();
    EXPECT_GE(now, s.at_least_us);
    EXPECT_LT(now, s.at_least_us + 10'000'000);
  }
}

TEST_F(ClockTurnsDeathTest, AThreadTheClockDidNotSeeCreatedIsStopped) {
  // std::thread creates its thread inside libstdc++, past the stand's wrap.
  EXPECT_DEATH(std::thread([] { bcm2835_delay(1); }).join(), "not created with pthread_create.*Create the program");
  EXPECT_DEATH(std::thread([] { bcm2835_gpio_write(RPI_V2_GPIO_P1_08, HIGH); }).join(), "not created with pthread");
}

std::mutex records_lock;

TEST_F(ClockTurnsDeathTest, ALockHeldAcrossADelayStopsTheRunNamingWhatEachThreadWaitsFor) {
  auto take_lock = [](void*) -> void* {
    std::lock_guard hold(records_lock);
    return nullptr;
  };
  EXPECT_DEATH(
      {
        std::lock_guard hold(records_lock);
        pthread_t t;
        pthread_create(&t, nullptr, take_lock, nullptr);
        sim::clock_delay_us(1'234'500);
      },
      "the stand clock cannot move any more.*\n"
      "thread 1 \\(main\\): waits for its turn, its delay ends at 1234\\.500 ms\n"
      "thread 2: holds the turn, blocked on a lock outside the stand\n"
      ".*no lock may be held across bcm2835_delay");
}

TEST_F(ClockTurns, AThreadWaitingForTheOperatorKeepsTheTurnHoweverLong) {
  std::vector<Event> events;
  Worker b{'B', {100}, sim::clock_now(), &events};
  pthread_t t;
  pthread_create(&t, nullptr, work, &b);
  // Blocked in read() for longer than a turn holder blocked on a lock may stay
  // unreported (wall-clock time, as this is about a hang).
  FILE* answer = popen("sleep 3; echo 1", "r");
  EXPECT_EQ(std::fgetc(answer), '1');
  pclose(answer);
  bcm2835_delay(1000);
  pthread_join(t, nullptr);
  EXPECT_EQ(events, (std::vector<Event>{{'B', 0}, {'B', 100}}));
}

}  // namespace
