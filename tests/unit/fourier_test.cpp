// The table-driven transform: the whole-degree tables by their rule, the bit
// reversal and reordering, the direct Fourier sum, and the radix-2 FFT against
// a direct transform in double precision.
#include "fourier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numeric>
#include <vector>

#include "SinCos.h"

namespace {

TEST(SinCos, TablesFollowTheQuarterRuleWithNoZeroEntry) {
  auto q = [](int j) { return static_cast<int32_t>(std::lround(10000 * std::sin((j < 10 ? j + 1 : j) * M_PI / 180))); };
  for (int j = 0; j < 90; ++j) {
    ASSERT_EQ(sinTab[j], q(j)) << j;
    ASSERT_EQ(sinTab[90 + j], q(89 - j)) << j;
    ASSERT_EQ(sinTab[180 + j], -q(j)) << j;
    ASSERT_EQ(sinTab[270 + j], -q(89 - j)) << j;
  }
  for (int i = 0; i < 360; ++i) {
    ASSERT_EQ(cosTab[i], -sinTab[(i + 90) % 360]) << i;
    ASSERT_TRUE(sinTab[i] != 0 && std::abs(sinTab[i]) != 10000) << i;
  }
  EXPECT_EQ(std::vector<int32_t>({sin_calc(0), sin_calc(360), sin_calc(90), sin_calc(9), sin_calc(10), cos_calc(0),
                                  cos_calc(450), cos_calc(180), sin_calc(3600 + 270)}),
            std::vector<int32_t>({175, 175, 9998, 1736, 1736, -9998, 175, 9998, -9998}));
}

TEST(FftReverse, ReversesTheLowBitsAndDropsTheRest) {
  struct Case {
    unsigned i;
    int t;
    unsigned reversed;
  };
  for (Case c : {Case{1, 6, 32}, Case{6, 6, 24}, Case{5, 3, 5}, Case{1, 1, 1}, Case{64, 6, 0}, Case{1, 7, 64},
                 Case{0b1011, 5, 0b11010}, Case{127, 6, 63}, Case{2, 3, 2}})
    EXPECT_EQ(FFT_reverse(c.i, c.t), c.reversed) << c.i << " " << c.t;
}

TEST(FftBufferConvert, ReversesTheFirstHalfOnlyWithSixBits) {
  uint16_t buf[128];
  std::iota(buf, buf + 128, 0);
  FFT_BufferConvert(buf);
  for (unsigned i = 0; i < 128; ++i) ASSERT_EQ(buf[i], i < 64 ? FFT_reverse(i, 6) : i) << i;
  EXPECT_EQ(buf[1] * 1000 + buf[3], 32048);
}

TEST(FourierTransform, GivesTheMeanLevelAndTheAmplitudeOfEachHarmonic) {
  uint16_t data[128];
  std::fill(data, data + 128, 100);
  fourier_transform(data);
  EXPECT_EQ(fa[0], 1000000);
  // 300 + 200 sin(harmonic 3) + 50 cos(harmonic 7): amplitudes x 10^8 within
  // the tables' whole degrees; the other harmonics near 0.
  for (int l = 0; l < 128; ++l)
    data[l] = static_cast<uint16_t>(
        std::lround(300 + 200 * std::sin(2 * M_PI * 3 * l / 128) + 50 * std::cos(2 * M_PI * 7 * l / 128)));
  fourier_transform(data);
  EXPECT_EQ(fa[0], 3000000);
  EXPECT_NEAR(double(fa[3]) / 1e8, 200, 4);
  EXPECT_NEAR(double(fa[7]) / 1e8, 50, 2);
  for (int k : {1, 2, 4, 5, 10, 20}) EXPECT_LT(double(fa[k]) / 1e8, 6) << k;
  EXPECT_EQ(fa[64], 0);  // bins 64 and up are not written
}

// Samples reordered by FFT_BufferConvert, then FFT: every bin within 1.5% of
// the strongest bin of the exact transform (the tables' whole degrees, and
// their small angles one degree off, cost that much).
TEST(Fft, MatchesADirectTransformOfTheSamples) {
  uint16_t samples[128];
  for (int l = 0; l < 128; ++l)
    samples[l] = static_cast<uint16_t>(std::lround(3000 + 1500 * std::sin(2 * M_PI * 5 * l / 128) +
                                                   900 * std::cos(2 * M_PI * 40 * l / 128) +
                                                   300 * std::sin(2 * M_PI * 17.3 * l / 128)));
  std::vector<std::complex<double>> exact(128);
  for (int k = 0; k < 128; ++k)
    for (int l = 0; l < 128; ++l) exact[k] += double(samples[l]) * std::polar(1.0, -2 * M_PI * k * l / 128);
  uint16_t buf[128];
  std::copy(samples, samples + 128, buf);
  FFT_BufferConvert(buf);
  FFT(buf);
  double worst = 0;
  for (int k = 0; k < 128; ++k)
    worst = std::max(worst, std::abs(std::complex<double>(ak[k], bk[k]) - exact[k]) / std::abs(exact[0]));
  EXPECT_LT(worst, 0.015);
  EXPECT_NEAR(std::hypot(ak[5], bk[5]) / 64, 1500, 40);
  EXPECT_NEAR(std::hypot(ak[40], bk[40]) / 64, 900, 40);
  EXPECT_NEAR(ak[0] / 128.0, 3000, 5);
}

}  // namespace
