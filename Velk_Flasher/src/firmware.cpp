#include "firmware.h"

#include <algorithm>

#include "SPI.h"

firmware_st f_trojan;
firmware_st f_boot;
firmware_st f_firmware;

uint8_t firmware_send(firmware_st* firmware, uint8_t FirstByte) {
  FILE* file = firmware->name;
  // The end-of-file indicator is set by the read that finds no more data, so
  // a file of S bytes goes out in S / 4 + 1 frames, the last one padded.
  while (!std::feof(file)) {
    uint8_t buffer_file[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    std::printf("Считывание файла\n");
    for (uint8_t& b : buffer_file) b = static_cast<uint8_t>(std::fgetc(file));
    // A read error never sets the end-of-file indicator: the loop would spin
    // on it, sending 0xFF words that are not in the image.
    if (std::ferror(file)) {
      std::printf("Ошибка чтения файла\n");
      return 0;
    }
    std::copy(buffer_file, buffer_file + 4, Array_tx + 2);
    if (SPI_send(SPIc_Firmware, FirstByte, 1, 1, 1) & kAttemptFailed) {
      std::printf("Ошибка передачи файла\n");
      return 0;
    }
  }
  std::printf("Конец файла\n");
  return 1;
}
