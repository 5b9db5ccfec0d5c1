#include "audio_capture.h"

#include <bcm2835.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>

#include "exit_codes.h"
#include "fft.h"

namespace {

constexpr const char* kNoAudioFiles = "Error: Отсутствую файлы для проверки аудио\n";

// popen starts the shell, which succeeds even when the program is missing;
// the shell then exits with 127 (not found) or 126 (not executable).
bool shell_could_not_start(int status) {
  return status == -1 || (WIFEXITED(status) && (WEXITSTATUS(status) == 127 || WEXITSTATUS(status) == 126));
}

std::FILE* start(const char* command) {
  std::fflush(stdout);  // what was printed stays ahead of what the tool prints
  return popen(command, "r");
}

}  // namespace

int stand_read_samples(std::FILE* recorder, uint8_t* samples) {
  int delivered = 0;
  for (; delivered < _AUDIO_SKIP && std::getc(recorder) != EOF; ++delivered) {
  }
  for (int t = 0; t < _AUDIO_SAMPLES; ++t) {
    int c = delivered == _AUDIO_SKIP + t ? std::getc(recorder) : EOF;
    if (c != EOF) ++delivered;
    samples[t] = c == EOF ? _AUDIO_SAMPLE_MISSING : static_cast<uint8_t>(c);
  }
  return delivered;
}

void stand_spectrum(const uint8_t* samples) {
  for (int t = 0; t < _AUDIO_SAMPLES; ++t) fr[t] = samples[t];
  fix_fft(FFT_NUMB_POINT_SHIFT);
  for (int k = 0; k < 1 << FFT_NUMB_POINT_SHIFT_D2; ++k) {
    int32_t power = int32_t{fr[k]} * fr[k] + int32_t{fi[k]} * fi[k];
    famp[k] = static_cast<uint32_t>(std::sqrt(static_cast<double>(power)));
  }
}

void stand_read_sinus() {
  std::FILE* player = start(_AUDIO_PLAYER);
  if (!player) std::printf("%s", kNoAudioFiles);
  bcm2835_delay(_AUDIO_PLAY_LEAD_MS);
  std::FILE* recorder = start(_AUDIO_RECORDER);
  uint8_t samples[_AUDIO_SAMPLES];
  const int delivered = recorder ? stand_read_samples(recorder, samples) : 0;
  if (!recorder || shell_could_not_start(pclose(recorder)) || delivered == 0) {
    std::printf("%s", kNoAudioFiles);
    std::exit(EXIT_STAND_DONE);
  }
  if (player && shell_could_not_start(pclose(player))) std::printf("%s", kNoAudioFiles);
  stand_spectrum(samples);
}
