// The shield link's requests and reply parser, in any order, against any frame
// a shield may send: a reply that fails its checksum, is not addressed to the
// stand or has an unknown code never changes what the stand knows of the
// shield, an accepted one leaves its own code as the reply code, a bad
// checksum asks again or marks the link failed, and requests leave well-formed
// in the order they were queued.
#include <algorithm>
#include <array>
#include <cstring>
#include <deque>

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

using Frame = std::array<uint8_t, _BUFFER_ELEMENTS>;
std::deque<Frame> requests;  // queued and not yet taken, in queue order

int ready(const buffer_st& b) {
  int n = 0;
  for (auto& slot : b.data) n += slot[_BUFFER_READY] == 1;
  return n;
}

bool answers(uint8_t code) {
  constexpr uint8_t kAnswered[] = {_FUNC_SHIELDREAD, _FUNC_SHIELDWRITE, _FUNC_IDREAD_1, _FUNC_IDREAD_2,
                                   _FUNC_IDREAD_3,   _FUNC_DI,          _FUNC_AI};
  return std::find(std::begin(kAnswered), std::end(kAnswered), code) != std::end(kAnswered);
}

constexpr void (*kRequests[])() = {
    SPI_command_ShieldRead, [] { SPI_command_ShieldWrite(42); }, SPI_command_IdRead_1,      SPI_command_IdRead_2,
    SPI_command_IdRead_3,   stand_ReadSignalShield_DI,           stand_ReadSignalShield_AI, SPI_command_PleaseRepeat};

void take_request() {  // as the exchange thread does before it sends
  std::lock_guard guard(bufferSPI_MOSI.lock);
  if (!buffer_read(&bufferSPI_MOSI)) return FUZZ_CHECK(requests.empty());
  const Frame& first = requests.front();
  FUZZ_CHECK(std::equal(first.begin(), first.end(), bufferSPI_MOSI.read) &&
             std::equal(first.begin(), first.end(), bufferSPI_MOSI.backup));
  requests.pop_front();
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
  uint32_t failures = linkEvents.failures;
  int waiting = ready(bufferSPI_MISO);
  int pending = ready(bufferSPI_MOSI);
  SPI_parser();
  const uint8_t* taken = bufferSPI_MISO.read;
  bool took = ready(bufferSPI_MISO) < waiting;
  bool ours = took && ModRTU_CRC_True(taken, _FRAME_BYTES) && taken[0] == _SPI_ADDRESS;
  if (!ours || !answers(taken[1])) FUZZ_CHECK(known() == before);
  if ((took && !ModRTU_CRC_True(taken, _FRAME_BYTES)) || (ours && taken[1] == _FUNC_PLEASEREPEAT))
    FUZZ_CHECK(linkEvents.failures == failures + 1 || ready(bufferSPI_MOSI) == std::min(pending + 1, 5));
  if (!took)
    FUZZ_CHECK(menuSt.functionRead == code);
  else if (!ours)
    FUZZ_CHECK(menuSt.functionRead == code || menuSt.functionRead == _FUNCTIONREAD_LINKFAILED);
  else
    FUZZ_CHECK(menuSt.functionRead == (answers(taken[1]) ? taken[1] : code));
}

// One operation; a request it queued (a resend too) joins the expected order.
void step(uint8_t op, fuzz::Input& in) {
  int pending = ready(bufferSPI_MOSI);
  switch (op % 4) {
    case 0:
      kRequests[op >> 2 & 7]();
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
  if (ready(bufferSPI_MOSI) <= pending) return;
  const Frame& queued = requests.emplace_back(std::to_array(bufferSPI_MOSI.write));
  FUZZ_CHECK(
      queued[0] == _SPI_ADDRESS && ModRTU_CRC_True(queued.data(), _FRAME_BYTES) &&
      (queued[_FRAME_SENDTYPE] == SPI_TypeSend_ReadFunction || queued[_FRAME_SENDTYPE] == SPI_TypeSend_NoneControl));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  for (buffer_st* b : {&bufferSPI_MOSI, &bufferSPI_MISO}) std::memset(b->data, 0, sizeof b->data);
  requests.clear();
  SPI_str.maxRepeat = _SPI_MAXREPEAT;
  step(0, in);  // a reply only ever comes after a request was taken
  step(1, in);
  while (!in.empty()) step(in.byte(), in);
  return 0;
}
