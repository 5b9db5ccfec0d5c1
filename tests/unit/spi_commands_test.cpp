// The link's requests as they are queued, and the reply parser, without the
// exchange thread: replies are handed to the parser through the incoming queue.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <string>

#include "Buffer.h"
#include "CRC16.h"
#include "Stand.h"
#include "link_codes.h"
#include "link_probe.h"
#include "records.h"
#include "spi.h"

namespace {

// Takes every request waiting in the outgoing queue: "A1 02 EF 00 00 00 7E 54 /1" per
// frame (the send type after the slash).
std::string take_requests() {
  std::string out;
  while (buffer_read(&bufferSPI_MOSI)) {
    char f[40];
    auto* b = bufferSPI_MOSI.read;
    std::snprintf(f, sizeof f, "%02X %02X %02X %02X %02X %02X %02X %02X /%d\n", b[0], b[1], b[2], b[3], b[4], b[5],
                  b[6], b[7], b[8]);
    out += f;
  }
  return out;
}

// The checksums here are worked out independently of the program's own code.
// Last of all, the request taken last is queued again whole, send type
// included, though another request was composed in the staging frame since.
TEST(Requests, EachQueuesExactlyItsFrameAndALastRequestIsQueuedAgainWhole) {
  const std::function<void()> requests[] = {
      SPI_command_ShieldRead,    [] { SPI_command_ShieldWrite(42); },
      SPI_command_IdRead_1,      SPI_command_IdRead_2,
      SPI_command_IdRead_3,      stand_ReadSignalShield_DI,
      stand_ReadSignalShield_AI, SPI_command_PleaseRepeat,
      stand_ReadSignalShield_AI, SPI_command_Last,
  };
  std::string queued;
  for (auto& request : requests) {
    request();
    if (&request != &requests[8]) queued += take_requests();
  }
  EXPECT_EQ(queued,
            "A1 02 EF 00 00 00 7E 54 /1\nA1 14 2A 00 00 00 71 21 /1\nA1 18 00 00 00 00 68 39 /1\n"
            "A1 19 00 00 00 00 A8 04 /1\nA1 1A 00 00 00 00 A8 40 /1\nA1 E2 00 00 00 00 7C E1 /1\n"
            "A1 E4 00 00 00 00 7C 69 /1\nA1 FF 00 00 00 00 7E 0D /3\n"
            "A1 E4 00 00 00 00 7C 69 /1\nA1 FF 00 00 00 00 7E 0D /3\n");
}

using Head = std::array<uint8_t, 6>;  // a reply's bytes 0 to 5; the checksum is added
constexpr uint8_t A = _SPI_ADDRESS;

// Each reply, with a good or a bad checksum, is handed to the parser in turn;
// after each, the records that changed and the codes of the requests it queued.
// Bad checksums are counted over the whole run: every fifth marks the link
// failed instead of asking again and starts the count anew; good or ignored
// frames between them do not reset it.
TEST(ReplyParser, FillsTheRecordsAReplyCarriesIgnoresStrangeRepliesAndAsksAgainOnBadChecksums) {
  SPI_str.maxRepeat = 5;
  SPI_command_ShieldRead();  // the request that went out last: what a resend repeats
  take_requests();
  const std::string again = "A1 02 EF 00 00 00 7E 54 /1\n";  // the last request, queued once more
  const Head shield = {A, _FUNC_SHIELDREAD, 0x77, 0x01, 0x42, 0x1B};
  const std::tuple<Head, bool, std::string> steps[] = {
      // the reply, its checksum good, what followed
      // clang-format off
      {shield, true, "code=2 fw=322 no=27"}, {{A, _FUNC_SHIELDWRITE, 0x2A, 0, 0, 0}, true, "code=20"},
      {{A, _FUNC_IDREAD_1, 0x01, 0x00, 0x00, 0x02}, true, "code=24 id0=1000002 answered=100"},
      {{A, _FUNC_IDREAD_2, 0x12, 0x34, 0x56, 0x78}, true, "code=25 id1=12345678 answered=110"},
      {{A, _FUNC_IDREAD_3, 0xFE, 0xDC, 0xBA, 0x98}, true, "code=26 id2=FEDCBA98 answered=111"},
      {{A, _FUNC_DI, 0, 0, 0x01, 0x05}, true, "code=226 in=10101"},
      {{A, _FUNC_DI, 0xFF, 0xFF, 0xFE, 0xFA}, true, "in=01010"},  // only the bits around them set
      {{A, _FUNC_AI, 0, 0, 0x0A, 0x28}, true, "code=228 line=2600"},
      {{0x00, _FUNC_SHIELDREAD, 0, 0x02, 0x42, 0x1C}, true, ""}, {{0xA0, _FUNC_PLEASEREPEAT, 0, 0, 0, 0}, true, ""},
      {{A, 0x1B, 1, 2, 3, 4}, true, ""}, {{A, 0xE3, 0, 0, 0x0B, 0x28}, true, ""},
      {{A, _FUNC_PLEASEREPEAT, 0, 0, 0, 0}, true, again},
      {shield, false, again}, {shield, false, again}, {shield, false, again},
      {{A, _FUNC_DI, 0, 0, 0, 0}, true, "code=226 in=00000"},
      {shield, false, again}, {shield, false, "code=255"}, {shield, false, again},
      // clang-format on
  };
  RecordWatch records;
  int step = 0;
  for (auto& [reply, good, after] : steps) {
    std::copy(reply.begin(), reply.end(), bufferSPI_MISO.write);
    ModRTU_CRC_Wrap(bufferSPI_MISO.write, _FRAME_BYTES);
    bufferSPI_MISO.write[_FRAME_BYTES - 1] ^= good ? 0 : 1;
    bufferSPI_MISO.write[_FRAME_SENDTYPE] = 0;
    buffer_write(&bufferSPI_MISO);
    SPI_parser();
    EXPECT_EQ(records.changes() + take_requests(), after) << "step " << step++;
  }
}

}  // namespace
