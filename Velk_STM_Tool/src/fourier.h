// A second way to the harmonic amplitudes of 128 samples, on the whole-degree
// tables of SinCos: a direct Fourier sum, and a radix-2 FFT. The audio check
// does not use it.
#pragma once
#include <array>
#include <cstdint>

inline constexpr int FOURIER_NUMB_POINT_BIT = 6;
inline constexpr int FOURIER_NUMB_POINT = 2 << FOURIER_NUMB_POINT_BIT;           // 128 samples
inline constexpr int FOURIER_NUMB_POINT_d2 = 2 << (FOURIER_NUMB_POINT_BIT - 1);  // 64

// The angle of each sample position for harmonic 1, in whole degrees: one
// period over the 128 samples, l * 360 / 128 rounded to the nearest degree
// (so harmonic k is off by at most k/2 degrees at any sample).
extern const std::array<uint16_t, FOURIER_NUMB_POINT> fourier_alpha_tab;

// fourier_transform's result: [0] the mean level x 10000, [1..63] the
// amplitude of each harmonic x 10^8 (the tables' 10000 and one more). 64-bit:
// an amplitude above 21 would not fit 32 bits in these units.
extern int64_t fa[FOURIER_NUMB_POINT];

// The FFT's spectrum: real and imaginary part of bin k, not scaled (bin k of
// the DFT of the samples, sum over l of x[l] e^(-2 pi i k l / 128)).
extern int32_t ak[FOURIER_NUMB_POINT];
extern int32_t bk[FOURIER_NUMB_POINT];

// The low T bits of I in reverse order; higher bits are dropped.
unsigned FFT_reverse(unsigned I, int T);

// Swaps entries I and FFT_reverse(I, 6) for I < that: the 64-point bit
// reversal of entries 0..63; entries 64..127 stay where they are.
void FFT_BufferConvert(uint16_t* buf);

// The 128-point radix-2 transform of samples that FFT_BufferConvert has
// reordered, into ak/bk. It completes the 128-point bit-reversed order itself
// (the reordering above covers only the first half), then runs the stages
// N = 2, 4, ..., 128 with whole-degree twiddles k * 360 / N.
void FFT(const uint16_t* buf);

// The direct Fourier sum of 128 samples into fa[0..63], at the angles of fourier_alpha_tab.
void fourier_transform(const uint16_t* data);
