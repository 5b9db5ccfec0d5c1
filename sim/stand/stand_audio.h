// The audio tools on a simulated stand. Models: what the real ALSA tools
// (aplay, arecord) need to run in a stand's working directory without a sound
// card: an ALSA configuration (asound.conf) whose capture device "lp" reads the
// shield's audio from a file (shield.audio, unsigned 8-bit mono at 44100 Hz) and
// whose default playback device discards what it is given; the test tone file;
// and ALSA_CONFIG_PATH naming that configuration, so the user's own ALSA
// configuration is never read or touched. A recording with no tone played
// before it (the player missing or failed) hears the shield's path silent.
// Leaves out: the pace of playing and recording (the null devices take no
// time, so a capture lasts only the stand program's own wait), and any other
// link between what is played and what is recorded.
#pragma once
#include <sys/types.h>

#include <string>

#include "shield/shield.h"

namespace sim {

inline constexpr const char* kAlsaConfig = "asound.conf";
inline constexpr const char* kShieldAudio = "shield.audio";
inline constexpr const char* kToneFile = "1kHz_44100Hz_16bit_05sec.wav";

// Prepares `dir` for the audio tools with the audio of `shield`: the
// configuration, the tone file when it is missing, and the shield's audio (as
// much as a tone lasts), each written whole; sets ALSA_CONFIG_PATH in this
// process's environment for the programs it starts. False with `error` when a
// file cannot be written.
bool stand_audio_prepare(const std::string& dir, const ShieldState& shield, std::string& error);

// Before the stand starts a program: a command that starts aplay or arecord
// gets the working directory prepared with the shield's audio as it is now
// (for arecord: silence unless the player before it ended well).
// A directory that cannot be prepared is reported on standard error; the
// tool then fails as it would on a stand without its files.
void stand_audio_before_command(const char* command);

// After the stand started a program. The player's and the recorder's messages
// go to the same standard error at once: on the simulated stand the recorder
// starts only once the player has ended (into the null device it takes no
// time), so the two come in the same order on every run.
void stand_audio_started(const char* command, pid_t pid);

}  // namespace sim
