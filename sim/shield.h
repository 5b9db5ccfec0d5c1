// The shield on the stand: its lasting state (number, edition, firmware
// version, identifier, configured faults), its reset and start-mode behaviour,
// and the hooks through which the board and the wiring consult it.
// The firmware that answers link frames is in shield_firmware.h; the
// bootloader and the trojan in shield_bootloader.h, the flash they program in
// shield_flash.h.
#pragma once
#include <cstdint>
#include <string>

#include "lock.h"

namespace sim {

enum class Edition : uint8_t { general, kordent };

// Faults of the shield link, applied to the replies of the firmware.
enum class LinkFault : uint8_t {
  none,
  silent,         // never answers: MISO stays idle
  garbled,        // the reply's checksum is wrong
  wrong_code,     // the reply carries another function code (valid checksum)
  late,           // a request is answered only at its (count + 1)-th receipt
  wrong_address,  // the reply's address byte is 0xA2 (valid checksum)
  dies,           // answers `count` requests, then falls silent for good
};

// Faults of the shield's audio path (shield_audio.h).
enum class AudioFault : uint8_t { healthy, dead, weak, distorted };

// Faults of the bootloader protocol: how the requests they target are answered.
enum class BootFault : uint8_t {
  none,
  silent,   // not at all (the request is lost)
  garbled,  // carried out, but the reply's checksum is wrong
  refuse,   // not carried out: byte 2 of the reply is 0
};

enum class BootProgram : uint8_t { bootloader, trojan };

struct ShieldState {
  uint8_t number = 26;
  Edition edition = Edition::general;
  uint16_t firmware = 325;
  uint32_t id[3] = {0x0032001F, 0x3436510B, 0x38383437};
  LinkFault link_fault = LinkFault::none;
  uint8_t link_fault_code = 0;    // function code the fault applies to; 0 = every code
  uint32_t link_fault_count = 0;  // N for `late` and `dies`
  uint32_t boot_version = 5;      // of the resident bootloader
  BootFault boot_fault = BootFault::none;
  BootProgram boot_program = BootProgram::bootloader;  // the program the fault hits
  uint8_t boot_code = 0;                               // the command it hits; 0 = every command
  uint32_t boot_skip = 0;   // requests it targets that are answered first, counted from the program's start
  uint32_t boot_count = 0;  // requests it then hits; 0 = all
  AudioFault audio = AudioFault::healthy;
};

// Puts this shield on the stand. With a non-empty path, that scenario file is
// the shield's lasting state, shared with every program on the stand: the
// shield reads it again whenever it leaves reset (so it runs what another
// program wrote meanwhile), and changes it makes to itself (a new number) are
// written back there under the stand's lock, whole and atomically.
void shield_install(const ShieldState& state, const std::string& state_path);

// Back door: the shield's lasting state now.
ShieldState shield_state();

// Hooks for the board and the wiring (stand lock held).
void shield_line_changed_locked(const StandLock&, uint8_t gpio, uint8_t level);
uint8_t shield_readback_locked(uint8_t gpio, uint8_t healthy_level);

}  // namespace sim
