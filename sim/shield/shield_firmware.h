// The shield's firmware as an SPI device on CE0. Models the link frames: a
// request is one chip-select window of 8 bytes (address 0xA1, code, 4 data
// bytes, CRC-16/MODBUS high byte first); the reply, of the same shape and
// echoing the code, is ready 120 ms later and is shifted out in every later
// read window (8 zero bytes) until the next request. Silent while in reset.
// The commands sit in one table behind one dispatcher; the declarative link
// faults and then a test's request hook (shield_hooks.h) act on the reply
// afterwards, so the healthy model stays as it is. The inputs and line sources
// are read as the shield sees them, after its stuck inputs and a test's level
// hook; the line's sources give the edition's nominal values plus their offsets.
// Leaves out: the bootloader and trojan protocols, timing of the STM32's own
// SPI peripheral, replies to malformed windows (they are ignored).
#pragma once
#include <array>
#include <cstdint>

#include "time/clock.h"
#include "shield/shield.h"
#include "shield/shield_hooks.h"
#include "board/spi_device.h"

namespace sim {

// Function codes the firmware answers (byte 1 of a request and of its reply).
namespace command {
inline constexpr uint8_t read_parameters = 0x02;  // firmware version and shield number
inline constexpr uint8_t write_number = 0x14;
inline constexpr uint8_t read_id0 = 0x18;  // the 96-bit identifier, one word each
inline constexpr uint8_t read_id1 = 0x19;
inline constexpr uint8_t read_id2 = 0x1A;
inline constexpr uint8_t read_inputs = 0xE2;  // Ek, S0, S1, EkS, door detector
inline constexpr uint8_t read_line = 0xE4;    // the line's ADC reading
inline constexpr uint8_t repeat = 0xFF;       // the last reply once more
}  // namespace command

inline constexpr uint8_t kShieldAddress = 0xA1;
inline constexpr StandTime kReplyDelayUs = 120'000;  // the firmware's time to prepare a reply

using Frame = std::array<uint8_t, 8>;

class ShieldFirmware : public SpiDevice {
 public:
  void hold_reset(const StandLock&);
  void start(const StandLock&);

  void select(const StandLock&, StandTime) override;
  uint8_t exchange(const StandLock&, uint8_t mosi, StandTime now) override;
  void deselect(const StandLock&, StandTime now) override;

 private:
  void handle_request(const StandLock&, const Frame& request, StandTime now);
  bool fault_keeps_silent(const ShieldState&, uint8_t code);

  bool running_ = false;
  std::array<uint8_t, 16> window_{};
  size_t window_len_ = 0;
  Bytes reply_;  // empty: nothing to shift out
  Frame last_reply_{};
  StandTime reply_ready_ = 0;
  std::array<uint32_t, 256> late_seen_{};  // unanswered receipts per function code
  uint32_t answered_ = 0;
  uint32_t lose_seen_ = 0;  // receipts of the code whose reply is to be lost
};

// Shared with shield.cpp: the lasting state, under the stand lock.
ShieldState& shield_state_locked(const StandLock&);
void shield_set_number_locked(const StandLock&, uint8_t number);

uint16_t shield_crc16(const uint8_t* bytes, size_t len);
// A frame's checksum over its first six bytes, in bytes 6 and 7 high byte first.
void shield_seal(Frame& f);
bool shield_crc_ok(const Frame& f);
// A 32-bit value in a frame's four data bytes (2..5), high byte first.
inline void shield_put_be32(Frame& f, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[2 + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

}  // namespace sim
