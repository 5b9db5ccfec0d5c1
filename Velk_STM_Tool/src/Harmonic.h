// Reference spectra of the audio check and the judgement of a measured
// spectrum against the reference of the shield under test.
#pragma once
#include <cstdint>

inline constexpr int _NUMB_DETECT_HARMONIC = 22;  // bins 0..21 are judged

struct harmonic_st {
  uint16_t average[_NUMB_DETECT_HARMONIC];  // expected amplitude per bin
  uint16_t delta[_NUMB_DETECT_HARMONIC];    // allowed deviation per bin
};
extern harmonic_st harmonic;  // the loaded reference; zero = none

// The compiled-in references: the measured spectra of healthy shields.
extern const harmonic_st HARMONIC_26TALVO;
extern const harmonic_st HARMONIC_26KE;
extern const harmonic_st HARMONIC_27KE;

void harmonic_26TALVO_init();
void harmonic_26KE_init();
void harmonic_27KE_init();
void harmonic_NULL();

// Judges f_amp[0..21] against `harmonic`, prints the verdict and returns the
// number of bins out of tolerance (0 = the spectrum passes). A bin whose
// average is not above its delta has no lower limit.
uint8_t harmonic_comparison(const uint32_t* f_amp);

// The window of bin `bin` of `reference`: average ± delta, the low end 0 where
// the delta reaches the average.
uint32_t harmonic_low(const harmonic_st& reference, int bin);
uint32_t harmonic_high(const harmonic_st& reference, int bin);

// Whether `value` lies within bin `bin` of `reference`.
bool harmonic_inTolerance(const harmonic_st& reference, int bin, uint32_t value);
