// A death test sees only the dying child's standard error, while the stand
// program talks on standard output. Called first inside the dying statement,
// this sends what the child prints from then on to standard error, so the
// test can match the last words the operator would read.
#pragma once
#include <unistd.h>

#include <cstdio>

inline void stdout_to_stderr() {
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
}
