#include "audio_capture.h"

#include <bcm2835.h>

#include <cmath>
#include <cstdlib>

#include "child.h"
#include "exit_codes.h"
#include "recorder.h"
#include "fft.h"

namespace {

constexpr const char* kNoAudioFiles = "Error: Отсутствую файлы для проверки аудио\n";

// The shell starts even when the tool is missing; it then says so by its status.
bool could_not_start(ShellCommand& tool) { return child_end(tool.wait()).not_started; }

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
  ShellCommand player(_AUDIO_PLAYER, ShellCommand::Pipe::from_child);
  if (!player.started()) std::printf("%s", kNoAudioFiles);
  bcm2835_delay(_AUDIO_PLAY_LEAD_MS);
  ShellCommand recorder(_AUDIO_RECORDER, ShellCommand::Pipe::from_child);
  uint8_t samples[_AUDIO_SAMPLES];
  const int delivered = recorder.started() ? stand_read_samples(recorder.stream(), samples) : 0;
  if (could_not_start(recorder) || delivered == 0) {
    record_stopping(pass_end::recorder_missing);
    std::printf("%s", kNoAudioFiles);
    std::exit(EXIT_STAND_DONE);
  }
  if (player.started() && could_not_start(player)) std::printf("%s", kNoAudioFiles);
  stand_spectrum(samples);
}
