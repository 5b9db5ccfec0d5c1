// What the flasher puts into a request, how it reads a version reply, and when
// it replaces the bootloader: pure decisions, no stand needed.
#include <gtest/gtest.h>

#include <array>

#include "SPI.h"
#include "console_capture.h"
#include "firmware.h"
#include "update.h"

namespace {

// Bytes 0..5 after writing each command over a frame that held 77 01 02 03 04:
// every command but image data clears the data bytes, and no command (nor a
// value past the table) writes anything but the address. The checksum bytes
// are the exchange's business.
TEST(FlasherProtocol, ACommandWritesTheAddressItsCodeAndZeroDataUnlessItCarriesImageData) {
  const std::pair<int, std::array<uint8_t, 6>> cases[] = {
      {SPIc_ReadVersion_Boot, {0xA2, 0x64, 0, 0, 0, 0}},
      {SPIc_ReadVersion_Shield, {0xA2, 0x65, 0, 0, 0, 0}},
      {SPIc_ReadVersion_Firmware, {0xA2, 0x66, 0, 0, 0, 0}},
      {SPIc_STMdetect, {0xA2, 0x01, 0, 0, 0, 0}},
      {SPIc_Erase, {0xA2, 0x04, 0, 0, 0, 0}},
      {SPIc_ProgStart, {0xA2, 0x02, 0, 0, 0, 0}},
      {SPIc_Firmware, {0xA2, 0x05, 1, 2, 3, 4}},
      {SPIc_ProgEnd, {0xA2, 0x06, 0, 0, 0, 0}},
      {SPIc_null, {0xA2, 0x77, 1, 2, 3, 4}},
      {SPIc_null + 1, {0xA2, 0x77, 1, 2, 3, 4}},
  };
  for (auto& [command, frame] : cases) {
    const uint8_t before[8] = {0xA1, 0x77, 1, 2, 3, 4, 0xAB, 0xCD};
    std::copy(before, before + 8, Array_tx);
    SPI_WriteCommand(static_cast<SPI_Command_enum>(command), 0xA2);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), Array_tx)) << command;
    EXPECT_EQ(Array_tx[6] << 8 | Array_tx[7], 0xABCD) << command;
  }
}

// A reply is decoded by its own address and code, whatever was asked; only
// the bootloader's version is kept, and every version prints as signed.
TEST(FlasherProtocol, AVersionReplyIsDecodedByItsOwnAddressAndCode) {
  const struct {
    std::array<uint8_t, 8> reply;
    const char* printed;
    uint32_t kept;
  } cases[] = {
      {{0xA1, 0x64, 0, 0, 0x03, 0xE9}, "BootloaderVersion: 1001\n", 1001},
      {{0xA1, 0x65, 0, 0, 0x01, 0x02}, "ShieldVersion: 258\n", 1001},
      {{0xA1, 0x66, 0x01, 0x02, 0x03, 0x04}, "FirmwareVersion: 16909060\n", 1001},
      {{0xA2, 0x64, 0, 0, 0, 7}, "", 1001},
      {{0xA1, 0x63, 0, 0, 0, 7}, "", 1001},
      {{0xA1, 0x64, 0x80, 0, 0, 1}, "BootloaderVersion: -2147483647\n", 0x80000001},
  };
  for (auto& c : cases) {
    std::copy(c.reply.begin(), c.reply.end(), Array_rx);
    StdoutCapture out;
    SPI_FunctionDo();
    EXPECT_EQ(out.text(), c.printed);
    EXPECT_EQ(f_boot.version, c.kept) << c.printed;
  }
}

TEST(FlasherProtocol, ABootloaderOutside1000To10000IsReplacedUnlessThePolicySaysOtherwise) {
  const struct {
    char policy;
    uint32_t version;
    bool replaced;
  } cases[] = {
      {0, 999, true},     {0, 1000, false}, {0, 10000, false},   {0, 10001, true},  {'1', 5, true},
      {'1', 1001, false}, {'0', 5, false},  {'0', 99999, false}, {'2', 1001, true}, {'2', 5, true},
  };
  for (auto& c : cases) EXPECT_EQ(bootloader_replaced(c.policy, c.version), c.replaced) << c.policy << " " << c.version;
}

}  // namespace
