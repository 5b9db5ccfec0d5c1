// The bootloader protocol as the flasher speaks it: an 8-byte request to the
// bootloader (address 0xA1) or the trojan (0xA2), every byte its own one-byte
// transfer with its own chip select, a fixed pause, then the 8-byte reply
// clocked in with zero bytes. An exchange makes up to ten attempts until a
// reply passes its checksum (and, when acknowledged, says it was accepted);
// every attempt's frames are dumped to standard output.
#pragma once
#include <cstdint>

enum SPI_Command_enum : uint8_t {
  SPIc_ReadVersion_Boot,
  SPIc_ReadVersion_Shield,
  SPIc_ReadVersion_Firmware,
  SPIc_STMdetect,
  SPIc_Erase,
  SPIc_ProgStart,
  SPIc_Firmware,
  SPIc_ProgEnd,
  SPIc_null,  // only the address changes: the previous request goes again
};

inline constexpr uint8_t kAddressBootloader = 0xA1;
inline constexpr uint8_t kAddressTrojan = 0xA2;

// Result bits of SPI_send.
inline constexpr uint8_t kReplyValid = 0x01;
inline constexpr uint8_t kAttemptFailed = 0x02;

extern uint8_t Array_tx[8];
extern uint8_t Array_rx[8];
extern uint32_t SPI_error;  // failed attempts since the start

// Writes `FirstByte` and the command's code and data into Array_tx; image
// data (SPIc_Firmware) keeps the bytes 2..5 the caller wrote.
void SPI_WriteCommand(SPI_Command_enum SPI_command, uint8_t FirstByte);

// One exchange; waits in ms. ControlRead 1: the reply must say accepted (byte 2 = 1).
uint8_t SPI_send(SPI_Command_enum SPI_command, uint8_t FirstByte, uint32_t wait_read, uint32_t wait_send,
                 uint8_t ControlRead);

// Decodes a version reply left in Array_rx by its own address and code bytes.
void SPI_FunctionDo();
