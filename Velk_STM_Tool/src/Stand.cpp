#include "Stand.h"

#include <bcm2835.h>

#include "gpio.h"
#include "link_codes.h"
#include "records.h"
#include "spi.h"

namespace {

GPIO_Digital bit(uint8_t byte, uint8_t position) { return (byte >> position) & 1 ? PIN_HIGH : PIN_LOW; }

GPIO_Digital sample(uint8_t pin) { return bcm2835_gpio_lev(pin) == HIGH ? PIN_HIGH : PIN_LOW; }

}  // namespace

void stand_ReadSignalShield_DI() { SPI_command_queue(_FUNC_DI, {0, 0, 0, 0}, SPI_TypeSend_ReadFunction); }

void stand_ReadSignalShield_AI() { SPI_command_queue(_FUNC_AI, {0, 0, 0, 0}, SPI_TypeSend_ReadFunction); }

void stand_parser(uint8_t function, const uint8_t* reply) {
  switch (function) {
    case _FUNC_DI:
      stend_signal.Ek = bit(reply[_BYTE_DI_0], _BIT_EK);
      stend_signal.S0 = bit(reply[_BYTE_DI_0], _BIT_S0);
      stend_signal.S1 = bit(reply[_BYTE_DI_0], _BIT_S1);
      stend_signal.EkS = bit(reply[_BYTE_DI_0], _BIT_EKS);
      stend_signal.DoorDetector = bit(reply[_BYTE_DI_1], _BIT_OPENDETECTED);
      ++linkEvents.repliesDI;
      menuSt.functionRead = _FUNC_DI;
      break;
    case _FUNC_AI:
      stend_signal.Line = static_cast<uint16_t>(reply[4] << 8 | reply[5]);
      ++linkEvents.repliesAI;
      menuSt.functionRead = _FUNC_AI;
      break;
    default:
      break;
  }
}

void stand_ReadSignalPi() {
  stend_signal.REL0 = sample(PIN_REL0_IN);
  stend_signal.REL1 = sample(PIN_REL1_IN);
  stend_signal.REL2 = sample(PIN_REL2_IN);
  stend_signal.REL3 = sample(PIN_REL3_IN);
  stend_signal.BR = sample(PIN_BR_IN);
}
