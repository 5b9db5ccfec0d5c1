// The integer FFT's sine table by its rule, and which bytes of the recorder's
// stream are samples.
#include "fft.h"

#include <gtest/gtest.h>

#include <cmath>

#include "audio_capture.h"

namespace {

// The sine table by its rule. (The transform itself is what every spectrum
// the audio check reads goes through: the block tests and the catalogue.)
TEST(FixFft, SineTableFollowsTheSine) {
  for (int i = 0; i < 768; ++i)
    ASSERT_EQ(Sinewave[i], static_cast<int16_t>(32767 * std::sin(2 * M_PI * i / 1024))) << i;
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
