#include "board.h"

#include <bcm2835.h>

#include "shield.h"
#include "spi0.h"
#include "trace.h"
#include "wiring.h"

namespace sim {
namespace {

struct Board {
  uint8_t fsel[kGpioLines] = {};
  uint8_t latch[kGpioLines] = {};
  uint8_t shown[kGpioLines] = {};
  bool configured[kGpioLines] = {};  // its function has been selected
  bool in_trace[kGpioLines] = {};    // a level of it has been recorded
  bool started = false;              // `shown` holds the levels since the first refresh
};

Board& board() {
  static auto* b = new Board;
  return *b;
}

// SPI0's pins while it owns them; the data and clock lines are drawn bit by bit
// by the trace, here they show their idle level between transfers.
uint8_t spi_pin_level(const StandLock& lock, uint8_t gpio) {
  if (gpio == line::ce0) return spi0_chip_select_level_locked(lock, 0);
  if (gpio == line::rel1_in) return spi0_chip_select_level_locked(lock, 1);  // CE1
  return 0;
}

uint8_t compute_level(const StandLock& lock, uint8_t gpio) {
  auto& b = board();
  switch (b.fsel[gpio]) {
    case BCM2835_GPIO_FSEL_OUTP:
      return b.latch[gpio];
    case BCM2835_GPIO_FSEL_INPT:
      return wiring_input_level_locked(lock, gpio, [&](uint8_t source) { return compute_level(lock, source); });
    case BCM2835_GPIO_FSEL_ALT0:
      return spi_pin_level(lock, gpio);
    default:
      return 0;
  }
}

// One line's shown level recomputed; a change is traced and passed to the shield.
void refresh_line(const StandLock& lock, uint8_t g, StandTime now) {
  auto& b = board();
  uint8_t level = compute_level(lock, g);
  bool changed = b.started && level != b.shown[g];
  // A line enters the trace with the level it shows when first configured, so
  // an output that starts LOW (the reset line) has its first edge on record.
  bool start_value = b.configured[g] && !b.in_trace[g];
  b.shown[g] = level;
  if (changed || start_value) {
    trace_line_locked(now, g, level);
    b.in_trace[g] = true;
  }
  if (changed) shield_line_changed_locked(lock, g, level);
}

}  // namespace

void board_refresh_locked(const StandLock& lock) {
  auto now = clock_now_locked(lock);
  for (uint8_t g = 0; g < kGpioLines; ++g) refresh_line(lock, g, now);
  board().started = true;
}

void board_refresh_chip_selects_locked(const StandLock& lock) {
  if (!board().started) return board_refresh_locked(lock);
  auto now = clock_now_locked(lock);
  for (uint8_t g : {line::ce0, line::rel1_in}) refresh_line(lock, g, now);
}

void board_fsel_locked(const StandLock& lock, uint8_t gpio, uint8_t mode) {
  if (gpio >= kGpioLines) return;
  board().fsel[gpio] = mode;
  board().configured[gpio] = true;
  board_refresh_locked(lock);
}

void board_write_locked(const StandLock& lock, uint8_t gpio, uint8_t level) {
  if (gpio >= kGpioLines) return;
  board().latch[gpio] = level ? 1 : 0;
  board_refresh_locked(lock);
}

uint8_t board_level_locked(const StandLock& lock, uint8_t gpio) {
  return gpio < kGpioLines ? compute_level(lock, gpio) : 0;
}

uint8_t board_function_locked(const StandLock&, uint8_t gpio) { return gpio < kGpioLines ? board().fsel[gpio] : 0; }

uint8_t board_level(uint8_t gpio) {
  StandLock lock(stand_mutex());
  return board_level_locked(lock, gpio);
}

uint8_t board_function(uint8_t gpio) {
  StandLock lock(stand_mutex());
  return board_function_locked(lock, gpio);
}

}  // namespace sim
