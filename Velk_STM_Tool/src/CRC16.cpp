#include "CRC16.h"

uint16_t ModRTU_CRC(const uint8_t* buf, uint16_t len) {
  uint16_t crc = 0xFFFF;
  for (uint16_t pos = 0; pos < len; ++pos) {
    crc ^= buf[pos];
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

void ModRTU_CRC_Wrap(uint8_t* buf, uint16_t len) {
  if (len <= 2) return;
  uint16_t crc = ModRTU_CRC(buf, static_cast<uint16_t>(len - 2));
  buf[len - 2] = static_cast<uint8_t>(crc >> 8);
  buf[len - 1] = static_cast<uint8_t>(crc);
}

uint8_t ModRTU_CRC_True(const uint8_t* buf, uint16_t len) {
  if (len < 2) return 0;  // no room for a checksum: never valid
  uint16_t received = static_cast<uint16_t>(buf[len - 2] << 8 | buf[len - 1]);
  return received == ModRTU_CRC(buf, static_cast<uint16_t>(len - 2)) ? 1 : 0;
}
