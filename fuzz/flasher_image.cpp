// The flasher's image transfer with any file: the words sent are the file's
// bytes in order, 0xFF after its end, in S / 4 + 1 frames for S bytes; a frame
// the shield refuses at its first attempt ends the transfer as failed, right
// after that frame's second attempt.
#include <span>

#include "CRC16.h"
#include "SPI.h"
#include "firmware.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t address = data[0] & 1 ? kAddressTrojan : kAddressBootloader;
  size_t refused = data[0] >> 1;  // the frame refused once, if the file is that long
  std::span<const uint8_t> image(data + 1, size - 1);
  fuzz::wire = {};
  fuzz::wire.reply = [&](size_t exchange, size_t index) {
    uint8_t frame[8] = {kAddressBootloader, 0x05, exchange == refused ? uint8_t{0} : uint8_t{1}};
    ModRTU_CRC_Wrap(frame, 8);
    return frame[index];
  };
  firmware_st record{fmemopen(const_cast<uint8_t*>(image.data()), image.size(), "rb"), 0};
  uint8_t result = firmware_send(&record, address);
  std::fclose(record.name);

  size_t frames = image.size() / 4 + 1;
  bool refusal = refused < frames;
  FUZZ_CHECK(result == (refusal ? 0 : 1) && fuzz::wire.exchanges() == (refusal ? refused + 2 : frames));
  for (size_t e = 0; e < fuzz::wire.exchanges(); ++e) {
    const uint8_t* request = &fuzz::wire.sent[8 * e];
    size_t word = 4 * std::min(e, refused);
    FUZZ_CHECK(request[0] == address && request[1] == 0x05 && ModRTU_CRC_True(request, 8));
    for (size_t i = 0; i < 4; ++i) FUZZ_CHECK(request[2 + i] == (word + i < image.size() ? image[word + i] : 0xFF));
  }
  return 0;
}
