#include "audio.h"

#include <bcm2835.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "Harmonic.h"
#include "HarmonicInit.h"
#include "VariableAverage.h"
#include "audio_capture.h"
#include "fft.h"
#include "gpio.h"
#include "prompts.h"
#include "recorder.h"
#include "records.h"
#include "spectrum_svg.h"

namespace {

constexpr unsigned kLineSettleMs = 50;
constexpr uint8_t kBins = 1 << FFT_NUMB_POINT_SHIFT_D2;
constexpr const char* kAudioFailed = "Ошибка работы звукового тракта.";

// Ten captures averaged into famp_average, with the audio lines raised. Each
// capture carries the imaginary parts the one before left; a measurement
// starts them from zero, so the same audio always measures the same.
void measure(const char* wait_message) {
  std::fill(std::begin(fi), std::end(fi), 0);
  bcm2835_gpio_write(PIN_LN_BR, HIGH);
  bcm2835_delay(kLineSettleMs);
  std::printf("%s\n", wait_message);
  bcm2835_gpio_write(PIN_LN_BR, HIGH);
  bcm2835_gpio_write(PIN_LN_OD, HIGH);
  bcm2835_delay(kLineSettleMs);
  for (int c = 1; c <= _AUDIO_CAPTURES; ++c) {
    std::printf("\nСчитывание звука %d/10\n", c);
    stand_read_sinus();
    variable_sum(kBins, famp, famp_sum);
  }
  variable_average(kBins, _AUDIO_CAPTURES, famp_sum, famp_average);
  std::printf("\n\nАмплитуды гармоник:\n");
  for (int b = 0; b < _NUMB_DETECT_HARMONIC; ++b) std::printf("%d: - %u\n", b, famp_average[b]);
}

void lines_low() {
  bcm2835_gpio_write(PIN_LN_BR, LOW);
  bcm2835_gpio_write(PIN_LN_OD, LOW);
  bcm2835_delay(kLineSettleMs);
}

void draw(const harmonic_st* reference) {
  const char* edition = shieldSt.type == TYPESGIELD_KORDENT ? "Kordent Edition" : "общий";
  spectrum_svg_write(_SPECTRUM_SVG, famp_average, reference,
                     "Спектр звукового тракта: шилд " + std::to_string(shieldSt.shield) + ", " + edition);
}

}  // namespace

void menu_block_AudioTest() {
  for (;;) {
    if (harmonic_main_init() != 0) {
      error_set(_ERROR_AUDIO);
      if (warning_continue_break_repeat(kAudioFailed) == 1) continue;
      return;
    }
    measure("Идет проверка звукового тракта. Ожидайте...");
    draw(&harmonic);
    record_spectrum(famp_average, &harmonic, true);
    std::printf("\n");
    if (harmonic_comparison(famp_average) == 0) break;
    error_set(_ERROR_AUDIO);
    if (warning_continue_break_repeat(kAudioFailed) != 1) break;
  }
  lines_low();
}

void menu_block_HarmonicRead() {
  measure("Идет считывание гармоник. Ожидайте...");
  draw(harmonic_find(shieldSt.shield, shieldSt.type));
  record_spectrum(famp_average, harmonic_find(shieldSt.shield, shieldSt.type), false);
  lines_low();
}
