#include "stand/stand_audio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "shield/shield_audio.h"
#include "stand/stand_files.h"

namespace sim {
namespace {

constexpr int kToneSeconds = 5;
// The tone file holds whole periods.
static_assert(kAudioRate * kToneSeconds % kTonePeriod == 0);
constexpr double kToneLevel = 0.5;  // of full scale

std::string quoted(const std::string& path) {
  std::string out = "\"";
  for (char c : path) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string config_text(const std::string& dir) {
  return "# The simulated stand's ALSA configuration, written by the stand (ALSA_CONFIG_PATH names it).\n"
         "# Capture device lp: the shield's audio from " +
         std::string(kShieldAudio) +
         "; playback: discarded.\n"
         "pcm.!default { type null }\n"
         "pcm.lp {\n  type file\n  slave.pcm { type null }\n  file \"/dev/null\"\n  infile " +
         quoted(dir + "/" + kShieldAudio) + "\n  format \"raw\"\n}\n";
}

void put_le(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A 16-bit mono WAV file of the 1 kHz tone.
std::string tone_wav() {
  const uint32_t samples = kAudioRate * kToneSeconds, data = samples * 2;
  std::string out = "RIFF";
  put_le(out, 36 + data, 4);
  out += "WAVEfmt ";
  put_le(out, 16, 4);
  put_le(out, 1, 2);  // PCM
  put_le(out, 1, 2);  // mono
  put_le(out, kAudioRate, 4);
  put_le(out, kAudioRate * 2, 4);
  put_le(out, 2, 2);
  put_le(out, 16, 2);
  out += "data";
  put_le(out, data, 4);
  // One period synthesised, then copied: the same bytes, for a 500th of the work.
  std::string period;
  for (uint32_t n = 0; n < kTonePeriod; ++n) {
    double v = kToneLevel * 32767 * std::sin(2 * M_PI * kToneHz * n / kAudioRate);
    put_le(period, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v))), 2);
  }
  for (uint32_t n = 0; n < samples; n += kTonePeriod) out += period;
  return out;
}

// The regular file at `path` (not a link) holds exactly `bytes`.
bool holds(const std::string& path, std::string_view bytes) {
  UniqueFd in{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
  struct stat info;
  std::string text;
  // One byte more than expected: a file grown meanwhile reads longer.
  return in.fd >= 0 && ::fstat(in.fd, &info) == 0 && S_ISREG(info.st_mode) &&
         static_cast<size_t>(info.st_size) == bytes.size() && stand_file_read(in.fd, text, bytes.size() + 1) &&
         text == bytes;
}

// The player and the recorder start ten times a pass with the same files:
// they are written only when they change.
bool write_changed(const std::string& path, std::string_view bytes, std::string& error) {
  return holds(path, bytes) || stand_file_write(path, bytes, error);
}

bool starts_with_word(const char* command, std::string_view word) {
  std::string_view c(command);
  return c.starts_with(word) && (c.size() == word.size() || c[word.size()] == ' ');
}

pid_t playing = 0;  // the player started last, until the recorder's start; 0: none

bool is_player(const char* command) { return command && starts_with_word(command, "aplay"); }
bool is_recorder(const char* command) { return command && starts_with_word(command, "arecord"); }

// Waits for the player's end without collecting its status (its owner does
// that); true when it played the tone to its end.
bool wait_for_player() {
  siginfo_t info{};
  int waited = -1;
  if (playing > 0)
    while ((waited = ::waitid(P_PID, static_cast<id_t>(playing), &info, WEXITED | WNOWAIT)) != 0 && errno == EINTR) {
    }
  playing = 0;
  return waited == 0 && info.si_code == CLD_EXITED && info.si_status == 0;
}

}  // namespace

bool stand_audio_prepare(const std::string& dir, const ShieldState& shield, std::string& error) {
  const std::string config = dir + "/" + kAlsaConfig, tone = dir + "/" + kToneFile;
  struct stat info;
  if (!write_changed(config, config_text(dir), error)) return false;
  if (::stat(tone.c_str(), &info) != 0 && !stand_file_write(tone, tone_wav(), error)) return false;
  auto audio = shield_audio(shield, kAudioRate * kToneSeconds);
  if (!write_changed(dir + "/" + kShieldAudio, {reinterpret_cast<const char*>(audio.data()), audio.size()}, error))
    return false;
  // ALSA splits its configuration path at blanks and colons: such a directory
  // is named relative to the tools' working directory, which is `dir`.
  bool splits = config.find_first_of(": ") != std::string::npos;
  ::setenv("ALSA_CONFIG_PATH", splits ? kAlsaConfig : config.c_str(), 1);
  return true;
}

void stand_audio_started(const char* command, pid_t pid) {
  if (is_player(command)) playing = pid;
}

void stand_audio_before_command(const char* command) {
  if (!is_player(command) && !is_recorder(command)) return;
  ShieldState shield = shield_state();
  if (is_recorder(command) && !wait_for_player()) shield.audio = AudioFault::dead;  // no tone went in
  char dir[PATH_MAX];
  std::string error = "cannot tell the working directory";
  if (::getcwd(dir, sizeof dir) && stand_audio_prepare(dir, shield, error)) return;
  std::fprintf(stderr, "simulated stand: the audio tools cannot be prepared: %s\n", error.c_str());
}

}  // namespace sim
