// The Pi's 54 GPIO lines: function select, output latches and the level each
// line shows. Function selects and latches outlive a program, as on a Pi they
// last until power-off: a program on a stand maps them from the stand's file
// and finds them as the previous program left them. Inputs get their level from the stand's wiring (wiring.h); the
// SPI0 pins from the controller. Every change of a shown level is traced and
// passed to the shield, which watches its reset and start-mode lines.
// Leaves out: pulls, edge detection, drive strength, the alternate functions
// other than SPI0.
#pragma once
#include <cstdint>
#include <string>

#include "time/lock.h"

namespace sim {

inline constexpr uint8_t kGpioLines = 54;

// How the Pi's GPIO lines stand in a fresh working directory, before any
// program there has touched them: as after power-on, or as a program that
// was stopped half-way left them.
enum class BoardStart : uint8_t {
  power_up,      // every line an input, every latch LOW
  adc_aborted,   // the stand's lines set up, the line relay and the IMIT source left on
  flasher_left,  // the stand's lines set up, the start-mode line left HIGH
};

// The Pi's GPIO function selects and output latches as the board keeps them
// until power-off, one digit per line 0..53 (function select 0 input, 1
// output, 4 ALT0...; latch 0 or 1). Kept in board.lines beside the state file,
// mapped into every program of the stand: a change is in the file the moment
// it is made, as in the real block, and the next program finds it.
struct BoardLines {
  char* fsel;
  char* latch;
};

// The board's file beside a state file ("dir/shield.state" -> "dir/board.lines").
std::string board_lines_path(const std::string& state_path);

// Maps the board's file into `lines`, writing it from `initial` first when it
// is missing. A file that is not the board's lines gives false with `error`
// saying why.
bool board_lines_map(const std::string& state_path, const BoardLines& initial, BoardLines& lines, std::string& error);

// `start` written into the two rows of digits.
void board_preset(BoardStart start, const BoardLines& lines);

// Called when a program maps the GPIO block: the lines of the stand whose
// state file is `state_path` (in memory from `start` when it is empty; the
// stand's file, written from `start` when missing, otherwise). The levels
// found go into the trace first and to the shield. False with `error` when
// the stand's file is not the board's lines.
bool board_attach_lines(const std::string& state_path, BoardStart start, std::string& error);

// Maps the GPIO block (bcm2835_gpio) and, when the machine allows it, SPI0's
// (bcm2835_spi0), as a successful bcm2835_init does.
void board_map_peripherals(bool with_spi0);

// Looks again at every line after another program may have changed them.
void board_refresh();

void board_fsel_locked(const StandLock&, uint8_t gpio, uint8_t mode);
void board_write_locked(const StandLock&, uint8_t gpio, uint8_t level);
uint8_t board_level_locked(const StandLock&, uint8_t gpio);
uint8_t board_function_locked(const StandLock&, uint8_t gpio);

// Recomputes every shown level after something behind the lines changed
// (the chip select, the shield's outputs, a fault).
void board_refresh_locked(const StandLock&);
// The same for a change of SPI0's chip selects alone (CE0, and CE1 on GPIO 7):
// a window's start and end, many times a frame, need not look at every line.
void board_refresh_chip_selects_locked(const StandLock&);

// Back door for tests: the level and function select of a line now.
uint8_t board_level(uint8_t gpio);
uint8_t board_function(uint8_t gpio);

}  // namespace sim
