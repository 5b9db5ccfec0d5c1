// The shield's resident bootloader and the trojan, as SPI devices on CE0: the
// bootloader runs when reset is released with the start-mode line high and
// answers to the address 0xA1; the trojan, an image the bootloader installs in
// the application area, runs when reset is released with the line low and
// answers to 0xA2. One byte per chip-select window: a request is 8 such
// bytes (address, code, 4 data bytes, CRC-16/MODBUS high byte first), its
// reply is ready a moment later (after an erase: once the area is erased) and
// is shifted out while the master clocks zero bytes. Bytes that arrive while
// the program is busy are lost; a window of more than one byte is not this
// protocol and drops the request being put together. The bootloader programs
// the application area, the trojan the bootloader area, one word per image
// frame, in order, after an erase and a programming start; the programming end
// records the version of a complete image in the shield's lasting state. The
// commands sit in one table behind one dispatcher; the scenario's boot.*
// faults and then a test's request hook act on the reply.
// Leaves out: the shield-version request (0x65, refused), word addresses
// (words go in order), the STM32's own SPI timing, clock stretching.
#pragma once
#include <array>
#include <cstdint>

#include "time/clock.h"
#include "shield/shield.h"
#include "shield/shield_image.h"
#include "board/spi_device.h"

namespace sim {

namespace boot_command {
inline constexpr uint8_t detect = 0x01;
inline constexpr uint8_t program_start = 0x02;
inline constexpr uint8_t erase = 0x04;
inline constexpr uint8_t word = 0x05;
inline constexpr uint8_t program_end = 0x06;
inline constexpr uint8_t boot_version = 0x64;
inline constexpr uint8_t firmware_version = 0x66;
}  // namespace boot_command

inline constexpr uint8_t kBootloaderAddress = 0xA1;
inline constexpr uint8_t kTrojanAddress = 0xA2;
inline constexpr StandTime kBootReplyUs = 500;       // a reply is ready this long after its request
inline constexpr StandTime kErasePerKiBUs = 25'000;  // erasing one 1 KiB page
inline constexpr uint32_t kTrojanFactoryVersion = 1;

class ShieldBootloader : public SpiDevice {
 public:
  void hold_reset(const StandLock&);
  // Starts the program of `role` (the bootloader or the trojan) at `version`.
  void start(const StandLock&, BootProgram role, uint32_t version);

  void select(const StandLock&, StandTime) override;
  uint8_t exchange(const StandLock&, uint8_t mosi, StandTime now) override;
  void deselect(const StandLock&, StandTime now) override;

  // For the command table.
  struct Request;

 private:
  void handle_request(const StandLock&, StandTime now);
  bool fault_hits(const ShieldState&, uint8_t code);

  bool running_ = false;
  BootProgram role_ = BootProgram::bootloader;
  uint32_t version_ = 0;
  size_t window_len_ = 0;
  std::array<uint8_t, 8> request_{};
  size_t received_ = 0;
  std::array<uint8_t, 8> reply_{};
  size_t reply_left_ = 0;  // reply bytes not yet shifted out
  StandTime ready_ = 0;    // busy until then: the reply is not ready, bytes are lost
  bool programming_ = false;
  size_t next_word_ = 0;      // where the next image word goes in the area
  uint32_t matched_[2] = {};  // requests the scenario's fault targets, per program, since the start
};

// Shared with shield.cpp: records a new version in the lasting state.
void shield_set_firmware_locked(const StandLock&, uint16_t version);
void shield_set_boot_version_locked(const StandLock&, uint32_t version);

}  // namespace sim
