// The table-driven transform: its tables, the direct Fourier sum, and the FFT
// (its reordering included) against a direct transform in double precision.
#include "fourier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "SinCos.h"

namespace {

TEST(Fourier, TablesFollowTheQuarterRuleWithTheFirstTenDegreesOneDegreeAhead) {
  auto q = [](int j) { return int32_t(std::lround(10000 * std::sin((j < 10 ? j + 1 : j) * M_PI / 180))); };
  for (int i = 0; i < 360; ++i) {
    const int j = i % 90, quarter = i / 90;
    ASSERT_EQ(sin_calc(i + 360), (quarter < 2 ? 1 : -1) * q(quarter % 2 ? 89 - j : j)) << i;
    ASSERT_EQ(cos_calc(i + 720), -sinTab[(i + 90) % 360]) << i;
  }
}

// 3000 + 600 sin(harmonic 1) + 1500 sin(harmonic 5) + 900 cos(harmonic 40) + 300 sin(17.3 periods).
TEST(Fourier, SumAndFftGiveTheSpectrumWithinTheTablesWholeDegrees) {
  uint16_t x[128];
  for (int l = 0; l < 128; ++l)
    x[l] = uint16_t(std::lround(3000 + 600 * std::sin(2 * M_PI * l / 128) + 1500 * std::sin(2 * M_PI * 5 * l / 128) +
                                900 * std::cos(2 * M_PI * 40 * l / 128) + 300 * std::sin(2 * M_PI * 17.3 * l / 128)));
  fourier_transform(x);
  EXPECT_EQ(fa[0], 30020000);                 // the mean 3002.x, its fraction dropped
  EXPECT_NEAR(double(fa[1]) / 1e8, 600, 30);  // amplitude x 10^8
  EXPECT_NEAR(double(fa[5]) / 1e8, 1500, 30);
  EXPECT_LT(double(fa[3]) / 1e8, 40);
  std::complex<double> exact[128];
  for (int k = 0; k < 128; ++k)
    for (int l = 0; l < 128; ++l) exact[k] += double(x[l]) * std::polar(1.0, -2 * M_PI * k * l / 128);
  FFT_BufferConvert(x);
  FFT(x);
  for (int k = 0; k < 128; ++k)  // within 1.5% of the strongest bin
    ASSERT_LT(std::abs(std::complex<double>(ak[k], bk[k]) - exact[k]), 0.015 * std::abs(exact[0])) << k;
}

}  // namespace
