// The stand's wiring: which header pin carries which stand line, the start-up
// configuration and the shield's hardware reset pulse.
#pragma once
#include <bcm2835.h>

#include <cstdint>

inline constexpr uint8_t PIN_EK_OUT = RPI_V2_GPIO_P1_03;            // GPIO 2, LOW asserts Ek
inline constexpr uint8_t PIN_SEL0_OUT = RPI_V2_GPIO_P1_05;          // GPIO 3, LOW asserts S0
inline constexpr uint8_t PIN_SEL1_OUT = RPI_V2_GPIO_P1_07;          // GPIO 4, LOW asserts S1
inline constexpr uint8_t PIN_RST = RPI_V2_GPIO_P1_08;               // GPIO 14, shield reset, active LOW
inline constexpr uint8_t PIN_STM_INT = RPI_V2_GPIO_P1_10;           // GPIO 15, start mode; EkS stimulus
inline constexpr uint8_t PIN_BR_IN = RPI_V2_GPIO_P1_11;             // GPIO 17, line relay read-back
inline constexpr uint8_t PIN_DOORDETECTOR_OUT = RPI_V2_GPIO_P1_13;  // GPIO 27, LOW asserts the door input
inline constexpr uint8_t PIN_LN_IMIT = RPI_V2_GPIO_P1_15;           // GPIO 22, IMIT source onto the line
inline constexpr uint8_t PIN_LN_OD = RPI_V2_GPIO_P1_16;             // GPIO 23, OD source onto the line
inline constexpr uint8_t PIN_LN_BR = RPI_V2_GPIO_P1_18;             // GPIO 24, line relay control
inline constexpr uint8_t PIN_REL1_OUT = RPI_V2_GPIO_P1_22;          // GPIO 25
inline constexpr uint8_t PIN_SPI_CS = RPI_V2_GPIO_P1_24;            // GPIO 8, SPI0 CE0
inline constexpr uint8_t PIN_REL1_IN = RPI_V2_GPIO_P1_26;           // GPIO 7, also SPI0 CE1
inline constexpr uint8_t PIN_REL0_IN = RPI_V2_GPIO_P1_29;           // GPIO 5
inline constexpr uint8_t PIN_REL0_OUT = RPI_V2_GPIO_P1_31;          // GPIO 6
inline constexpr uint8_t PIN_REL3_IN = RPI_V2_GPIO_P1_33;           // GPIO 13
inline constexpr uint8_t PIN_REL2_OUT = RPI_V2_GPIO_P1_36;          // GPIO 16
inline constexpr uint8_t PIN_REL3_OUT = RPI_V2_GPIO_P1_37;          // GPIO 26
inline constexpr uint8_t PIN_REL2_IN = RPI_V2_GPIO_P1_40;           // GPIO 21

inline constexpr unsigned _RESET_HOLD_MS = 600;
inline constexpr unsigned _RESET_SETTLE_MS = 200;

void GPIO_init();
void GPIO_reset();
void GPIO_hardReset();
