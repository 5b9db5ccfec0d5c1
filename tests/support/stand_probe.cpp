// A small program on the simulated stand, for tests of what several programs
// share: it runs its arguments as steps and prints what each found, with the
// stand time.
//   reset            pulse the shield's reset (it boots what its state holds)
//   number N         ask the shield to keep number N
//   read             ask the shield for its number
//   wait MS          let MS of stand time pass
//   high GPIO        make GPIO an output and drive it HIGH
//   run COMMAND      run COMMAND through the shell and wait for it
//   upgrade          the stand program's update of the shield through the flasher
#include <bcm2835.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CRC16.h"
#include "bcm2835_ext.h"
#include "time/clock.h"
#include "flashing.h"
#include "gpio.h"

namespace {

uint8_t exchange(uint8_t code, uint8_t data) {
  std::array<uint8_t, 8> frame = {0xA1, code, data, 0, 0, 0, 0, 0}, reply{};
  ModRTU_CRC_Wrap(frame.data(), 8);
  bcm2835_spi_transfer_write(frame.data(), 8);
  bcm2835_delay(200);
  bcm2835_spi_transfer_read(reply.data(), 8);
  return reply[5];
}

}  // namespace

int main(int argc, char** argv) {
  if (!bcm2835_init() || !bcm2835_spi_begin()) return 2;
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);
  bcm2835_gpio_fsel(PIN_RST, BCM2835_GPIO_FSEL_OUTP);
  bcm2835_gpio_fsel(PIN_STM_INT, BCM2835_GPIO_FSEL_OUTP);
  for (int i = 1; i < argc; ++i) {
    std::string step = argv[i];
    std::string arg = i + 1 < argc ? argv[i + 1] : "";
    auto n = static_cast<uint8_t>(std::atoi(arg.c_str()));
    if (step == "reset") GPIO_hardReset();
    if (step == "number") exchange(0x14, n);
    if (step == "read") std::printf("number %u\n", exchange(0x02, 0xEF));
    if (step == "wait") bcm2835_delay(static_cast<unsigned>(std::atoi(arg.c_str())));
    if (step == "high") bcm2835_gpio_fsel(n, BCM2835_GPIO_FSEL_OUTP), bcm2835_gpio_write(n, HIGH);
    if (step == "run") std::fflush(stdout), pclose(popen(arg.c_str(), "w"));
    if (step == "upgrade") menu_block_FirmwareUpgrade(), std::printf("\n");
    if (step != "reset" && step != "read" && step != "upgrade") ++i;
    std::printf("%s at %.1f ms\n", step.c_str(), static_cast<double>(sim::clock_now()) / 1000.0);
  }
}
