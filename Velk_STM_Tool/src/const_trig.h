// Sine and cosine usable at compile time, for the program's constant tables.
// Their series are summed far past a double's resolution for |x| <= pi/2.
#pragma once

inline constexpr double kConstPi = 3.14159265358979323846;

constexpr double const_series(double x, double term, int first) {
  double sum = term;
  for (int n = first; n < first + 40; n += 2) {
    term *= -x * x / (n * (n + 1));
    sum += term;
  }
  return sum;
}
constexpr double const_sin(double x) { return const_series(x, x, 2); }  // |x| <= pi/2
constexpr double const_cos(double x) { return const_series(x, 1.0, 1); }
