// The integer FFT of the audio check and one capture's spectrum: the sine
// table by its rule, the transform's known results, what of the recorder's
// stream is used, and the imaginary parts carried from capture to capture.
#include "fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "audio_capture.h"

namespace {

void clear() {
  std::memset(fr, 0, sizeof fr);
  std::memset(fi, 0, sizeof fi);
  std::memset(famp, 0, sizeof famp);
}

std::string spectrum(int n) {
  std::string out;
  for (int k = 0; k < n; ++k) out += std::to_string(fr[k]) + "," + std::to_string(fi[k]) + " ";
  return out;
}

TEST(Sinewave, EveryEntryIsTheSineCutTowardZero) {
  for (int i = 0; i < 768; ++i)
    ASSERT_EQ(Sinewave[i], static_cast<int16_t>(32767 * std::sin(2 * M_PI * i / 1024))) << i;
  EXPECT_EQ(Sinewave[1], 201);
  EXPECT_EQ(Sinewave[7], 1406);
}

// The transform's results for inputs whose spectra are known; the rounded
// product and the halving at every stage decide the exact values.
TEST(FixFft, GivesTheScaledSpectrumOfKnownInputs) {
  struct Case {
    const char* name;
    short m;
    std::function<void()> fill;
    std::string first8;  // fr,fi of bins 0..7 after the transform
    int rest;            // |fr| + |fi| of every later bin; -1: not pinned (rounding)
  };
  const Case cases[] = {
      {"level 128", 7, [] { std::fill(fr, fr + 128, 128); }, "128,0 0,0 0,0 0,0 0,0 0,0 0,0 0,0 ", 0},
      {"level 255: each halving drops a half", 7, [] { std::fill(fr, fr + 128, 255); },
       "254,0 0,0 0,0 0,0 0,0 0,0 0,0 0,0 ", 0},
      {"impulse", 7, [] { fr[0] = 128; }, "1,0 1,0 1,0 1,0 1,0 1,0 1,0 1,0 ", 1},
      {"cosine in bin 4", 7,
       [] {
         for (int t = 0; t < 128; ++t) fr[t] = static_cast<int16_t>(128 + 100 * std::cos(2 * M_PI * 4 * t / 128));
       },
       "126,0 0,0 0,0 0,0 50,0 0,0 0,0 0,0 ", -1},
      {"sine in bin 1 of 8 points: minus i times half the amplitude", 3,
       [] {
         for (int t = 0; t < 8; ++t) fr[t] = static_cast<int16_t>(std::lround(1000 * std::sin(2 * M_PI * t / 8)));
       },
       "0,0 0,-500 0,0 0,0 0,0 0,0 0,0 0,500 ", -1},
      {"m = 0 changes nothing", 0, [] { fr[0] = 77, fi[0] = -5, fr[1] = 3; }, "77,-5 3,0 0,0 0,0 0,0 0,0 0,0 0,0 ", -1},
  };
  for (const Case& c : cases) {
    clear();
    c.fill();
    fix_fft(c.m);
    EXPECT_EQ(spectrum(8), c.first8) << c.name;
    for (int k = 8; k < 128 && c.rest >= 0; ++k) ASSERT_EQ(std::abs(fr[k]) + std::abs(fi[k]), c.rest) << c.name << k;
  }
}

std::FILE* stream_of(const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

// Only bytes 1024..1151 of the recorder's stream are samples; a stream that
// ends early leaves the silence level in the samples it did not deliver.
TEST(Capture, TakesBytes1024To1151AndSilenceForWhatTheStreamDidNotDeliver) {
  struct Case {
    size_t length;
    int delivered;
    int first_missing;
  };
  for (Case c :
       {Case{1300, 1152, 128}, Case{1152, 1152, 128}, Case{1100, 1100, 76}, Case{500, 500, 0}, Case{0, 0, 0}}) {
    std::vector<uint8_t> bytes(c.length);
    for (size_t i = 0; i < c.length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    std::FILE* f = stream_of(bytes);
    uint8_t samples[128];
    std::memset(samples, 0xEE, sizeof samples);
    EXPECT_EQ(stand_read_samples(f, samples), c.delivered) << c.length;
    std::fclose(f);
    for (int t = 0; t < 128; ++t)
      ASSERT_EQ(samples[t], t < c.first_missing ? bytes[1024 + t] : 128) << c.length << " sample " << t;
  }
}

// A level of 128 is all in bin 0; bins 64 and up are never written. The
// imaginary parts a capture leaves are the next capture's imaginary input,
// so the same samples give another spectrum the second time.
TEST(Capture, SpectrumOfTheSamplesWithTheImaginaryPartsCarriedOver) {
  clear();
  std::fill(famp + 64, famp + 128, 9u);
  uint8_t level[128];
  std::fill(level, level + 128, 128);
  stand_spectrum(level);
  EXPECT_EQ(famp[0], 128u);
  for (int k = 1; k < 128; ++k) ASSERT_EQ(famp[k], k < 64 ? 0u : 9u) << k;

  uint8_t tone[128];
  for (int t = 0; t < 128; ++t) tone[t] = static_cast<uint8_t>(128 + 90 * std::sin(2 * M_PI * 2.9 * t / 128));
  clear();
  stand_spectrum(tone);
  const std::string first = spectrum(64);
  const std::vector<uint32_t> amplitudes(famp, famp + 4);
  EXPECT_EQ(amplitudes, (std::vector<uint32_t>{126, 0, 2, 45}));  // the tone at 2.9 bins, amplitude 90
  std::vector<int16_t> carried(fi, fi + 128);
  stand_spectrum(tone);
  EXPECT_NE(spectrum(64), first);
  // The second capture is the transform of the samples with the first's imaginary parts.
  const std::string second = spectrum(64);
  for (int t = 0; t < 128; ++t) fr[t] = tone[t], fi[t] = carried[t];
  fix_fft(7);
  EXPECT_EQ(spectrum(64), second);
}

}  // namespace
