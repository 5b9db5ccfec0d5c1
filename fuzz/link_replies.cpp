// The shield link's requests and reply parser, in any order, against any frame
// a shield may send: a reply that fails its checksum, is not addressed to the
// stand or has an unknown code never changes what the stand knows of the
// shield, an accepted one leaves its own code as the reply code, and every
// frame queued for sending is a well-formed request.
#include <array>
#include <cstring>

#include "Buffer.h"
#include "CRC16.h"
#include "Stand.h"
#include "fuzz.h"
#include "link_codes.h"
#include "records.h"
#include "spi.h"

namespace {

std::array<uint32_t, 13> known() {
  return {shieldSt.firmware, shieldSt.shield,      shieldSt.id[0],      shieldSt.id[1],   shieldSt.id[2],
          stend_signal.Ek,   stend_signal.S0,      stend_signal.S1,     stend_signal.EkS, stend_signal.DoorDetector,
          stend_signal.Line, linkEvents.repliesDI, linkEvents.repliesAI};
}

int ready(const buffer_st& b) {
  int n = 0;
  for (auto& slot : b.data) n += slot[_BUFFER_READY] == 1;
  return n;
}

bool answers(uint8_t code) {
  for (uint8_t c :
       {_FUNC_SHIELDREAD, _FUNC_SHIELDWRITE, _FUNC_IDREAD_1, _FUNC_IDREAD_2, _FUNC_IDREAD_3, _FUNC_DI, _FUNC_AI})
    if (c == code) return true;
  return false;
}

void request(uint8_t which) {
  switch (which % 8) {
    case 0:
      return SPI_command_ShieldRead();
    case 1:
      return SPI_command_ShieldWrite(which);
    case 2:
      return SPI_command_IdRead_1();
    case 3:
      return SPI_command_IdRead_2();
    case 4:
      return SPI_command_IdRead_3();
    case 5:
      return stand_ReadSignalShield_DI();
    case 6:
      return stand_ReadSignalShield_AI();
    default:
      return SPI_command_PleaseRepeat();
  }
}

void take_request() {  // as the exchange thread does before it sends
  std::lock_guard guard(bufferSPI_MOSI.lock);
  buffer_read(&bufferSPI_MOSI);
}

void reply(fuzz::Input& in) {
  uint8_t frame[_FRAME_BYTES];
  uint8_t seal = in.byte();
  for (auto& b : frame) b = in.byte();
  if (seal & 1) frame[0] = _SPI_ADDRESS;
  if (seal & 2) ModRTU_CRC_Wrap(frame, _FRAME_BYTES);
  buffer_compose(&bufferSPI_MISO, [&](uint8_t* write) {
    std::memcpy(write, frame, _FRAME_BYTES);
    write[_FRAME_SENDTYPE] = 0;
  });
}

void parse() {
  auto before = known();
  uint8_t code = menuSt.functionRead;
  int waiting = ready(bufferSPI_MISO);
  SPI_parser();
  const uint8_t* taken = bufferSPI_MISO.read;
  bool took = ready(bufferSPI_MISO) < waiting;
  bool ours = took && ModRTU_CRC_True(taken, _FRAME_BYTES) && taken[0] == _SPI_ADDRESS;
  if (!ours || !answers(taken[1])) FUZZ_CHECK(known() == before);
  if (!took)
    FUZZ_CHECK(menuSt.functionRead == code);
  else if (!ours)
    FUZZ_CHECK(menuSt.functionRead == code || menuSt.functionRead == _FUNCTIONREAD_LINKFAILED);
  else
    FUZZ_CHECK(menuSt.functionRead == (answers(taken[1]) ? taken[1] : code));
}

void reset_queues() {
  for (buffer_st* b : {&bufferSPI_MOSI, &bufferSPI_MISO}) {
    std::memset(b->data, 0, sizeof b->data);
    b->pointer = 0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  reset_queues();
  SPI_str.maxRepeat = _SPI_MAXREPEAT;
  request(0);  // a reply only ever comes after a request was taken
  take_request();
  while (!in.empty()) {
    uint8_t op = in.byte();
    switch (op % 4) {
      case 0:
        request(op >> 2);
        break;
      case 1:
        take_request();
        break;
      case 2:
        reply(in);
        break;
      default:
        parse();
        break;
    }
    for (auto& slot : bufferSPI_MOSI.data)
      if (slot[_BUFFER_READY])
        FUZZ_CHECK(
            slot[0] == _SPI_ADDRESS && ModRTU_CRC_True(slot, _FRAME_BYTES) &&
            (slot[_FRAME_SENDTYPE] == SPI_TypeSend_ReadFunction || slot[_FRAME_SENDTYPE] == SPI_TypeSend_NoneControl));
  }
  return 0;
}
