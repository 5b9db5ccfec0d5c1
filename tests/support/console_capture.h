// The operator's console in tests: answers fed to standard input, and what the
// program prints taken from standard output (the file descriptors themselves,
// so printf and the program's buffering are covered).
#pragma once
#include <string>

// Replaces standard input with `answers` for the rest of the test.
void feed_stdin(const std::string& answers);

class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // Everything printed since the capture began (flushes first).
  std::string text();

 private:
  int saved_fd_;
  std::string path_;
};
