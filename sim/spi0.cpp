#include "spi0.h"

#include <bcm2835.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>

#include "board.h"
#include "trace.h"

namespace sim {
namespace {

constexpr uint32_t kStoredBits = BCM2835_SPI0_CS_CS | BCM2835_SPI0_CS_CPHA | BCM2835_SPI0_CS_CPOL |
                                 BCM2835_SPI0_CS_CSPOL | BCM2835_SPI0_CS_CSPOL0 | BCM2835_SPI0_CS_CSPOL1 |
                                 BCM2835_SPI0_CS_CSPOL2 | BCM2835_SPI0_CS_TA;

constexpr size_t kFifoBytes = 16;  // each way
// A program reading CS a third time with nothing else in between is polling it.
constexpr unsigned kPollingReads = 3;
// Polls with nothing under way that could change CS: after this many the
// program would poll for ever.
constexpr unsigned kHopelessPolls = 1'000'000;

struct Shift {  // the byte on the wire; times from the window's start
  uint8_t mosi;
  uint64_t start_ns;
  uint64_t end_ns;
};

struct Spi0 {
  uint32_t cs = 0;
  uint32_t clk = 0;
  std::deque<uint8_t> tx;  // written, not yet on the wire
  std::deque<uint8_t> rx;  // received, not yet read
  std::optional<Shift> wire;
  SpiDevice* devices[2] = {nullptr, nullptr};
  SpiWindow window;
  bool active = false;
  unsigned reads_in_a_row = 0;
  unsigned idle_polls = 0;
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

// Bit times count from the window's start, so that whole-microsecond stand
// time never drifts from the bit clock; a byte is there from the first whole
// microsecond after its last bit.
uint64_t elapsed_ns(const StandLock& lock) { return (clock_now_locked(lock) - spi().window.time) * 1000; }
StandTime stand_time_of(uint64_t ns) { return spi().window.time + (ns + 999) / 1000; }

// Puts the next byte of the TX FIFO on the wire, when the wire is free and the
// RX FIFO has room for the answer (a full one holds the controller).
void start_next(uint64_t at_ns) {
  auto& s = spi();
  if (!s.active || s.wire || s.tx.empty() || s.rx.size() >= kFifoBytes) return;
  s.wire = Shift{s.tx.front(), at_ns, at_ns + 8 * s.window.bit_ns};
  s.tx.pop_front();
}

// The byte on the wire has had its 8 bit clocks: the device takes it and its
// answer goes into the RX FIFO.
void finish_shift(const StandLock& lock) {
  auto& s = spi();
  Shift shift = *s.wire;
  s.wire.reset();
  auto* d = selected_device();
  uint8_t miso = d ? d->exchange(lock, shift.mosi, stand_time_of(shift.end_ns)) : 0x00;
  s.window.mosi.push_back(shift.mosi);
  s.window.miso.push_back(miso);
  s.window.start_ns.push_back(shift.start_ns);
  s.rx.push_back(miso);
}

// Brings the controller up to the stand's time: every byte whose last bit has
// passed is received, the next one right behind it.
void settle(const StandLock& lock) {
  auto& s = spi();
  if (!s.active) return;
  uint64_t now_ns = elapsed_ns(lock);
  while (s.wire && s.wire->end_ns <= now_ns) {
    uint64_t end_ns = s.wire->end_ns;
    finish_shift(lock);
    start_next(end_ns);
  }
}

// Spends the time until the byte on the wire is received.
void run_out_shift(const StandLock& lock) {
  clock_advance_locked(lock, stand_time_of(spi().wire->end_ns) - clock_now_locked(lock));
  settle(lock);
}

[[noreturn]] void stop_hopeless_poll() {
  std::fputs(
      "simulated stand: SPI0's CS register was polled a million times with no byte under way that could "
      "change it; the program would poll for ever\n",
      stderr);
  std::fflush(nullptr);
  std::abort();
}

// A polling program is moved on to the controller's next change at once: it
// sees what it would have seen after polling all that time.
void poll(const StandLock& lock) {
  auto& s = spi();
  if (s.wire) {
    s.idle_polls = 0;
    return run_out_shift(lock);
  }
  if (++s.idle_polls >= kHopelessPolls) stop_hopeless_poll();
}

uint32_t status() {
  auto& s = spi();
  uint32_t v = s.cs & kStoredBits;
  if (s.tx.size() < kFifoBytes) v |= BCM2835_SPI0_CS_TXD;
  if (!s.rx.empty()) v |= BCM2835_SPI0_CS_RXD;
  if (s.active && !s.wire && s.tx.empty()) v |= BCM2835_SPI0_CS_DONE;
  return v;
}

void begin_window(const StandLock& lock) {
  auto& s = spi();
  s.active = true;
  board_refresh_chip_selects_locked(lock);  // the chip select goes active before the first bit
  s.window = SpiWindow{clock_now_locked(lock), selected(), {}, {}, 0, bit_ns(), {}};
  if (auto* d = selected_device()) d->select(lock, s.window.time);
  trace_window_begin_locked();
}

// Clearing TA does not cut a byte short: what was written goes out first, as
// far as the RX FIFO has room for the answers.
void end_window(const StandLock& lock) {
  auto& s = spi();
  while (s.wire) run_out_shift(lock);
  s.active = false;
  s.window.end = clock_now_locked(lock);
  if (auto* d = selected_device()) d->deselect(lock, s.window.end);
  trace_window_locked(std::move(s.window));
  s.window = {};
  board_refresh_chip_selects_locked(lock);
}

void write_cs(const StandLock& lock, uint32_t value) {
  auto& s = spi();
  if (value & BCM2835_SPI0_CS_CLEAR_RX) s.rx.clear();
  if (value & BCM2835_SPI0_CS_CLEAR_TX) s.tx.clear();
  bool was_active = s.active;
  s.cs = value & kStoredBits;
  bool now_active = (value & BCM2835_SPI0_CS_TA) != 0;
  if (now_active && !was_active) begin_window(lock);
  if (!now_active && was_active) end_window(lock);
}

uint8_t read_fifo() {
  auto& rx = spi().rx;
  if (rx.empty()) return 0;
  uint8_t b = rx.front();
  rx.pop_front();
  return b;
}

}  // namespace

void spi0_reset_locked(const StandLock& lock) {
  auto& s = spi();
  if (s.active) end_window(lock);
  s.cs = 0;
  s.rx.clear();
  s.tx.clear();
}

uint32_t spi0_read_locked(const StandLock& lock, uint32_t offset) {
  auto& s = spi();
  settle(lock);
  if (offset == BCM2835_SPI0_CS) {
    if (++s.reads_in_a_row >= kPollingReads) poll(lock);
    return status();
  }
  s.reads_in_a_row = s.idle_polls = 0;
  switch (offset) {
    case BCM2835_SPI0_FIFO: {
      uint8_t b = read_fifo();
      start_next(elapsed_ns(lock));  // room for a held byte
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
  settle(lock);
  s.reads_in_a_row = s.idle_polls = 0;
  switch (offset) {
    case BCM2835_SPI0_CS:
      write_cs(lock, value);
      break;
    case BCM2835_SPI0_FIFO:
      if (s.active && s.tx.size() < kFifoBytes) s.tx.push_back(static_cast<uint8_t>(value));  // else lost
      break;
    case BCM2835_SPI0_CLK:
      s.clk = value;
      break;
    default:
      break;
  }
  start_next(elapsed_ns(lock));
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
