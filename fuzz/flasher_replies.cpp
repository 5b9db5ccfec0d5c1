// The flasher's exchange against any bytes a shield may clock back: a reply is
// accepted only when its checksum is right and, for an acknowledged command,
// it says accepted; the exchange gives up after ten attempts and counts each
// failed one; every attempt sends the same well-formed request; only a
// bootloader's version reply changes the recorded bootloader version.
#include <algorithm>

#include "CRC16.h"
#include "SPI.h"
#include "firmware.h"
#include "fuzz.h"

namespace {

bool checksum_right(const uint8_t* frame) { return ModRTU_CRC(frame, 6) == (frame[6] << 8 | frame[7]); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  auto command = static_cast<SPI_Command_enum>(in.byte() % 10);  // 9: no command at all
  uint8_t address = in.byte();
  uint8_t control = in.byte() % 3;
  fuzz::wire = {};
  fuzz::wire.reply = [&](size_t, size_t) { return in.byte(); };
  uint32_t errors = SPI_error;
  uint32_t version = f_boot.version;

  uint8_t result = SPI_send(command, address, 1, 1, control);
  size_t attempts = fuzz::wire.exchanges();
  bool accepted = checksum_right(Array_rx) && (control == 0 || (control == 1 && Array_rx[2] == 1));
  FUZZ_CHECK(attempts >= 1 && attempts <= 10 && (accepted || attempts == 10));
  FUZZ_CHECK(result == ((accepted ? kReplyValid : 0) | (attempts > 1 || !accepted ? kAttemptFailed : 0)));
  FUZZ_CHECK(SPI_error - errors == attempts - accepted);
  for (size_t at = 0; at < fuzz::wire.sent.size(); at += 8) {
    const uint8_t* request = &fuzz::wire.sent[at];
    FUZZ_CHECK(request[0] == address && checksum_right(request) && std::equal(request, request + 8, Array_tx));
  }

  SPI_FunctionDo();
  bool version_reply = Array_rx[0] == kAddressBootloader && Array_rx[1] == 0x64;
  uint32_t replied = uint32_t{Array_rx[2]} << 24 | uint32_t{Array_rx[3]} << 16 | Array_rx[4] << 8 | Array_rx[5];
  FUZZ_CHECK(f_boot.version == (version_reply ? replied : version));
  return 0;
}
