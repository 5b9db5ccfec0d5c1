// The stand's wiring seen from the Pi's input lines: which level the shield and
// the stand's circuits put on each Pi input, given what the Pi drives.
// Models a healthy shield: each relay read-back is the inverse of its relay
// output, the line-relay read-back the inverse of the line relay control.
// Leaves out: analogue behaviour, settling times.
#pragma once
#include <cstdint>
#include <functional>

namespace sim {

using LevelOf = std::function<uint8_t(uint8_t gpio)>;

// Level on a Pi line configured as input; unwired inputs read LOW.
uint8_t wiring_input_level(uint8_t gpio, const LevelOf& driven);

}  // namespace sim
