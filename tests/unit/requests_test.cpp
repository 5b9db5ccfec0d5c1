#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "Buffer.h"
#include "Stand.h"
#include "link_codes.h"
#include "queued_frames.h"
#include "records.h"
#include "spi.h"

namespace {

constexpr uint8_t A = _SPI_ADDRESS, ReadFunction = SPI_TypeSend_ReadFunction;

// The checksums here are worked out independently of the program's own code.
// Last of all, the request taken last is queued again whole, send type
// included, though another request was composed in the staging frame since.
TEST(Requests, EachQueuesExactlyItsFrameAndALastRequestIsQueuedAgainWhole) {
  const std::function<void()> requests[] = {
      SPI_command_ShieldRead,
      [] { SPI_command_ShieldWrite(42); },
      SPI_command_IdRead_1,
      SPI_command_IdRead_2,
      SPI_command_IdRead_3,
      stand_ReadSignalShield_DI,
      stand_ReadSignalShield_AI,
      SPI_command_PleaseRepeat,
      [] {
        stand_ReadSignalShield_AI();
        SPI_command_Last();
      },
  };
  std::vector<QueuedFrame> queued;
  for (auto& request : requests) {
    request();
    for (auto& f : take_all(bufferSPI_MOSI)) queued.push_back(f);
  }
  const std::vector<QueuedFrame> expected = {
      {A, _FUNC_SHIELDREAD, 0xEF, 0, 0, 0, 0x7E, 0x54, ReadFunction},
      {A, _FUNC_SHIELDWRITE, 42, 0, 0, 0, 0x71, 0x21, ReadFunction},
      {A, _FUNC_IDREAD_1, 0, 0, 0, 0, 0x68, 0x39, ReadFunction},
      {A, _FUNC_IDREAD_2, 0, 0, 0, 0, 0xA8, 0x04, ReadFunction},
      {A, _FUNC_IDREAD_3, 0, 0, 0, 0, 0xA8, 0x40, ReadFunction},
      {A, _FUNC_DI, 0, 0, 0, 0, 0x7C, 0xE1, ReadFunction},
      {A, _FUNC_AI, 0, 0, 0, 0, 0x7C, 0x69, ReadFunction},
      {A, _FUNC_PLEASEREPEAT, 0, 0, 0, 0, 0x7E, 0x0D, SPI_TypeSend_NoneControl},
      {A, _FUNC_AI, 0, 0, 0, 0, 0x7C, 0x69, ReadFunction},
      {A, _FUNC_PLEASEREPEAT, 0, 0, 0, 0, 0x7E, 0x0D, SPI_TypeSend_NoneControl},
  };
  EXPECT_EQ(queued, expected);
}

}  // namespace
