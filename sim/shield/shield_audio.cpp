#include "shield/shield_audio.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

constexpr int kHarmonics = 6;

// A shield model's audio path: level offset, then amplitude and phase (radians
// at the recorder's first sample) of the tone (h = 1) and its harmonics.
struct AudioPath {
  double level;
  double amplitude[kHarmonics];
  double phase[kHarmonics];
};

// Fitted against the stand's own measurement (the samples it takes from each
// recording, ten transforms with the imaginary parts carried over, averaged)
// so that the measured spectrum lies at the middle of each model's reference:
// a clean tone on the general 26, a quiet one with strong harmonics on the
// Kordent 26, a loud and rich one on the 27.
constexpr AudioPath kGeneral26 = {
    127.81, {87.35, 4.38, 1.45, 3.45, 2.95, 0.69}, {0.490, 0.330, 0.395, 6.064, 6.276, 0.512}};
constexpr AudioPath kKordent26 = {
    123.72, {15.52, 14.45, 9.19, 5.56, 1.59, 0.0}, {0.091, 5.383, 6.081, 5.826, 0.614, 1.418}};
constexpr AudioPath kModel27 = {
    140.98, {92.62, 64.58, 22.60, 8.14, 17.37, 10.09}, {4.578, 6.026, 0.491, 5.835, 6.019, 1.524}};

// What the stand hears when the path is dead: the recorder's silence.
constexpr double kSilence = 128.0;
constexpr double kWeakGain = 0.3;    // a weak path: about 10 dB down
constexpr double kClipShare = 0.35;  // a distorting path: clipped at this share of the tone's amplitude

const AudioPath& model_path(const ShieldState& s) {
  if (s.number == 27) return kModel27;
  return s.edition == Edition::kordent ? kKordent26 : kGeneral26;
}

}  // namespace

std::vector<uint8_t> shield_audio(const ShieldState& shield, size_t count) {
  const AudioPath& path = model_path(shield);
  const double gain = shield.audio == AudioFault::weak ? kWeakGain : 1.0;
  const double clip = shield.audio == AudioFault::distorted ? kClipShare * path.amplitude[0] : 1e9;
  // One period is synthesised and then copied: the same bytes as synthesising
  // every sample (none of any model lies near a rounding step), for a 500th of
  // the work.
  std::vector<uint8_t> samples(count);
  for (size_t n = 0; n < std::min(count, kTonePeriod); ++n) {
    double tone = 0;
    for (int h = 0; h < kHarmonics; ++h)
      tone += path.amplitude[h] * std::cos(2 * M_PI * (h + 1) * kToneHz * double(n) / kAudioRate + path.phase[h]);
    double v = shield.audio == AudioFault::dead ? kSilence : path.level + std::clamp(gain * tone, -clip, clip);
    samples[n] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
  }
  for (size_t done = kTonePeriod; done < count; done *= 2)  // whole periods, doubling
    std::copy_n(samples.begin(), std::min(done, count - done), samples.begin() + static_cast<ptrdiff_t>(done));
  return samples;
}

}  // namespace sim
