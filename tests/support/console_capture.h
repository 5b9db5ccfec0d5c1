// The operator's console in tests: answers fed to standard input, and what the
// program prints taken from standard output (the file descriptor itself, so
// printf and the program's buffering are covered).
#pragma once
#include <functional>
#include <string>

// Replaces standard input with `answers` for the rest of the test.
void feed_stdin(const std::string& answers);

// A death test sees only the dying child's standard error, while the stand
// program talks on standard output. Called first inside the dying statement,
// this sends what the child prints from then on to standard error.
void stdout_to_stderr();

// The shield's parameters as the stand program prints them; the identifier
// line only when `id` is given.
std::string shield_parameters(int firmware, int number, const std::string& id = "");

// What `run` printed on standard output.
std::string printed(const std::function<void()>& run);
