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

std::string times(int n, const std::string& text) {
  std::string out;
  while (n-- > 0) out += text;
  return out;
}

StdoutCapture::StdoutCapture() { testing::internal::CaptureStdout(); }

StdoutCapture::~StdoutCapture() {
  if (capturing_) testing::internal::GetCapturedStdout();
}

std::string StdoutCapture::text() {
  capturing_ = false;
  return testing::internal::GetCapturedStdout();
}
