#include "fft.h"

#include <utility>

#include "const_trig.h"

namespace {

// The first quarter by reduction to |x| <= pi/4 (so the top entry is exactly
// 32767); the rest by sin(pi - x) = sin(x) and sin(pi + x) = -sin(x), which
// cutting toward zero preserves.
constexpr std::array<int16_t, N_WAVE - N_WAVE / 4> make_sinewave() {
  std::array<int16_t, N_WAVE - N_WAVE / 4> t{};
  constexpr int quarter = N_WAVE / 4;
  for (int i = 0; i <= quarter; ++i) {
    double s =
        i <= quarter / 2 ? const_sin(2 * kConstPi * i / N_WAVE) : const_cos(2 * kConstPi * (quarter - i) / N_WAVE);
    t[i] = static_cast<int16_t>(32767.0 * s);
  }
  for (int i = quarter + 1; i < 2 * quarter; ++i) t[i] = t[2 * quarter - i];
  for (int i = 2 * quarter; i < 3 * quarter; ++i) t[i] = static_cast<int16_t>(-t[i - 2 * quarter]);
  return t;
}

// p / 32768 rounded to nearest, halves up.
int16_t fix_mpy(int16_t a, int16_t b) {
  int32_t p = int32_t{a} * int32_t{b};
  return static_cast<int16_t>((p >> 15) + ((p >> 14) & 1));
}

void bit_reverse(int n) {
  const int nn = n - 1;
  int mr = 0;
  for (int s = 1; s <= nn; ++s) {
    int l = n;
    do l >>= 1;
    while (mr + l > nn);
    mr = (mr & (l - 1)) + l;
    if (mr <= s) continue;
    std::swap(fr[s], fr[mr]);
    std::swap(fi[s], fi[mr]);
  }
}

}  // namespace

constexpr std::array<int16_t, N_WAVE - N_WAVE / 4> Sinewave = make_sinewave();
static_assert(Sinewave[7] == 1406 && Sinewave[256] == 32767 && Sinewave[767] == -32766);

int16_t fr[_FFT_POINTS];
int16_t fi[_FFT_POINTS];
uint32_t famp[_FFT_POINTS];
uint32_t famp_sum[_FFT_POINTS];
uint32_t famp_average[_FFT_POINTS];

void fix_fft(short m) {
  const int n = 1 << m;
  bit_reverse(n);
  for (int l = 1, k = LOG2_N_WAVE - 1; l < n; l *= 2, --k) {
    const int istep = 2 * l;
    for (int s = 0; s < l; ++s) {
      const int j = s << k;
      const auto wr = static_cast<int16_t>(Sinewave[j + N_WAVE / 4] >> 1);
      const auto wi = static_cast<int16_t>(-Sinewave[j] >> 1);
      for (int i = s; i < n; i += istep) {
        const int j2 = i + l;
        const int tr = fix_mpy(wr, fr[j2]) - fix_mpy(wi, fi[j2]);
        const int ti = fix_mpy(wr, fi[j2]) + fix_mpy(wi, fr[j2]);
        const int qr = fr[i] >> 1;
        const int qi = fi[i] >> 1;
        fr[j2] = static_cast<int16_t>(qr - tr);
        fi[j2] = static_cast<int16_t>(qi - ti);
        fr[i] = static_cast<int16_t>(qr + tr);
        fi[i] = static_cast<int16_t>(qi + ti);
      }
    }
  }
}
