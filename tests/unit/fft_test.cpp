// The integer FFT and one capture's spectrum: the sine table by its rule, the
// transform's known results, which bytes of the recorder's stream are samples,
// and the imaginary parts carried from one capture to the next.
#include "fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio_capture.h"

namespace {

std::string bins(int n) {
  std::string out;
  for (int k = 0; k < n; ++k) out += std::to_string(fr[k]) + "," + std::to_string(fi[k]) + " ";
  return out;
}

TEST(FixFft, SineTableAndTheScaledSpectraOfKnownInputs) {
  for (int i = 0; i < 768; ++i)
    ASSERT_EQ(Sinewave[i], static_cast<int16_t>(32767 * std::sin(2 * M_PI * i / 1024))) << i;
  struct Case {
    short m;
    int (*sample)(int t);
    std::string first8;  // fr,fi of bins 0..7
    int rest;            // |fr| + |fi| of every later bin; -1: rounding, not pinned
  };
  const Case cases[] = {
      {7, [](int) { return 128; }, "128,0 0,0 0,0 0,0 0,0 0,0 0,0 0,0 ", 0},
      {7, [](int) { return 255; }, "254,0 0,0 0,0 0,0 0,0 0,0 0,0 0,0 ", 0},  // the halvings drop halves
      {7, [](int t) { return t ? 0 : 128; }, "1,0 1,0 1,0 1,0 1,0 1,0 1,0 1,0 ", 1},
      {7, [](int t) { return int(128 + 100 * std::cos(2 * M_PI * 4 * t / 128)); },
       "126,0 0,0 0,0 0,0 50,0 0,0 0,0 0,0 ", -1},
      {3, [](int t) { return int(std::lround(1000 * std::sin(2 * M_PI * t / 8))); },
       "0,0 0,-500 0,0 0,0 0,0 0,0 0,0 0,500 ", -1},  // forward: a sine is -i
      {0, [](int t) { return 77 + t; }, "77,0 78,0 79,0 80,0 81,0 82,0 83,0 84,0 ", -1},
  };
  for (const Case& c : cases) {
    for (int t = 0; t < 128; ++t) fr[t] = int16_t(c.sample(t)), fi[t] = 0;
    fix_fft(c.m);
    EXPECT_EQ(bins(8), c.first8);
    for (int k = 8; k < 128 && c.rest >= 0; ++k) ASSERT_EQ(std::abs(fr[k]) + std::abs(fi[k]), c.rest) << c.first8;
  }
}

// Only bytes 1024..1151 of the stream are samples; those a stream ending early
// did not deliver read as the silence level.
TEST(Capture, TakesBytes1024To1151AndSilenceForWhatTheStreamDidNotDeliver) {
  for (size_t length : {1300, 1152, 1100, 500, 0}) {
    std::FILE* f = std::tmpfile();
    for (size_t i = 0; i < length; ++i) std::fputc(int(i * 7 + 3) & 0xFF, f);
    std::rewind(f);
    uint8_t samples[128];
    std::memset(samples, 0xEE, sizeof samples);
    EXPECT_EQ(stand_read_samples(f, samples), int(std::min<size_t>(length, 1152)));
    std::fclose(f);
    for (size_t t = 0; t < 128; ++t)
      ASSERT_EQ(samples[t], 1024 + t < length ? uint8_t((1024 + t) * 7 + 3) : 128) << length << " " << t;
  }
}

// A level of 128 is all in bin 0 and bins 64 up are never written. The
// imaginary parts a capture leaves are the next one's imaginary input, so the
// same samples give another spectrum the second time.
TEST(Capture, SpectrumOfTheSamplesWithTheImaginaryPartsCarriedOver) {
  std::memset(fi, 0, sizeof fi);
  std::fill(famp + 64, famp + 128, 9u);
  uint8_t x[128];
  std::fill(x, x + 128, 128);
  stand_spectrum(x);
  for (int k = 0; k < 128; ++k) ASSERT_EQ(famp[k], k == 0 ? 128u : k < 64 ? 0u : 9u) << k;
  for (int t = 0; t < 128; ++t) x[t] = uint8_t(128 + 90 * std::sin(2 * M_PI * 2.9 * t / 128));
  stand_spectrum(x);  // fi is still 0: a level has no imaginary parts
  EXPECT_EQ(std::vector<uint32_t>(famp, famp + 4), (std::vector<uint32_t>{126, 0, 2, 45}));
  const std::string first = bins(64);
  stand_spectrum(x);
  EXPECT_NE(bins(64), first);
}

}  // namespace
