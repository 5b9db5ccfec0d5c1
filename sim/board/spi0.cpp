#include "board/spi0.h"

#include <bcm2835.h>

#include <deque>

#include "board/board.h"
#include "board/trace.h"

namespace sim {
namespace {

constexpr uint32_t kStoredBits = BCM2835_SPI0_CS_CS | BCM2835_SPI0_CS_CPHA | BCM2835_SPI0_CS_CPOL |
                                 BCM2835_SPI0_CS_CSPOL | BCM2835_SPI0_CS_CSPOL0 | BCM2835_SPI0_CS_CSPOL1 |
                                 BCM2835_SPI0_CS_CSPOL2 | BCM2835_SPI0_CS_TA;

struct Spi0 {
  uint32_t cs = 0;
  uint32_t clk = 0;
  std::deque<uint8_t> rx;
  SpiDevice* devices[2] = {nullptr, nullptr};
  SpiWindow window;
  bool active = false;
};

Spi0& spi() {
  static auto* s = new Spi0;
  return *s;
}

uint8_t selected() { return spi().cs & BCM2835_SPI0_CS_CS; }

SpiDevice* selected_device() {
  auto cs = selected();
  return cs < 2 ? spi().devices[cs] : nullptr;
}

// The SPI clock period: CDIV counts core clock cycles (250 MHz, 4 ns each);
// odd values are rounded down and 0 means 65536, as on the BCM2835.
uint32_t bit_ns() {
  uint32_t divider = spi().clk & 0xFFFE;
  return 4 * (divider == 0 ? 65536 : divider);
}

void begin_window(const StandLock& lock) {
  auto& s = spi();
  s.active = true;
  board_refresh_chip_selects_locked(lock);  // the chip select goes active before the first bit
  s.window = SpiWindow{clock_now_locked(lock), selected(), {}, {}, 0, bit_ns()};
  if (auto* d = selected_device()) d->select(lock, s.window.time);
  trace_window_begin_locked();
}

void end_window(const StandLock& lock) {
  auto& s = spi();
  s.active = false;
  s.window.end = clock_now_locked(lock);
  if (auto* d = selected_device()) d->deselect(lock, s.window.end);
  trace_window_locked(std::move(s.window));
  s.window = {};
  board_refresh_chip_selects_locked(lock);
}

// A byte is exchanged when its last bit is clocked; the stand clock (in whole
// microseconds) is moved to that point, so the bits never run past the window.
void shift_byte(const StandLock& lock, uint8_t mosi) {
  auto& s = spi();
  auto* d = selected_device();
  uint64_t bits = 8 * (s.window.mosi.size() + 1);
  StandTime done = s.window.time + (bits * s.window.bit_ns + 999) / 1000;
  StandTime now = clock_now_locked(lock);
  if (done > now) clock_advance_locked(lock, done - now);
  uint8_t miso = d ? d->exchange(lock, mosi, clock_now_locked(lock)) : 0x00;
  s.window.mosi.push_back(mosi);
  s.window.miso.push_back(miso);
  s.rx.push_back(miso);
}

}  // namespace

void spi0_reset_locked(const StandLock& lock) {
  if (spi().active) end_window(lock);
  spi().cs = 0;
  spi().rx.clear();
}

uint32_t spi0_read_locked(const StandLock&, uint32_t offset) {
  auto& s = spi();
  switch (offset) {
    case BCM2835_SPI0_CS: {
      uint32_t v = s.cs & kStoredBits;
      v |= BCM2835_SPI0_CS_TXD;  // bytes go out as they are written
      if (!s.rx.empty()) v |= BCM2835_SPI0_CS_RXD;
      if (s.active) v |= BCM2835_SPI0_CS_DONE;
      return v;
    }
    case BCM2835_SPI0_FIFO: {
      if (s.rx.empty()) return 0;
      uint8_t b = s.rx.front();
      s.rx.pop_front();
      return b;
    }
    case BCM2835_SPI0_CLK:
      return s.clk;
    default:
      return 0;
  }
}

void spi0_write_locked(const StandLock& lock, uint32_t offset, uint32_t value) {
  auto& s = spi();
  switch (offset) {
    case BCM2835_SPI0_CS: {
      if (value & BCM2835_SPI0_CS_CLEAR_RX) s.rx.clear();
      bool was_active = s.active;
      s.cs = value & kStoredBits;
      bool now_active = (value & BCM2835_SPI0_CS_TA) != 0;
      if (now_active && !was_active) begin_window(lock);
      if (!now_active && was_active) end_window(lock);
      break;
    }
    case BCM2835_SPI0_FIFO:
      if (s.active) shift_byte(lock, static_cast<uint8_t>(value));
      break;
    case BCM2835_SPI0_CLK:
      s.clk = value;
      break;
    default:
      break;
  }
}

uint8_t spi0_chip_select_level_locked(const StandLock&, uint8_t chip_select) {
  auto& s = spi();
  bool asserted = s.active && selected() == chip_select;
  bool active_high = (s.cs & (BCM2835_SPI0_CS_CSPOL0 << chip_select)) != 0;
  return asserted == active_high ? 1 : 0;
}

void spi0_attach(uint8_t chip_select, SpiDevice* device) {
  StandLock lock(stand_mutex());
  if (chip_select < 2) spi().devices[chip_select] = device;
}

uint32_t spi0_clock_divider() {
  StandLock lock(stand_mutex());
  return spi().clk;
}

uint32_t spi0_control() {
  StandLock lock(stand_mutex());
  return spi().cs;
}

}  // namespace sim
