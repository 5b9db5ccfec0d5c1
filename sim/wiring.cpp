#include "wiring.h"

#include "shield.h"
#include "shield_hooks.h"

namespace sim {

uint8_t wiring_input_level_locked(const StandLock& lock, uint8_t gpio, const LevelOf& driven) {
  auto* l = wiring_line(gpio);
  if (!l || l->role != Role::read_back) return 0;
  uint8_t healthy = driven(l->follows) ? 0 : 1;
  return level_hook_apply_locked(lock, gpio, shield_readback_locked(lock, gpio, healthy));
}

}  // namespace sim
