#include "gpio.h"

namespace {

constexpr uint8_t kOutputs[] = {
    PIN_LN_BR,    PIN_LN_OD,  PIN_LN_IMIT, PIN_RST,    PIN_REL0_OUT, PIN_REL1_OUT, PIN_REL2_OUT,
    PIN_REL3_OUT, PIN_SPI_CS, PIN_STM_INT, PIN_EK_OUT, PIN_SEL0_OUT, PIN_SEL1_OUT, PIN_DOORDETECTOR_OUT,
};
constexpr uint8_t kInputs[] = {PIN_REL0_IN, PIN_REL1_IN, PIN_REL2_IN, PIN_REL3_IN, PIN_BR_IN};

// The shield inputs (Ek, S0, S1, door) and the chip select are left alone.
constexpr uint8_t kDrivenLowAtReset[] = {
    PIN_LN_BR, PIN_LN_OD, PIN_LN_IMIT, PIN_RST, PIN_REL0_OUT, PIN_REL1_OUT, PIN_REL2_OUT, PIN_REL3_OUT, PIN_STM_INT,
};

}  // namespace

void GPIO_init() {
  for (auto pin : kOutputs) bcm2835_gpio_fsel(pin, BCM2835_GPIO_FSEL_OUTP);
  for (auto pin : kInputs) bcm2835_gpio_fsel(pin, BCM2835_GPIO_FSEL_INPT);
  GPIO_reset();
}

void GPIO_reset() {
  for (auto pin : kDrivenLowAtReset) bcm2835_gpio_write(pin, LOW);
}

void GPIO_hardReset() {
  bcm2835_gpio_write(PIN_STM_INT, LOW);  // released LOW, the shield starts its firmware
  bcm2835_gpio_write(PIN_RST, LOW);
  bcm2835_delay(_RESET_HOLD_MS);
  bcm2835_gpio_write(PIN_RST, HIGH);
  bcm2835_delay(_RESET_SETTLE_MS);
}
