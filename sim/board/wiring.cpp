#include "board/wiring.h"

namespace sim {
namespace {

LinePeer* peer = nullptr;  // guarded by the stand lock

}  // namespace

void wiring_attach(LinePeer* attached) {
  StandLock lock(stand_mutex());
  peer = attached;
}

void wiring_line_changed_locked(const StandLock& lock, uint8_t gpio, uint8_t level) {
  if (peer) peer->line_changed_locked(lock, gpio, level);
}

uint8_t wiring_input_level_locked(const StandLock& lock, uint8_t gpio, const LevelOf& driven) {
  auto* l = wiring_line(gpio);
  if (!l || l->role != Role::read_back) return 0;
  uint8_t healthy = driven(l->follows) ? 0 : 1;
  return peer ? peer->readback_locked(lock, gpio, healthy) : healthy;
}

}  // namespace sim
