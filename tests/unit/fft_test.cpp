// The integer FFT and the recorder's samples: the sine table by its rule, the
// transform's known results, which bytes of the stream are samples.
#include "fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "audio_capture.h"

namespace {

TEST(FixFft, SineTableAndTheScaledSpectraOfKnownInputs) {
  for (int i = 0; i < 768; ++i)
    ASSERT_EQ(Sinewave[i], static_cast<int16_t>(32767 * std::sin(2 * M_PI * i / 1024))) << i;
  // log2 of the length, the samples; fr,fi of bins 0..7 | the sum of |fr| + |fi| over the later bins.
  const std::tuple<short, int (*)(int), std::string> cases[] = {
      {7, [](int) { return 255; }, "254,0 0,0 0,0 0,0 0,0 0,0 0,0 0,0 | 0"},  // the halvings drop halves
      {7, [](int t) { return int(128 + 100 * std::cos(2 * M_PI * 4 * t / 128)); },
       "126,0 0,0 0,0 0,0 50,0 0,0 0,0 0,0 | 62"},
      {3, [](int t) { return int(std::lround(1000 * std::sin(2 * M_PI * t / 8))); },
       "0,0 0,-500 0,0 0,0 0,0 0,0 0,0 0,500 | 72420"},  // forward: a sine is -i
  };
  for (auto& [m, sample, expected] : cases) {
    for (int t = 0; t < 128; ++t) fr[t] = int16_t(sample(t)), fi[t] = 0;
    fix_fft(m);
    std::string first8;
    for (int k = 0; k < 8; ++k) first8 += std::to_string(fr[k]) + "," + std::to_string(fi[k]) + " ";
    int rest = 0;
    for (int k = 8; k < 128; ++k) rest += std::abs(fr[k]) + std::abs(fi[k]);
    EXPECT_EQ(first8 + "| " + std::to_string(rest), expected);
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
    EXPECT_EQ(stand_read_samples(f, samples), int(std::min<size_t>(length, 1152)));
    std::fclose(f);
    for (size_t t = 0; t < 128; ++t)
      ASSERT_EQ(samples[t], 1024 + t < length ? uint8_t((1024 + t) * 7 + 3) : 128) << length << " " << t;
  }
}

}  // namespace
