#include "outputs.h"

#include <bcm2835.h>

#include <cstdio>
#include <iterator>

#include "Stand.h"
#include "check.h"
#include "gpio.h"
#include "recorder.h"
#include "records.h"

namespace {

struct Relay {
  uint8_t out;
  GPIO_Digital stend_signal_st::*readBack;
  error_codes code;
  const char* message;
};

constexpr Relay kRelays[] = {
    {PIN_REL0_OUT, &stend_signal_st::REL0, _ERROR_REL0, "Ошибка работы выхода REL0."},
    {PIN_REL1_OUT, &stend_signal_st::REL1, _ERROR_REL1, "Ошибка работы выхода REL1."},
    {PIN_REL2_OUT, &stend_signal_st::REL2, _ERROR_REL2, "Ошибка работы выхода REL2."},
    {PIN_REL3_OUT, &stend_signal_st::REL3, _ERROR_REL3, "Ошибка работы выхода REL3."},
};
constexpr int kNoRelay = -1;  // the first step switches none on

constexpr unsigned kRelayOnMs = 50;  // before and again after the sample
constexpr unsigned kLineSettleMs = 500;
constexpr unsigned kLineSampleMs = 50;
constexpr unsigned kFinalMs = 50;

void relays_off() {
  for (auto& relay : kRelays) bcm2835_gpio_write(relay.out, LOW);
}

// Steps with none, then each channel on; false when the operator asked to start again.
bool relay_steps() {
  constexpr int kChannels = static_cast<int>(std::size(kRelays));
  for (int on = kNoRelay; on < kChannels; ++on) {
    for (int i = 0; i < kChannels; ++i) bcm2835_gpio_write(kRelays[i].out, i == on ? HIGH : LOW);
    bcm2835_delay(kRelayOnMs);
    stand_ReadSignalPi();
    bcm2835_delay(kRelayOnMs);
    relays_off();  // every channel is off before any comparison or prompt
    for (int i = 0; i < kChannels; ++i) {
      // A read-back is LOW while its channel is on and HIGH while it is off.
      GPIO_Digital failsWhen = i == on ? PIN_HIGH : PIN_LOW;
      record_level(kRelays[i].code, true, stend_signal.*(kRelays[i].readBack), failsWhen);
      if (stend_signal.*(kRelays[i].readBack) != failsWhen) continue;
      if (check_failed(kRelays[i].code, kRelays[i].message)) return false;
    }
  }
  return true;
}

// Off, then on: the line stays at the step's level through the comparison and any prompt.
bool line_relay_steps() {
  for (uint8_t level : {uint8_t{LOW}, uint8_t{HIGH}}) {
    bcm2835_gpio_write(PIN_LN_BR, level);
    bcm2835_delay(kLineSettleMs);
    stand_ReadSignalPi();
    bcm2835_delay(kLineSampleMs);
    GPIO_Digital failsWhen = level == HIGH ? PIN_HIGH : PIN_LOW;
    record_level(_ERROR_BR, true, stend_signal.BR, failsWhen);
    if (stend_signal.BR == failsWhen && check_failed(_ERROR_BR, "Ошибка работы реле на Line.")) return false;
  }
  return true;
}

}  // namespace

void menu_block_REL() {
  do std::printf("Идет проверка REL. Ожидайте...\n");
  while (!relay_steps());
  bcm2835_delay(kFinalMs);  // the last step has left every channel off
}

void menu_block_BR() {
  do std::printf("Идет проверка реле line. Ожидайте...\n");
  while (!line_relay_steps());
  bcm2835_gpio_write(PIN_LN_BR, LOW);
  bcm2835_delay(kFinalMs);
}
