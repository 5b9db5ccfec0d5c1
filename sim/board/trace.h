// The stand's trace: every line change and every chip-select window on SPI0,
// each with its stand time. Nothing is recorded unless somebody asks:
//  - trace_open() writes it to two files as it happens, one write(2) per event,
//    so a run ended by Ctrl-C, SIGTERM, an abort or a crash leaves every event
//    up to its end on disk:
//      <program>.vcd  waveforms for GTKWave or PulseView, 1 ns timescale, the
//                     stand's lines of the wiring table; SCLK, MOSI and MISO
//                     are drawn bit by bit (mode 0, MSB first, at the bit time
//                     of the programmed divider), so an SPI decoder with CE0
//                     as chip select reads the frames back;
//      <program>.log  one text line per event:
//                     "   12345.678 ms  RST          1" for a line,
//                     "   12345.678 ms  CE0  MOSI A1 02 ...  MISO 00 ..." for a
//                     window, every byte of it however long;
//                     "   12345.678 ms  -- ..." for a remark of the stand;
//  - trace_keep_in_memory(true) keeps it for the back door (tests).
// Leaves out: lines outside the wiring table in the VCD (the log names them
// gpioN), bit-level timing inside the controller beyond one divider per window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "time/clock.h"
#include "time/lock.h"

namespace sim {

struct LineEvent {
  StandTime time;
  uint8_t gpio;
  uint8_t level;
};

// One chip-select window: the bytes sent (MOSI) and received (MISO) while the
// chip select was active. A link request is one window of 8 bytes.
struct SpiWindow {
  StandTime time;  // when the chip select went active
  uint8_t chip_select;
  std::vector<uint8_t> mosi;
  std::vector<uint8_t> miso;
  StandTime end = 0;               // when it went inactive again
  uint32_t bit_ns = 0;             // SPI clock period while it was active
  std::vector<uint64_t> start_ns;  // each byte's first bit, from `time` on (empty: back to back)
};

// Starts writing the trace to <dir>/<program>.vcd and <dir>/<program>.log
// (dir "" is the working directory). Files are never overwritten: when either
// name is taken (by an earlier program of that name in this stand directory),
// the next free pair <program>.2.*, <program>.3.*, ... is used, so one session
// keeps the trace of every run. Returns false with `error` saying why when the
// files cannot be created or the trace is already being written; the caller
// should then refuse to start. Events before the call are not in the files.
bool trace_open(const std::string& dir, const std::string& program, std::string& error);

// The files trace_open chose; empty before it succeeded.
std::string trace_vcd_path();
std::string trace_log_path();

// Keeps what is recorded from now on, for trace_lines() and trace_windows();
// false stops that and frees what was kept.
void trace_keep_in_memory(bool keep);

// Copies of what has been kept so far.
std::vector<LineEvent> trace_lines();
std::vector<SpiWindow> trace_windows();

// Stand name of a GPIO line in traces ("RST", "CE0", ...), or "gpioN".
std::string trace_line_name(uint8_t gpio);

// For the board and the SPI0 controller. A window is announced when its chip
// select goes active and recorded whole when it goes inactive; line changes in
// between (another thread, free-running clock) reach the files after it, in
// time order.
void trace_line_locked(StandTime time, uint8_t gpio, uint8_t level);
// A remark for the person reading the text log ("-- text"); not in the VCD.
void trace_note_locked(StandTime time, const std::string& text);
void trace_window_begin_locked();
void trace_window_locked(SpiWindow window);

}  // namespace sim
