// The stand's trace: every line change and every chip-select window on SPI0,
// each with its stand time. Tests read it through the back door; a run can be
// written out as a VCD file (GTKWave, PulseView) and as a text log.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "clock.h"

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
};

void trace_line_locked(StandTime time, uint8_t gpio, uint8_t level);
void trace_window_locked(SpiWindow window);

// Copies of what has been recorded so far.
std::vector<LineEvent> trace_lines();
std::vector<SpiWindow> trace_windows();

// Stand name of a GPIO line in traces ("RST", "CE0", ...), or "gpioN".
std::string trace_line_name(uint8_t gpio);

// Writes what has been recorded; returns false when the file cannot be written.
bool trace_write_vcd(const std::string& path);
bool trace_write_log(const std::string& path);

}  // namespace sim
