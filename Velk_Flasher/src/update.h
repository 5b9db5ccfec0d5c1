// The flasher's update sequence: set-up, the shield's reset into a chosen
// start mode, and the fifteen steps that replace the bootloader (through the
// trojan) when it is outdated and then the firmware. The exit status tells
// which step failed; 5 is success.
#pragma once
#include <bcm2835.h>

#include <cstdint>

inline constexpr uint8_t PIN_RST = RPI_V2_GPIO_P1_08;      // GPIO 14: low holds the shield in reset
inline constexpr uint8_t PIN_STM_INT = RPI_V2_GPIO_P1_10;  // GPIO 15: start mode at reset release, 1 = bootloader
inline constexpr uint8_t PIN_SPI_CS = RPI_V2_GPIO_P1_24;   // GPIO 8: SPI0 CE0, driven by the controller
inline constexpr uint32_t FLASH_SIZE = 64 * 1024;

// Exit statuses beyond the steps' own.
inline constexpr int kExitSuccess = 5;
inline constexpr int kExitNoArgument = 4;
inline constexpr int kExitNoFile = 3;
// The peripherals cannot be reached (not root, no /dev/mem): a failure for the
// stand program, and no status of a step.
inline constexpr int kExitNoPeripherals = 15;

extern char BootLoaderUpdate;  // the policy character; 0 when not given
extern uint8_t Contr;          // result bits of the latest presence test

// Sets up the library, the two control lines (the shield held in reset) and
// SPI0. False, with a message and nothing touched, when the peripherals
// cannot be reached.
bool init();

// Resets the shield and releases it with PIN_STM_INT at `pin_boot`: 4010 ms.
void ResetController(uint8_t pin_boot);

// Whether the running bootloader of `version` is replaced, by the policy.
bool bootloader_replaced(char policy, uint32_t version);

// The whole run; returns the exit status.
int flasher_main(int argc, char** argv);
