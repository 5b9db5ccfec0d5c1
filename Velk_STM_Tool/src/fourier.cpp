#include "fourier.h"

#include <cmath>
#include <utility>

#include "SinCos.h"

namespace {

constexpr int kBits = FOURIER_NUMB_POINT_BIT + 1;  // 128 points
constexpr int64_t kScale = 10000;                  // of the tables

constexpr std::array<uint16_t, FOURIER_NUMB_POINT> make_alpha() {
  std::array<uint16_t, FOURIER_NUMB_POINT> t{};
  for (int l = 0; l < FOURIER_NUMB_POINT; ++l) t[l] = static_cast<uint16_t>((l * 360 + 64) / 128);
  return t;
}

}  // namespace

constexpr std::array<uint16_t, FOURIER_NUMB_POINT> fourier_alpha_tab = make_alpha();
static_assert(fourier_alpha_tab[1] == 3 && fourier_alpha_tab[64] == 180 && fourier_alpha_tab[127] == 357);
int64_t fa[FOURIER_NUMB_POINT];
int32_t ak[FOURIER_NUMB_POINT];
int32_t bk[FOURIER_NUMB_POINT];

unsigned FFT_reverse(unsigned I, int T) {
  unsigned r = 0, low = 1, high = 1u << (T - 1);
  for (int shift = T - 1; shift >= 0; shift -= 2, low <<= 1, high >>= 1)
    r |= ((I & low) << shift) | ((I & high) >> shift);
  return r;
}

void FFT_BufferConvert(uint16_t* buf) {
  for (unsigned i = 1; i < FOURIER_NUMB_POINT - 1; ++i) {
    unsigned j = FFT_reverse(i, FOURIER_NUMB_POINT_BIT);
    if (i < j) std::swap(buf[i], buf[j]);
  }
}

void FFT(const uint16_t* buf) {
  // Sample l sits at FFT_reverse(l, FOURIER_NUMB_POINT_BIT) in the first half, in place in the second.
  auto sample = [buf](unsigned l) {
    return buf[l < FOURIER_NUMB_POINT_d2 ? FFT_reverse(l, FOURIER_NUMB_POINT_BIT) : l];
  };
  for (unsigned i = 0; i < FOURIER_NUMB_POINT; ++i) {
    ak[i] = sample(FFT_reverse(i, kBits));
    bk[i] = 0;
  }
  for (int n = 2; n <= FOURIER_NUMB_POINT; n *= 2) {
    const int nd2 = n / 2;
    for (int k = 0; k < nd2; ++k) {
      // e^(-i alpha) = cos alpha - i sin alpha; the tables hold sin 1 deg at 0
      // deg, so the twiddle of every stage's first butterfly is taken as the exact 1.
      const auto alpha = static_cast<uint32_t>(k * 360 / n);
      const int64_t wr = k == 0 ? kScale : -cos_calc(alpha);
      const int64_t wi = k == 0 ? 0 : -sin_calc(alpha);
      for (int m = k; m < FOURIER_NUMB_POINT; m += n) {
        const int b = m + nd2;
        const auto tr = static_cast<int32_t>((wr * ak[b] - wi * bk[b]) / kScale);
        const auto ti = static_cast<int32_t>((wr * bk[b] + wi * ak[b]) / kScale);
        ak[b] = ak[m] - tr;
        bk[b] = bk[m] - ti;
        ak[m] += tr;
        bk[m] += ti;
      }
    }
  }
}

void fourier_transform(const uint16_t* data) {
  int64_t sum = 0;
  for (int l = 0; l < FOURIER_NUMB_POINT; ++l) sum += data[l];
  fa[0] = (sum >> 7) * kScale;
  for (int k = 1; k < FOURIER_NUMB_POINT_d2; ++k) {
    int64_t s = 0, c = 0;
    for (int l = 0; l < FOURIER_NUMB_POINT; ++l) {
      const auto alpha = static_cast<uint16_t>(fourier_alpha_tab[l] * k);
      s += int64_t{data[l]} * sin_calc(alpha);
      c += int64_t{data[l]} * cos_calc(alpha);
    }
    const double re = static_cast<double>(s / FOURIER_NUMB_POINT_d2 * kScale);
    const double im = static_cast<double>(c / FOURIER_NUMB_POINT_d2 * kScale);
    fa[k] = static_cast<int64_t>(std::sqrt(re * re + im * im));
  }
}
