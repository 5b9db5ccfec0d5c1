// The shield on the stand: its lasting state (number, edition, firmware
// version, identifier, configured faults), its reset and start-mode behaviour,
// its input and relay circuits, which it puts at the far side of the stand's
// wiring. The firmware that answers link frames is in shield_firmware.h;
// the bootloader and the trojan in shield_bootloader.h, the flash they program in
// shield_flash.h.
// Leaves out: analogue behaviour of the circuits (a stuck line relay changes
// its read-back only, not the sources reaching the ADC), contact bounce.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "time/lock.h"

namespace sim {

enum class Edition : uint8_t { general, kordent };

// Faults of the shield link, applied to the replies of the firmware.
enum class LinkFault : uint8_t {
  none,
  silent,         // never answers: MISO stays idle
  garbled,        // the reply's checksum is wrong
  wrong_code,     // the reply carries another function code (valid checksum)
  late,           // a request is answered only at its (count + 1)-th receipt
  wrong_address,  // the reply carries the trojan's address, 0xA2 (valid checksum)
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

// A digital input or a relay channel that does not follow the stand: stuck
// asserted / switched on, or stuck off / never switching.
enum class Stuck : uint8_t { none, on, off };

// Faults of the stand's uploader (./Sendrik/Sendrik in the working directory).
enum class UploadFault : uint8_t {
  none,
  missing,  // not there: the shell cannot start it
  dies,     // ends (killed) after reading `upload_count` lines
};

// The ST-Link tool ./proj/stlink-repo/build/Release/st-flash in the working
// directory: the stand's stand-in, or Debian's st-flash (which finds no
// programmer on a machine without one).
enum class StlinkTool : uint8_t { stand_in, debian };

// Faults of the ST-Link tool.
enum class StlinkFault : uint8_t {
  none,
  error_words,    // reports errors (two words holding "ERROR", one "Invalid"), writes nothing
  no_programmer,  // finds no ST-Link, as the real tool without one: status 255
  missing,        // not there: the shell cannot start it
  killed,         // killed by a signal before it writes
  no_effect,      // reports success and writes nothing
};

// The reference dump home/pi/Dump.bin the launcher writes into the working
// directory: a firmware image of `dump_version`, a file that holds no program,
// or none.
enum class DumpKind : uint8_t { firmware, garbage, missing };

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
  // The inputs as the shield sees them, in the order Ek, S0, S1, EkS, door.
  Stuck input_ek = Stuck::none, input_s0 = Stuck::none, input_s1 = Stuck::none, input_eks = Stuck::none,
        input_door = Stuck::none;
  // The relay channels and the line relay, as their read-backs show them.
  Stuck relay_rel0 = Stuck::none, relay_rel1 = Stuck::none, relay_rel2 = Stuck::none, relay_rel3 = Stuck::none,
        relay_line = Stuck::none;
  uint8_t relays_together = 0;  // bit n per channel: two set bits switch together; 0 = none
  // Offsets of the line's sources from their nominal values, in ADC counts.
  int32_t adc_br = 0, adc_imit = 0, adc_od = 0;
  // One request's reply lost: receipts `lose_at` .. `lose_at + lose_count - 1`
  // (counted from 1) of function code `lose_code` get no reply; at 0 none is lost.
  uint8_t lose_code = 0;
  uint32_t lose_at = 0;
  uint32_t lose_count = 1;
  // The uploader, kept with the shield's state so every reader of the stand sees it.
  UploadFault upload_fault = UploadFault::none;
  uint32_t upload_count = 0;
  // The ST-Link tool and its reference dump. Its fault hits runs 1..stlink_count
  // of the stand (every run at 0); the tool counts its runs in stlink_runs.
  StlinkTool stlink_tool = StlinkTool::stand_in;
  StlinkFault stlink_fault = StlinkFault::none;
  uint32_t stlink_count = 0;
  uint32_t stlink_runs = 0;
  DumpKind dump = DumpKind::firmware;
  uint16_t dump_version = 325;
  bool flasher_missing = false;  // ./Velk_Flasher, which the stand program starts through sudo
  bool player_missing = false;    // aplay, which plays the test tone
  bool recorder_missing = false;  // arecord, which records the shield's audio
};

// Where the shield's lasting state is kept between programs (the stand's
// state file, filled in by the stand). Called with the stand lock held.
class ShieldStore {
 public:
  virtual ~ShieldStore() = default;
  // The lasting state as kept now, into `state` (left as it is when none is kept).
  virtual void load(ShieldState& state) = 0;
  // Applies `change` to the kept state as it is now (to `current` when none is
  // kept yet), so that what another program changed meanwhile is kept; false
  // with `error` when it is not written.
  virtual bool change(const ShieldState& current, const std::function<void(ShieldState&)>& change,
                      std::string& error) = 0;
};

// Puts this shield on the stand. With a store (not owned), its lasting state
// is shared with every program on the stand: the shield reads it again
// whenever it leaves reset (so it runs what another program wrote meanwhile),
// and changes it makes to itself (a new number) are written there. Its flash
// is kept beside the state file at `state_path` (in memory when empty).
void shield_install(const ShieldState& state, const std::string& state_path, ShieldStore* store);

// Back door: the shield's lasting state now.
ShieldState shield_state();

// Whether the shield sees an input asserted (LOW on its line), after its faults.
bool shield_input_asserted_locked(const StandLock&, uint8_t gpio);

}  // namespace sim
