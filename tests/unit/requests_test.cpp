#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "Buffer.h"
#include "Stand.h"
#include "queued_frames.h"
#include "records.h"
#include "spi.h"

namespace {

using Frame = QueuedFrame;

int pending(const buffer_st& q) {
  int n = 0;
  for (const auto& slot : q.data) n += slot[_BUFFER_READY];
  return n;
}

Frame take_request() {
  EXPECT_EQ(buffer_read(&bufferSPI_MOSI), 1);
  return as_frame(bufferSPI_MOSI.read);
}

// The checksums here are worked out independently of the program's own code.
TEST(Requests, EachQueuesExactlyItsFrameWithChecksumAndSendType) {
  struct Case {
    const char* name;
    std::function<void()> send;
    Frame frame;
  };
  const Case cases[] = {
      {"ShieldRead", SPI_command_ShieldRead, {0xA1, 0x02, 0xEF, 0, 0, 0, 0x7E, 0x54, 1}},
      {"ShieldWrite(42)", [] { SPI_command_ShieldWrite(42); }, {0xA1, 0x14, 0x2A, 0, 0, 0, 0x71, 0x21, 1}},
      {"IdRead_1", SPI_command_IdRead_1, {0xA1, 0x18, 0, 0, 0, 0, 0x68, 0x39, 1}},
      {"IdRead_2", SPI_command_IdRead_2, {0xA1, 0x19, 0, 0, 0, 0, 0xA8, 0x04, 1}},
      {"IdRead_3", SPI_command_IdRead_3, {0xA1, 0x1A, 0, 0, 0, 0, 0xA8, 0x40, 1}},
      {"DI", stand_ReadSignalShield_DI, {0xA1, 0xE2, 0, 0, 0, 0, 0x7C, 0xE1, 1}},
      {"AI", stand_ReadSignalShield_AI, {0xA1, 0xE4, 0, 0, 0, 0, 0x7C, 0x69, 1}},
      {"PleaseRepeat", SPI_command_PleaseRepeat, {0xA1, 0xFF, 0, 0, 0, 0, 0x7E, 0x0D, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.send();
    ASSERT_EQ(pending(bufferSPI_MOSI), 1);
    EXPECT_EQ(take_request(), c.frame);
  }
}

// A resend repeats the request exactly, its send type included, even when
// another request was composed in the staging frame since.
TEST(Requests, TheLastRequestTakenIsQueuedAgainWithItsSendType) {
  SPI_command_PleaseRepeat();
  const Frame sent = take_request();
  SPI_command_IdRead_1();  // still waiting to go out when the resend is asked for

  SPI_command_Last();

  ASSERT_EQ(pending(bufferSPI_MOSI), 2);
  EXPECT_EQ(take_request()[1], 0x18);
  EXPECT_EQ(take_request(), sent);
  EXPECT_EQ(sent[_FRAME_SENDTYPE], SPI_TypeSend_NoneControl);
}

}  // namespace
