// The stand's wiring: one table of the Pi lines that reach the shield and the
// stand's circuits, with their names in traces and their roles, and the level
// each Pi input shows given what the Pi drives.
// Models a healthy shield: each relay read-back is the inverse of its relay
// output, the line-relay read-back the inverse of the line relay control.
// Leaves out: analogue behaviour, settling times, pulls on unwired lines.
#pragma once
#include <cstdint>
#include <functional>

#include "time/lock.h"

namespace sim {

// GPIO numbers of the stand's lines.
namespace line {
inline constexpr uint8_t ek_out = 2;    // drives the shield's Ek input (LOW asserts)
inline constexpr uint8_t sel0_out = 3;  // S0 input
inline constexpr uint8_t sel1_out = 4;  // S1 input
inline constexpr uint8_t rel0_in = 5;   // relay 0 read-back
inline constexpr uint8_t rel0_out = 6;  // relay 0 (HIGH = on)
inline constexpr uint8_t rel1_in = 7;   // relay 1 read-back; SPI0's CE1 while SPI0 owns it
inline constexpr uint8_t ce0 = 8;       // SPI0 chip select of the shield link
inline constexpr uint8_t miso = 9;
inline constexpr uint8_t mosi = 10;
inline constexpr uint8_t sclk = 11;
inline constexpr uint8_t rel3_in = 13;
inline constexpr uint8_t rst = 14;      // shield reset, active LOW
inline constexpr uint8_t stm_int = 15;  // start mode at reset release; the EkS input otherwise
inline constexpr uint8_t rel2_out = 16;
inline constexpr uint8_t br_in = 17;  // line relay read-back
inline constexpr uint8_t rel2_in = 21;
inline constexpr uint8_t ln_imit = 22;  // IMIT source onto the line (HIGH = on)
inline constexpr uint8_t ln_od = 23;    // OD source onto the line
inline constexpr uint8_t ln_br = 24;    // line relay (HIGH = on)
inline constexpr uint8_t rel1_out = 25;
inline constexpr uint8_t rel3_out = 26;
inline constexpr uint8_t door_out = 27;  // drives the door detector input (LOW asserts)
inline constexpr uint8_t none = 0xFF;
}  // namespace line

enum class Role : uint8_t {
  shield_input,  // Pi output to a digital input of the shield
  reset,         // the shield's reset line
  line_source,   // Pi output switching the stand's line circuit
  relay,         // Pi output driving a relay channel
  read_back,     // Pi input following an output (`follows`), inverted on a healthy shield
  spi,           // SPI0 chip select, data or clock
};

struct Line {
  uint8_t gpio;
  const char* name;  // as in the trace
  Role role;
  uint8_t follows = line::none;
};

inline constexpr Line kStandLines[] = {
    {line::ek_out, "EK_OUT", Role::shield_input},
    {line::sel0_out, "SEL0_OUT", Role::shield_input},
    {line::sel1_out, "SEL1_OUT", Role::shield_input},
    {line::rel0_in, "REL0_IN", Role::read_back, line::rel0_out},
    {line::rel0_out, "REL0_OUT", Role::relay},
    {line::rel1_in, "REL1_IN", Role::read_back, line::rel1_out},
    {line::ce0, "CE0", Role::spi},
    {line::miso, "MISO", Role::spi},
    {line::mosi, "MOSI", Role::spi},
    {line::sclk, "SCLK", Role::spi},
    {line::rel3_in, "REL3_IN", Role::read_back, line::rel3_out},
    {line::rst, "RST", Role::reset},
    {line::stm_int, "STM_INT", Role::shield_input},
    {line::rel2_out, "REL2_OUT", Role::relay},
    {line::br_in, "BR_IN", Role::read_back, line::ln_br},
    {line::rel2_in, "REL2_IN", Role::read_back, line::rel2_out},
    {line::ln_imit, "LN_IMIT", Role::line_source},
    {line::ln_od, "LN_OD", Role::line_source},
    {line::ln_br, "LN_BR", Role::line_source},
    {line::rel1_out, "REL1_OUT", Role::relay},
    {line::rel3_out, "REL3_OUT", Role::relay},
    {line::door_out, "DOOR_OUT", Role::shield_input},
};

// The table's entry for a GPIO, or nullptr for a line the stand does not use.
constexpr const Line* wiring_line(uint8_t gpio) {
  for (auto& l : kStandLines)
    if (l.gpio == gpio) return &l;
  return nullptr;
}

// What sits at the far side of the stand's lines (the shield, once it is put
// on the stand): told of every change of a level the Pi shows, and asked what
// a read-back line shows.
class LinePeer {
 public:
  virtual ~LinePeer() = default;
  virtual void line_changed_locked(const StandLock&, uint8_t gpio, uint8_t level) = 0;
  // The level a read-back shows, given what a healthy circuit would show.
  virtual uint8_t readback_locked(const StandLock&, uint8_t gpio, uint8_t healthy_level) = 0;
};

// Puts `peer` (not owned) at the far side; nullptr: nothing there, every
// read-back healthy.
void wiring_attach(LinePeer* peer);

// For the board: a level the Pi shows has changed.
void wiring_line_changed_locked(const StandLock&, uint8_t gpio, uint8_t level);

using LevelOf = std::function<uint8_t(uint8_t gpio)>;

// Level on a Pi line configured as input, as the peer shows it; unwired inputs
// read LOW.
uint8_t wiring_input_level_locked(const StandLock&, uint8_t gpio, const LevelOf& driven);

}  // namespace sim
