#include "shield/shield_hooks.h"

#include <utility>

namespace sim {
namespace {

// Never destroyed: a thread may still be inside the stand when the process exits.
RequestHook& request_hook() {
  static auto* h = new RequestHook;
  return *h;
}

}  // namespace

RequestHookScope::RequestHookScope(RequestHook hook) {
  StandLock lock(stand_mutex());
  previous_ = std::exchange(request_hook(), std::move(hook));
}

RequestHookScope::~RequestHookScope() {
  StandLock lock(stand_mutex());
  request_hook() = std::move(previous_);
}

void request_hook_apply_locked(const StandLock&, std::span<const uint8_t> request, std::optional<Bytes>& reply) {
  if (request_hook()) request_hook()(request, reply);
}

}  // namespace sim
