// The fault hook a test installs on the simulated shield, beside the
// declarative faults of its lasting state: it sees every request the firmware
// answers and may change or drop the reply. What it leaves alone passes
// through from the healthy model.
// Leaves out: faults that span programs (those belong in the lasting state).
//
// The hook runs with the stand lock held, on whichever thread drives the stand
// at that moment: it must not call the back-door functions that take the lock
// (board_level, trace_lines, shield_state, ...) and must not wait. A scope
// object installs a hook, keeps its own copy of it, and on destruction puts back
// the hook that was there before, so scopes nest. Meant for one process at a
// time: the hook does not reach a child program such as the flasher.
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

class RequestHookScope {
 public:
  explicit RequestHookScope(RequestHook hook);
  ~RequestHookScope();
  RequestHookScope(const RequestHookScope&) = delete;
  RequestHookScope& operator=(const RequestHookScope&) = delete;

 private:
  RequestHook previous_;
};

// For the firmware: the reply after the installed hook.
void request_hook_apply_locked(const StandLock&, std::span<const uint8_t> request, std::optional<Bytes>& reply);

}  // namespace sim
