#include "Harmonic.h"

#include <cstdio>

harmonic_st harmonic;

constexpr harmonic_st HARMONIC_26TALVO = {
    {124, 2, 3, 43, 3, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1},
    {10, 2, 2, 6, 2, 2, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 2, 2, 2},
};
constexpr harmonic_st HARMONIC_26KE = {
    {124, 1, 1, 7, 1, 1, 5, 1, 1, 4, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1},
    {13, 1, 1, 4, 1, 1, 3, 1, 1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
};
constexpr harmonic_st HARMONIC_27KE = {
    {137, 3, 4, 47, 4, 6, 27, 5, 4, 9, 2, 2, 4, 2, 5, 4, 2, 4, 3, 2, 2, 1},
    {16, 2, 2, 9, 3, 3, 4, 2, 3, 4, 2, 3, 3, 2, 3, 2, 2, 2, 2, 2, 2, 1},
};

void harmonic_26TALVO_init() { harmonic = HARMONIC_26TALVO; }
void harmonic_26KE_init() { harmonic = HARMONIC_26KE; }
void harmonic_27KE_init() { harmonic = HARMONIC_27KE; }
void harmonic_NULL() { harmonic = {}; }

uint32_t harmonic_low(const harmonic_st& reference, int bin) {
  const uint32_t a = reference.average[bin], d = reference.delta[bin];
  return a > d ? a - d : 0;
}

uint32_t harmonic_high(const harmonic_st& reference, int bin) {
  return uint32_t{reference.average[bin]} + reference.delta[bin];
}

bool harmonic_inTolerance(const harmonic_st& reference, int bin, uint32_t value) {
  return value >= harmonic_low(reference, bin) && value <= harmonic_high(reference, bin);
}

uint8_t harmonic_comparison(const uint32_t* f_amp) {
  uint8_t mismatches = 0;
  for (int i = 0; i < _NUMB_DETECT_HARMONIC; ++i)
    if (!harmonic_inTolerance(harmonic, i, f_amp[i])) ++mismatches;
  if (mismatches == 0)
    std::printf("Звуковой спектр полностью соответствует.\n");
  else
    std::printf("\nНесоответствие спектра :%d%%\n", mismatches * 100 / _NUMB_DETECT_HARMONIC);
  return mismatches;
}
