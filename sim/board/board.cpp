#include "board/board.h"

#include <bcm2835.h>

#include "board/spi0.h"
#include "board/trace.h"
#include "board/wiring.h"

namespace sim {
namespace {

struct Board {
  char fsel_digits[kGpioLines];  // the lines while they are not mapped from the stand's file
  char latch_digits[kGpioLines];
  BoardLines lines{fsel_digits, latch_digits};
  bool attached = false;
  uint8_t shown[kGpioLines] = {};
  bool configured[kGpioLines] = {};  // its function has been selected
  bool in_trace[kGpioLines] = {};    // a level of it has been recorded
  bool started = false;              // `shown` holds the levels since the first refresh
};

Board& board() {
  static auto* b = [] {
    auto* fresh = new Board;
    board_preset(BoardStart::power_up, fresh->lines);
    return fresh;
  }();
  return *b;
}

uint8_t fsel_of(uint8_t gpio) { return static_cast<uint8_t>(board().lines.fsel[gpio] - '0'); }
uint8_t latch_of(uint8_t gpio) { return static_cast<uint8_t>(board().lines.latch[gpio] - '0'); }

constexpr char digit(int value) { return static_cast<char>('0' + value); }

// SPI0's pins while it owns them; the data and clock lines are drawn bit by bit
// by the trace, here they show their idle level between transfers.
uint8_t spi_pin_level(const StandLock& lock, uint8_t gpio) {
  if (gpio == line::ce0) return spi0_chip_select_level_locked(lock, 0);
  if (gpio == line::rel1_in) return spi0_chip_select_level_locked(lock, 1);  // CE1
  return 0;
}

uint8_t compute_level(const StandLock& lock, uint8_t gpio) {
  switch (fsel_of(gpio)) {
    case BCM2835_GPIO_FSEL_OUTP:
      return latch_of(gpio);
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
  if (changed) wiring_line_changed_locked(lock, g, level);
}

}  // namespace

void board_preset(BoardStart start, const BoardLines& lines) {
  for (uint8_t g = 0; g < kGpioLines; ++g) lines.fsel[g] = lines.latch[g] = '0';
  if (start == BoardStart::power_up) return;
  // As the stand program sets its lines up: outputs idle HIGH where LOW asserts.
  for (auto& l : kStandLines) {
    bool output = l.role != Role::read_back && l.role != Role::spi;
    lines.fsel[l.gpio] = digit(output                ? BCM2835_GPIO_FSEL_OUTP
                               : l.role == Role::spi ? BCM2835_GPIO_FSEL_ALT0
                                                     : BCM2835_GPIO_FSEL_INPT);
    lines.latch[l.gpio] = digit(l.role == Role::shield_input || l.role == Role::reset);
  }
  bool flasher = start == BoardStart::flasher_left;
  lines.latch[line::stm_int] = digit(flasher);
  lines.latch[line::ln_br] = lines.latch[line::ln_imit] = digit(!flasher);
}

bool board_attach_lines(const std::string& state_path, BoardStart start, std::string& error) {
  StandLock lock(stand_mutex());
  auto& b = board();
  if (b.attached) return true;
  if (state_path.empty()) {
    board_preset(start, b.lines);
  } else {
    char fsel[kGpioLines], latch[kGpioLines];
    board_preset(start, {fsel, latch});
    if (!board_lines_map(state_path, {fsel, latch}, b.lines, error)) return false;
  }
  b.attached = true;
  // What the program finds goes on record first; the shield has been running
  // since its reset line went HIGH, in whatever program that was.
  bool inherited = false;
  for (uint8_t g = 0; g < kGpioLines; ++g) inherited |= b.configured[g] = fsel_of(g) != BCM2835_GPIO_FSEL_INPT;
  auto now = clock_now_locked(lock);
  if (inherited) trace_note_locked(now, "the lines as the board kept them:");
  board_refresh_locked(lock);
  if (inherited) trace_note_locked(now, "the program takes over");
  wiring_line_changed_locked(lock, line::stm_int, b.shown[line::stm_int]);
  if (b.shown[line::rst]) wiring_line_changed_locked(lock, line::rst, 1);
  return true;
}

void board_refresh() {
  StandLock lock(stand_mutex());
  board_refresh_locked(lock);
}

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
  board().lines.fsel[gpio] = digit(mode & 7);
  board().configured[gpio] = true;
  board_refresh_locked(lock);
}

void board_write_locked(const StandLock& lock, uint8_t gpio, uint8_t level) {
  if (gpio >= kGpioLines) return;
  board().lines.latch[gpio] = digit(level ? 1 : 0);
  board_refresh_locked(lock);
}

uint8_t board_level_locked(const StandLock& lock, uint8_t gpio) {
  return gpio < kGpioLines ? compute_level(lock, gpio) : 0;
}

uint8_t board_function_locked(const StandLock&, uint8_t gpio) { return gpio < kGpioLines ? fsel_of(gpio) : 0; }

uint8_t board_level(uint8_t gpio) {
  StandLock lock(stand_mutex());
  return board_level_locked(lock, gpio);
}

uint8_t board_function(uint8_t gpio) {
  StandLock lock(stand_mutex());
  return board_function_locked(lock, gpio);
}

}  // namespace sim
