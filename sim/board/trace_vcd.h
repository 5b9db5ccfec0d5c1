// The trace as VCD text: the stand's lines of the wiring table as 1-bit wires
// on a 1 ns timescale, each window's SCLK, MOSI and MISO drawn bit by bit in
// SPI mode 0 (clock idle low, data set at the falling edge and valid at the
// rising edge, most significant bit first). Only changes are written, and
// timestamps never go back.
// Leaves out: lines outside the wiring table, CPOL/CPHA other than mode 0.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/trace.h"

namespace sim {

class VcdWriter {
 public:
  // Declarations, then every line unknown (x) until its first event.
  std::string header(StandTime now);
  std::string line(const LineEvent& event);
  // The window's bits at its bit time (squeezed into the window if it was
  // shorter, as on a free-running clock), merged with line changes held while
  // it was open.
  std::string window(const SpiWindow& window, const std::vector<LineEvent>& held);

 private:
  struct Change {
    uint64_t ns;
    uint8_t gpio;
    uint8_t value;
  };
  void put(std::string& out, const Change& change);

  uint64_t last_ns_ = 0;
  std::array<uint8_t, kGpioLines> value_{};  // kUnknown until the first event
};

}  // namespace sim
