#include "SPI.h"

#include <bcm2835.h>

#include <algorithm>
#include <cstdio>

#include "CRC16.h"
#include "firmware.h"

uint8_t Array_tx[8];
uint8_t Array_rx[8];
uint32_t SPI_error;

namespace {

constexpr int kAttempts = 10;

// Byte 1 of each command, by SPI_Command_enum.
constexpr uint8_t kCodes[] = {0x64, 0x65, 0x66, 0x01, 0x04, 0x02, 0x05, 0x06};

// Each byte as "%x " (lower-case hexadecimal without leading zeros), written
// as one line: a 64 KiB image dumps 33 000 of them.
void print_frame(const uint8_t (&frame)[8]) {
  constexpr char kDigits[] = "0123456789abcdef";
  char line[8 * 3 + 1];
  char* end = line;
  for (uint8_t b : frame) {
    if (b >> 4) *end++ = kDigits[b >> 4];
    *end++ = kDigits[b & 0xF];
    *end++ = ' ';
  }
  *end++ = '\n';
  std::fwrite(line, 1, static_cast<size_t>(end - line), stdout);
}

bool reply_valid(uint8_t ControlRead) {
  bool crc_ok = ModRTU_CRC(Array_rx, 6) == (Array_rx[6] << 8 | Array_rx[7]);
  return crc_ok && (ControlRead == 0 || (ControlRead == 1 && Array_rx[2] == 1));
}

}  // namespace

void SPI_WriteCommand(SPI_Command_enum SPI_command, uint8_t FirstByte) {
  Array_tx[0] = FirstByte;
  if (SPI_command >= SPIc_null) return;
  Array_tx[1] = kCodes[SPI_command];
  if (SPI_command != SPIc_Firmware) std::fill(Array_tx + 2, Array_tx + 6, 0);
}

uint8_t SPI_send(SPI_Command_enum SPI_command, uint8_t FirstByte, uint32_t wait_read, uint32_t wait_send,
                 uint8_t ControlRead) {
  SPI_WriteCommand(SPI_command, FirstByte);
  std::printf("\nПосылка:\n");
  uint8_t result = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    uint16_t crc = ModRTU_CRC(Array_tx, 6);
    Array_tx[6] = static_cast<uint8_t>(crc >> 8);
    Array_tx[7] = static_cast<uint8_t>(crc);
    print_frame(Array_tx);
    bcm2835_delay(wait_send);
    for (uint8_t b : Array_tx) bcm2835_spi_transfer(b);
    bcm2835_delay(wait_read);
    for (uint8_t& b : Array_rx) b = bcm2835_spi_transfer(0x00);
    print_frame(Array_rx);
    if (reply_valid(ControlRead)) return result | kReplyValid;
    std::printf("ERROR: Ошибка CRC или ответа посылки\n");
    ++SPI_error;
    result |= kAttemptFailed;
  }
  return result;
}

void SPI_FunctionDo() {
  if (Array_rx[0] != kAddressBootloader) return;
  uint32_t v = uint32_t{Array_rx[2]} << 24 | uint32_t{Array_rx[3]} << 16 | uint32_t{Array_rx[4]} << 8 | Array_rx[5];
  switch (Array_rx[1]) {
    case 0x64:
      f_boot.version = v;
      std::printf("BootloaderVersion: %d\n", static_cast<int>(v));
      break;
    case 0x65:
      std::printf("ShieldVersion: %d\n", static_cast<int>(v));
      break;
    case 0x66:
      std::printf("FirmwareVersion: %d\n", static_cast<int>(v));
      break;
    default:
      break;
  }
}
