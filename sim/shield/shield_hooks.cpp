#include "shield/shield_hooks.h"

#include <utility>

#include "board/board.h"

namespace sim {
namespace {

struct Hooks {
  RequestHook request;
  LevelHook level;
};

// Never destroyed: a thread may still be inside the stand when the process exits.
Hooks& hooks() {
  static auto* h = new Hooks;
  return *h;
}

}  // namespace

RequestHookScope::RequestHookScope(RequestHook hook) {
  StandLock lock(stand_mutex());
  previous_ = std::exchange(hooks().request, std::move(hook));
}

RequestHookScope::~RequestHookScope() {
  StandLock lock(stand_mutex());
  hooks().request = std::move(previous_);
}

LevelHookScope::LevelHookScope(LevelHook hook) {
  StandLock lock(stand_mutex());
  previous_ = std::exchange(hooks().level, std::move(hook));
  board_refresh_locked(lock);
}

LevelHookScope::~LevelHookScope() {
  StandLock lock(stand_mutex());
  hooks().level = std::move(previous_);
  board_refresh_locked(lock);
}

void request_hook_apply_locked(const StandLock&, std::span<const uint8_t> request, std::optional<Bytes>& reply) {
  if (hooks().request) hooks().request(request, reply);
}

uint8_t level_hook_apply_locked(const StandLock&, uint8_t gpio, uint8_t healthy_level) {
  return hooks().level ? hooks().level(gpio, healthy_level) : healthy_level;
}

uint8_t shield_sees_locked(const StandLock& lock, uint8_t gpio) {
  return level_hook_apply_locked(lock, gpio, board_level_locked(lock, gpio));
}

}  // namespace sim
