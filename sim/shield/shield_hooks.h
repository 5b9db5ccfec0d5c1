// Fault hooks a test installs on the simulated shield, beside the declarative
// link faults of its lasting state: one that sees every request the firmware
// answers and may change or drop the reply, and one that overrides the level of
// a stand line as the shield or the Pi sees it. Each hook changes only what it
// targets; everything it leaves alone passes through from the healthy model.
// Leaves out: faults that span programs (those belong in the lasting state).
//
// Both hooks run with the stand lock held, on whichever thread drives the stand
// at that moment: they must not call the back-door functions that take the lock
// (board_level, trace_lines, shield_state, ...) and must not wait. A scope
// object installs a hook, keeps its own copy of it, and on destruction puts back
// the hook that was there before, so scopes nest. Meant for one process at a
// time: the hooks do not reach a child program such as the flasher.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "time/lock.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

// Called for each request frame the firmware takes (a whole chip-select window
// with the right address and checksum, while the firmware runs), when it takes
// it, with the reply it would give after the declarative link faults; nullopt
// means no reply. The hook may change the reply, drop it (reset the optional)
// or supply one; the result is what the shield shifts out from the reply delay
// on. Requests the firmware ignores never reach the hook.
using RequestHook = std::function<void(std::span<const uint8_t> request, std::optional<Bytes>& reply)>;

// Called with a stand line (sim::line::...) and its healthy level (after the
// shield's declarative faults) whenever that level is looked at; returns the
// level to use. The lines asked about:
//  - the shield's inputs (ek_out, sel0_out, sel1_out, stm_int as EkS, door_out)
//    and the line sources (ln_br, ln_imit, ln_od): the level the shield sees on
//    the Pi's output; the Pi's own view of that output is not changed;
//  - the read-backs (rel0_in .. rel3_in, br_in): the level the Pi reads.
// Installing or removing it refreshes the board, so a read-back it changes shows
// in the trace at that stand time.
using LevelHook = std::function<uint8_t(uint8_t gpio, uint8_t healthy_level)>;

class RequestHookScope {
 public:
  explicit RequestHookScope(RequestHook hook);
  ~RequestHookScope();
  RequestHookScope(const RequestHookScope&) = delete;
  RequestHookScope& operator=(const RequestHookScope&) = delete;

 private:
  RequestHook previous_;
};

class LevelHookScope {
 public:
  explicit LevelHookScope(LevelHook hook);
  ~LevelHookScope();
  LevelHookScope(const LevelHookScope&) = delete;
  LevelHookScope& operator=(const LevelHookScope&) = delete;

 private:
  LevelHook previous_;
};

// For the firmware and the wiring: the reply or level after the installed hook.
void request_hook_apply_locked(const StandLock&, std::span<const uint8_t> request, std::optional<Bytes>& reply);
uint8_t level_hook_apply_locked(const StandLock&, uint8_t gpio, uint8_t healthy_level);

// The level of a stand line as the shield sees it (a shield input or line source).
uint8_t shield_sees_locked(const StandLock&, uint8_t gpio);

}  // namespace sim
