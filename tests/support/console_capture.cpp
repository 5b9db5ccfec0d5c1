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

std::string shield_parameters(int firmware, int number, const std::string& id) {
  return "Параметры шилда\n---------------\nFirmware : " + std::to_string(firmware) +
         "\nShield   : " + std::to_string(number) + "\n" + (id.empty() ? "" : "Shield ID: " + id + "\n\n");
}

std::string audio_transcript(bool judged) {
  static const int kAmplitudes[] = {124, 2, 3, 43, 3, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1};
  std::string out =
      judged ? "Идет проверка звукового тракта. Ожидайте...\n" : "Идет считывание гармоник. Ожидайте...\n";
  for (int c = 1; c <= 10; ++c) out += "\nСчитывание звука " + std::to_string(c) + "/10\n";
  out += "\n\nАмплитуды гармоник:\n";
  for (int b = 0; b < 22; ++b) out += std::to_string(b) + ": - " + std::to_string(kAmplitudes[b]) + "\n";
  return judged ? out + "\nЗвуковой спектр полностью соответствует.\n" : out;
}

std::string printed(const std::function<void()>& run) {
  testing::internal::CaptureStdout();
  run();
  return testing::internal::GetCapturedStdout();
}
