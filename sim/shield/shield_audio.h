// The shield's audio path as the stand's recorder hears it. Models: the 1 kHz
// test tone coming back through the shield as a level offset plus the tone and
// its harmonics up to the sixth, each with its amplitude and phase, by the
// shield's model (number and edition) and the configured fault; unsigned 8-bit
// mono samples at 44100 Hz, from the moment the recorder starts. Leaves out:
// noise, the tone's start and end, and any dependence on whether the tone is
// actually played or the audio lines are switched.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "shield/shield.h"

namespace sim {

inline constexpr int kAudioRate = 44100;
inline constexpr double kToneHz = 1000.0;
// Samples after which the tone and its harmonics repeat: 10 ms, ten cycles.
inline constexpr size_t kTonePeriod = 441;
static_assert(kTonePeriod * kToneHz == 10 * kAudioRate);

// The first `count` samples the recorder gets from this shield.
std::vector<uint8_t> shield_audio(const ShieldState& shield, size_t count);

}  // namespace sim
