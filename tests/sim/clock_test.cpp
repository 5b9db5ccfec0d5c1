// The stand clock: in its deterministic mode threads take turns by stand time,
// so the order of their events never depends on how the host schedules them;
// stand time runs on across programs; a run that cannot move stops, loudly.
#include "time/clock.h"

#include <bcm2835.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/syscall.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bcm2835_ext.h"
#include "test_stand.h"
#include "time/thread_probe.h"

namespace {

// Blocks in read() for longer than a turn holder blocked on a lock may stay
// unreported (wall-clock time, as this is about a hang), as when it waits for the operator.
constexpr int kAsksTheOperator = INT_MIN;

// One thread of a scenario: records "<name><ms since the origin>" at every step it reaches. A step
// n >= 0 waits n ms; n < 0 moves the clock up to -n ms after the origin, as
// after a child program ended. Only one thread runs at a time, so the shared
// list needs no lock.
struct Worker {
  char name;
  std::vector<int> steps;
  sim::StandTime origin;
  std::string* events;
};

void* work(void* raw) {
  auto* w = static_cast<Worker*>(raw);
  for (size_t i = 0;; ++i) {
    *w->events += w->name + std::to_string((sim::clock_now() - w->origin) / 1000) + " ";
    if (i == w->steps.size()) return nullptr;
    if (int step = w->steps[i]; step == kAsksTheOperator) {
      FILE* answer = popen("sleep 3; echo 1", "r");
      EXPECT_EQ(std::fgetc(answer), '1');
      pclose(answer);
    } else {
      step >= 0 ? bcm2835_delayMicroseconds(step * 1000ull) : sim::clock_catch_up(w->origin - step * 1000);
    }
  }
}

// Creates A, then B, and lets them run; the main thread waits in stand time
// (a join would hold the clock still while it blocks outside the stand).
std::string run_scenario(const std::vector<int>& a, const std::vector<int>& b) {
  std::string events;
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
  const std::tuple<std::vector<int>, std::vector<int>, const char*> scenarios[] = {
      // A every 300 ms, B every 200 ms; at 0 and 600 ms both are due and A goes first.
      {{300, 300, 300}, {200, 200, 200, 200}, "A0 B0 B200 A300 B400 A600 B600 B800 A900 "},
      // B asks for 200 ms before A does, yet A, created first, gets the tie.
      {{50, 150}, {200}, "A0 B0 A50 A200 B200 "},
      // A zero delay yields only to a thread created earlier, so A keeps the turn.
      {{0, 0, 100}, {0}, "A0 A0 A0 B0 B0 A100 "},
      // A catches up to 500 ms, and not back to 200; B's wake-up at 300 ms, now
      // past, runs first, and its next delay counts from 500.
      {{100, -500, -200, 0}, {300, 100}, "A0 B0 A100 A500 A500 B500 A500 B600 "},
      // A waiting for the operator keeps the turn however long, and nothing is reported.
      {{kAsksTheOperator}, {100}, "A0 A0 B0 B100 "},
  };
  for (auto& [a, b, expected] : scenarios)
    for (int run = 0; run < 3; ++run) EXPECT_EQ(run_scenario(a, b), expected) << "run " << run;
}

// Bounds only on a free-running clock: between a step and its check it may run
// on by up to 10 s of stand time (a second of real time at speed 10).
TEST(ClockSpeed, OnlyAWatchableSpeedRunsFreeFromTheGivenStartAndOnlyCatchesUpForward) {
  std::ostringstream seen;  // per speed asked for: refused or not, and the speed then in force
  for (double speed : {0.1, 0.0999, 50.001, -1.0, double{NAN}, double{INFINITY}, 0.0, 50.0, 10.0})
    seen << (sim::clock_set_speed(speed) ? "" : "no:") << sim::clock_speed() << ' ';
  auto at = [&](sim::StandTime us) { seen << ((sim::clock_now() - us) / 10'000'000 ? "not at " : "at ") << us << ' '; };
  sim::clock_start_at(5'000'000);
  at(5'000'000);
  sim::clock_catch_up(60'000'000);
  sim::clock_catch_up(1'000'000);
  at(60'000'000);
  bcm2835_delay(200);
  sim::clock_set_speed(0);
  sim::clock_start_at(1'000);  // a clock already past the start stays
  at(60'200'000);
  EXPECT_EQ(seen.str(), "0.1 no:0.1 no:0.1 no:0.1 no:0.1 no:0.1 0 50 10 at 5000000 at 60000000 at 60200000 ");
}

// A thread waiting on the stand's own word waits for its turn; on any other
// word it is blocked on a lock (a line of /proc/.../syscall: number, arguments).
TEST(ThreadProbe, OnlyAFutexWaitOnAnotherWordThanTheStandsIsALock) {
  int stand_word = 0, program_word = 0;
  auto futex_on = [&](const int& word) {
    char line[64];
    std::snprintf(line, sizeof line, "%ld 0x%jx 0x80 0x2 0x0 0x0\n", long{SYS_futex}, uintmax_t(uintptr_t(&word)));
    return sim::blocked_in_syscall_line(line, &stand_word);
  };
  EXPECT_EQ(futex_on(program_word), sim::Blocked::lock);
  EXPECT_EQ(futex_on(stand_word), sim::Blocked::other);
}

std::mutex records_lock;

TEST_F(ClockTurnsDeathTest,
       AThreadTheClockDidNotSeeCreatedALockHeldAcrossADelayOrAPollThatCannotEndStopsTheRunSayingWhy) {
  // std::thread creates its thread inside libstdc++, past the stand's wrap.
  EXPECT_DEATH(std::thread([] { bcm2835_delay(1); }).join(), "not created with pthread_create.*Create the program");
  EXPECT_DEATH(
      {
        records_lock.lock();
        pthread_t t;
        pthread_create(
            &t, nullptr, [](void*) -> void* { return records_lock.lock(), nullptr; }, nullptr);
        sim::clock_delay_us(1'234'500);
      },
      "the stand clock cannot move any more.*\n"
      "thread 1 \\(main\\): waits for its turn, its delay ends at 1234\\.500 ms\n"
      "thread 2: holds the turn, blocked on a lock outside the stand\n"
      ".*no lock may be held across bcm2835_delay");
  uint8_t frame[17] = {};  // a byte more than the RX FIFO holds, which nobody reads: DONE never comes
  EXPECT_DEATH((bcm2835_spi_begin(), bcm2835_spi_transfer_write(frame, 17)), "SPI0's CS .* polled a million times");
}

}  // namespace
