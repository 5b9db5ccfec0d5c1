#include "console_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string temp_path(const char* tag) {
  std::string path = std::string("/tmp/velk_") + tag + "_XXXXXX";
  int fd = mkstemp(path.data());
  if (fd >= 0) close(fd);
  return path;
}

}  // namespace

void feed_stdin(const std::string& answers) {
  std::string path = temp_path("stdin");
  std::ofstream(path) << answers;
  if (!std::freopen(path.c_str(), "r", stdin)) std::abort();
  std::remove(path.c_str());
}

StdoutCapture::StdoutCapture() : path_(temp_path("stdout")) {
  std::fflush(stdout);
  saved_fd_ = dup(STDOUT_FILENO);
  std::FILE* f = std::fopen(path_.c_str(), "w");
  dup2(fileno(f), STDOUT_FILENO);
  std::fclose(f);
}

StdoutCapture::~StdoutCapture() {
  std::fflush(stdout);
  dup2(saved_fd_, STDOUT_FILENO);
  close(saved_fd_);
  std::remove(path_.c_str());
}

std::string StdoutCapture::text() {
  std::fflush(stdout);
  std::ifstream in(path_);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
