#include "startup.h"

#include <bcm2835.h>
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "exit_codes.h"
#include "gpio.h"
#include "records.h"
#include "spi.h"

void stand_startup(int argc, char** argv) {
  std::printf("Версия: %s\n\n", _VERSION);
  if (argc > 1 && std::strcmp(argv[1], "-harmonic") == 0) {
    menu_flag_settings |= 1u << FLAGSET_HARMONICREAD;
    std::printf("Запуск в режиме считывания гармоник.\n");
  }
  std::fflush(stdout);  // what the library says on failure comes after what was printed
  if (!bcm2835_init()) {
    // The library has said why; no line may be touched now.
    std::printf("Ошибка: нет доступа к периферии Raspberry Pi (требуются права root).\n");
    std::exit(EXIT_NO_PERIPHERALS);
  }
  GPIO_init();
  GPIO_hardReset();
  SPI_init();
  // The SPI start-up claimed GPIO 7 as its second chip select; the stand reads REL1 there.
  bcm2835_gpio_fsel(PIN_REL1_IN, BCM2835_GPIO_FSEL_INPT);
  if (pthread_create(&spiPthread, nullptr, SPI_th_TxRx, nullptr) != 0) {
    std::printf("Ошибка: не удалось запустить поток обмена с шилдом.\n");
    std::exit(EXIT_NO_LINK_THREAD);
  }
}
