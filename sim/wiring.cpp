#include "wiring.h"

#include "shield.h"

namespace sim {
namespace {

struct ReadBack {
  uint8_t input;
  uint8_t source;
};

// Relay channels 0..3 and the line relay: read-back input, Pi output driving it.
constexpr ReadBack kReadBacks[] = {
    {5, 6},    // REL0_IN  <- REL0_OUT
    {7, 25},   // REL1_IN  <- REL1_OUT
    {21, 16},  // REL2_IN  <- REL2_OUT
    {13, 26},  // REL3_IN  <- REL3_OUT
    {17, 24},  // BR_IN    <- LN_BR
};

}  // namespace

uint8_t wiring_input_level(uint8_t gpio, const LevelOf& driven) {
  for (auto& r : kReadBacks)
    if (r.input == gpio) return shield_readback_locked(gpio, driven(r.source) ? 0 : 1);
  return 0;
}

}  // namespace sim
