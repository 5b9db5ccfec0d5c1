#include "console_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

void feed_stdin(const std::string& answers) {
  char path[] = "/tmp/velk_stdin_XXXXXX";
  close(mkstemp(path));
  std::ofstream(path) << answers;
  if (!std::freopen(path, "r", stdin)) std::abort();
  std::remove(path);
}

void stdout_to_stderr() {
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
}

std::string shield_parameters(int firmware, int number, const std::string& id) {
  return "Параметры шилда\n---------------\nFirmware : " + std::to_string(firmware) +
         "\nShield   : " + std::to_string(number) + "\n" + (id.empty() ? "" : "Shield ID: " + id + "\n\n");
}

std::string printed(const std::function<void()>& run) {
  testing::internal::CaptureStdout();
  run();
  return testing::internal::GetCapturedStdout();
}
