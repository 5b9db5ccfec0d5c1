// What the flasher puts into a request, how it reads a version reply, and when
// it replaces the bootloader: pure decisions, no stand needed.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "SPI.h"
#include "console_capture.h"
#include "firmware.h"
#include "update.h"

namespace {

// The two version requests the update never sends (the frames of those it
// sends are in the flasher's sessions of the catalogue), and values past the
// table, written over a frame that held A1 77 01 02 03 04 AB CD: a version
// request clears the data bytes, no command writes only the address, and the
// checksum bytes are the exchange's business.
TEST(FlasherProtocol, ACommandWritesTheAddressItsCodeAndZeroDataUnlessItCarriesImageData) {
  std::string written;
  for (int command : {int{SPIc_ReadVersion_Shield}, int{SPIc_ReadVersion_Firmware}, int{SPIc_null}, SPIc_null + 1}) {
    std::copy_n(std::array<uint8_t, 8>{0xA1, 0x77, 1, 2, 3, 4, 0xAB, 0xCD}.begin(), 8, Array_tx);
    SPI_WriteCommand(static_cast<SPI_Command_enum>(command), 0xA2);
    char hex[4];
    for (uint8_t b : Array_tx) std::snprintf(hex, sizeof hex, "%02X ", b), written += hex;
    written.back() = '\n';
  }
  EXPECT_EQ(written,
            "A2 65 00 00 00 00 AB CD\nA2 66 00 00 00 00 AB CD\nA2 77 01 02 03 04 AB CD\nA2 77 01 02 03 04 AB CD\n");
}

// A reply is decoded by its own address and code, whatever was asked; only
// the bootloader's version is kept, and every version prints as signed.
TEST(FlasherProtocol, AVersionReplyIsDecodedByItsOwnAddressAndCode) {
  std::string decoded;
  const std::array<uint8_t, 8> replies[] = {
      {0xA1, 0x64, 0, 0, 0x03, 0xE9}, {0xA1, 0x65, 0, 0, 0x01, 0x02}, {0xA1, 0x66, 0x01, 0x02, 0x03, 0x04},
      {0xA2, 0x64, 0, 0, 0, 7},       {0xA1, 0x63, 0, 0, 0, 7},       {0xA1, 0x64, 0x80, 0, 0, 1}};
  for (auto& reply : replies) {
    std::copy(reply.begin(), reply.end(), Array_rx);
    decoded += printed(SPI_FunctionDo);
    decoded += "kept " + std::to_string(f_boot.version) + "\n";
  }
  EXPECT_EQ(decoded,
            "BootloaderVersion: 1001\nkept 1001\nShieldVersion: 258\nkept 1001\nFirmwareVersion: 16909060\nkept "
            "1001\nkept 1001\nkept 1001\nBootloaderVersion: -2147483647\nkept 2147483649\n");
}

// Per policy (none, '1', '0', '2'), for the versions 5, 999, 1000, 10000, 10001: R = replaced.
TEST(FlasherProtocol, ABootloaderOutside1000To10000IsReplacedUnlessThePolicySaysOtherwise) {
  std::string grid;
  for (char policy : {'\0', '1', '0', '2'})
    for (uint32_t version : {5u, 999u, 1000u, 10000u, 10001u}) grid += bootloader_replaced(policy, version) ? 'R' : '-';
  EXPECT_EQ(grid, "RR--RRR--R-----RRRRR");
}

}  // namespace
