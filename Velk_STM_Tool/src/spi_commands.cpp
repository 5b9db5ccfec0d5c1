#include <algorithm>
#include <atomic>

#include "Buffer.h"
#include "CRC16.h"
#include "Stand.h"
#include "link_codes.h"
#include "records.h"
#include "spi.h"

namespace {

// Bad checksums over the whole run; every maxRepeat-th marks the link failed.
uint8_t SPI_mumbRepeat = 0;

uint32_t be32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

void take_id_word(const uint8_t* reply, int word) {
  shieldSt.id[word] = be32(reply + 2);
  shieldSt.idAnswered[word] = true;
}

// Acts on a reply whose checksum and address are right.
void act_on_reply(const uint8_t* reply) {
  switch (reply[1]) {
    case _FUNC_SHIELDREAD:
      shieldSt.firmware = static_cast<uint16_t>(reply[3] << 8 | reply[4]);
      shieldSt.shield = reply[5];
      menuSt.functionRead = _FUNC_SHIELDREAD;
      break;
    case _FUNC_SHIELDWRITE:
      menuSt.functionRead = _FUNC_SHIELDWRITE;
      break;
    case _FUNC_IDREAD_1:
    case _FUNC_IDREAD_2:
    case _FUNC_IDREAD_3:
      take_id_word(reply, reply[1] - _FUNC_IDREAD_1);
      menuSt.functionRead = reply[1];
      break;
    case _FUNC_PLEASEREPEAT:
      SPI_command_Last();
      break;
    default:
      break;
  }
}

}  // namespace

void SPI_command_queue(uint8_t function, const uint8_t (&data)[4], uint8_t sendType) {
  buffer_compose(&bufferSPI_MOSI, [&](uint8_t* write) {
    write[0] = _SPI_ADDRESS;
    write[1] = function;
    for (int i = 0; i < 4; ++i) write[2 + i] = data[i];
    ModRTU_CRC_Wrap(write, _FRAME_BYTES);
    write[_FRAME_SENDTYPE] = sendType;
  });
}

void SPI_command_ShieldRead() { SPI_command_queue(_FUNC_SHIELDREAD, {0xEF, 0, 0, 0}, SPI_TypeSend_ReadFunction); }

void SPI_command_ShieldWrite(uint8_t version) {
  SPI_command_queue(_FUNC_SHIELDWRITE, {version, 0, 0, 0}, SPI_TypeSend_ReadFunction);
}

void SPI_command_IdRead_1() { SPI_command_queue(_FUNC_IDREAD_1, {0, 0, 0, 0}, SPI_TypeSend_ReadFunction); }
void SPI_command_IdRead_2() { SPI_command_queue(_FUNC_IDREAD_2, {0, 0, 0, 0}, SPI_TypeSend_ReadFunction); }
void SPI_command_IdRead_3() { SPI_command_queue(_FUNC_IDREAD_3, {0, 0, 0, 0}, SPI_TypeSend_ReadFunction); }

void SPI_command_PleaseRepeat() { SPI_command_queue(_FUNC_PLEASEREPEAT, {0, 0, 0, 0}, SPI_TypeSend_NoneControl); }

void SPI_command_Last() {
  buffer_compose(&bufferSPI_MOSI, [](uint8_t* write) { std::copy_n(bufferSPI_MOSI.backup, _BUFFER_ELEMENTS, write); });
}

void SPI_parser() {
  uint8_t reply[_BUFFER_ELEMENTS];
  {
    std::lock_guard guard(bufferSPI_MISO.lock);
    if (!buffer_read(&bufferSPI_MISO)) return;
    std::copy_n(bufferSPI_MISO.read, _BUFFER_ELEMENTS, reply);
  }
  if (!ModRTU_CRC_True(reply, _FRAME_BYTES)) {
    if (++SPI_mumbRepeat < SPI_str.maxRepeat) {
      SPI_command_Last();
    } else {
      SPI_mumbRepeat = 0;
      menuSt.functionRead = _FUNCTIONREAD_LINKFAILED;
      ++linkEvents.failures;
    }
    return;
  }
  if (reply[0] != _SPI_ADDRESS) return;  // not ours: ignored, not counted
  act_on_reply(reply);
  stand_parser(reply[1], reply);
}
