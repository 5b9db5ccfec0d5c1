// The integer FFT of the audio check and the arrays of one audio measurement.
// All arrays are the main thread's and zero at start.
#pragma once
#include <array>
#include <cstdint>

inline constexpr int N_WAVE = 1024;             // points of one sine period in Sinewave; the largest transform
inline constexpr int LOG2_N_WAVE = 10;          // log2(N_WAVE)
inline constexpr int FFT_NUMB_POINT_SHIFT = 7;  // 128-point transform
inline constexpr int FFT_NUMB_POINT_SHIFT_D2 = FFT_NUMB_POINT_SHIFT - 1;  // 64 bins carry amplitudes
inline constexpr int _FFT_POINTS = 1 << FFT_NUMB_POINT_SHIFT;

// Three quarters of a sine period in Q15: entry i is 32767 * sin(2*pi*i/1024)
// cut toward zero. Entry j is the sine and entry j + 256 the cosine of 2*pi*j/1024.
extern const std::array<int16_t, N_WAVE - N_WAVE / 4> Sinewave;

extern int16_t fr[_FFT_POINTS];             // real parts: samples in, spectrum out
extern int16_t fi[_FFT_POINTS];             // imaginary parts, in and out
extern uint32_t famp[_FFT_POINTS];          // amplitudes of the latest capture (bins 0..63)
extern uint32_t famp_sum[_FFT_POINTS];      // per-bin sum over the captures of one measurement
extern uint32_t famp_average[_FFT_POINTS];  // per-bin average of one measurement

// In-place forward transform of the 2^m points of fr/fi (m = 0..7), each of
// its m stages halving the data: bin k comes out as the DFT's bin k divided by 2^m.
void fix_fft(short m);
