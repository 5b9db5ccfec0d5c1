// The main of every test program. CTest judges a test case by its process's
// exit status alone, and the stand program ends itself with exit(0) in many
// places: a case whose code under test ends the program half-way would pass.
// So any end of a test program before its cases have all run becomes status 1.
// Death-test children are left alone: forked ones run under another process
// id, re-executed ones carry gtest's internal death-test flag.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {
pid_t guarded = 0;
bool all_cases_ran = false;
}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(internal_run_death_test).empty()) guarded = getpid();
  std::atexit([] {
    if (getpid() != guarded || all_cases_ran) return;
    std::fflush(stdout);
    std::fputs("\nThe test program was ended before its test cases finished.\n", stderr);
    _exit(1);
  });
  int status = RUN_ALL_TESTS();
  all_cases_ran = true;
  return status;
}
