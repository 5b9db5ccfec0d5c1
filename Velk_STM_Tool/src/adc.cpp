#include "adc.h"

#include <bcm2835.h>

#include <cstdio>

#include "check.h"
#include "gpio.h"
#include "recorder.h"
#include "records.h"

namespace {

constexpr unsigned kSwitchMs = 50;
constexpr unsigned kSourceSettleMs = 1000;
constexpr unsigned kOdOffMs = 100;

struct Reading {
  uint16_t stand_adc_st::*nominal;
  const char* shown;  // printf format of the value
  error_codes code;
  const char* message;
};

constexpr Reading kBR{&stand_adc_st::BR, "Значение BR ADC: %d\n", _ERROR_ADC_BR, "Ошибка работы АЦП."};
constexpr Reading kIMIT{&stand_adc_st::IMIT, "Значение IMIT ADC: %d\n", _ERROR_ADC_IMIT,
                        "Ошибка работы АЦП или транзистора IMIT."};
constexpr Reading kOD{&stand_adc_st::OD, "Значение OD ADC: %d\n", _ERROR_ADC_OD,
                      "Ошибка работы АЦП или транзистора OD."};

void switch_on(uint8_t pin) {
  bcm2835_gpio_write(pin, HIGH);
  bcm2835_delay(kSwitchMs);
  bcm2835_delay(kSourceSettleMs);
}

// Asks for the line's value, shows it, judges it; true when the operator asked to start again.
bool read_and_judge(const Reading& r) {
  bool answered = check_askAI();
  uint16_t value = stend_signal.Line;
  std::printf(r.shown, value);
  record_reading(r.code, answered, value, stand_ADC.*(r.nominal));
  // No reply to this request fails like a wrong value: Line still holds an older reading.
  if (answered && adc_readingOk(value, stand_ADC.*(r.nominal))) return false;
  return check_failed(r.code, r.message);
}

// The three readings; false when the operator asked to start again.
bool readings() {
  bcm2835_gpio_write(PIN_LN_OD, LOW);
  bcm2835_gpio_write(PIN_LN_IMIT, LOW);
  bcm2835_delay(kSwitchMs);
  switch_on(PIN_LN_BR);
  if (read_and_judge(kBR)) return false;
  switch_on(PIN_LN_IMIT);  // the line relay stays on
  if (read_and_judge(kIMIT)) return false;
  bcm2835_gpio_write(PIN_LN_IMIT, LOW);
  bcm2835_delay(kSwitchMs);
  switch_on(PIN_LN_OD);
  return !read_and_judge(kOD);
}

}  // namespace

void menu_block_ADC() {
  do std::printf("Идет проверка реле АЦП. Ожидайте...\n");
  while (!readings());
  bcm2835_gpio_write(PIN_LN_OD, LOW);
  bcm2835_delay(kOdOffMs);
  bcm2835_gpio_write(PIN_LN_BR, LOW);
  bcm2835_delay(kSwitchMs);
}
