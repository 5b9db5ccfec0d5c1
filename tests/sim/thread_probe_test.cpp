// Telling a thread blocked on a lock from one waiting for input or a child:
// the stand clock calls a run stuck on the first kind only.
#include "time/thread_probe.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace {

std::string call(long nr, const void* first_argument) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld 0x%jx 0x80 0x2 0x0 0x0 0x0 0x7ffd 0x7f3a\n", nr,
                static_cast<uintmax_t>(reinterpret_cast<uintptr_t>(first_argument)));
  return text;
}

TEST(ThreadProbe, OnlyAFutexWaitOnAnotherWordThanTheStandsIsALockAndNothingIsGuessed) {
  int stand_word = 0, program_word = 0;
  const std::pair<std::string, sim::Blocked> cases[] = {
      {call(SYS_futex, &program_word), sim::Blocked::lock},
      {call(SYS_futex, &stand_word), sim::Blocked::other},
      {call(SYS_read, &program_word), sim::Blocked::other},
      {"running\n", sim::Blocked::other},
      {"", sim::Blocked::unknown},
      {std::to_string(SYS_futex), sim::Blocked::unknown},
  };
  for (auto& [line, expected] : cases) EXPECT_EQ(sim::blocked_in_syscall_line(line, &stand_word), expected) << line;
  EXPECT_EQ(sim::thread_blocked_in(gettid(), nullptr), sim::Blocked::other);  // it is reading its own record
  EXPECT_EQ(sim::thread_blocked_in(0, nullptr), sim::Blocked::unknown);
}

}  // namespace
