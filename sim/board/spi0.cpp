#include "board/spi0.h"

#include <bcm2835.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "board/board.h"
#include "board/trace.h"

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

// One of the controller's FIFOs, a ring of kFifoBytes.
class Fifo {
 public:
  bool empty() const { return count_ == 0; }
  bool full() const { return count_ == kFifoBytes; }
  void push(uint8_t b) { bytes_[(head_ + count_++) % kFifoBytes] = b; }
  uint8_t pop() {
    uint8_t b = bytes_[head_];
    head_ = (head_ + 1) % kFifoBytes;
    --count_;
    return b;
  }
  void clear() { count_ = 0; }

 private:
  std::array<uint8_t, kFifoBytes> bytes_{};
  size_t head_ = 0;
  size_t count_ = 0;
};

struct Shift {  // the byte on the wire; times from the window's start
  uint8_t mosi;
  uint64_t start_ns;
  uint64_t end_ns;
};

class Spi0 {
 public:
  uint32_t cs = 0;
  uint32_t clk = 0;
  SpiDevice* devices[2] = {nullptr, nullptr};
  bool active = false;

  void reset(const StandLock& lock) {
    if (active) end_window(lock);
    cs = 0;
    rx_.clear();
    tx_.clear();
  }

  uint32_t read(const StandLock& lock, uint32_t offset) {
    settle(lock);
    if (offset == BCM2835_SPI0_CS) {
      if (++reads_in_a_row_ >= kPollingReads) poll(lock);
      return status();
    }
    reads_in_a_row_ = idle_polls_ = 0;
    switch (offset) {
      case BCM2835_SPI0_FIFO: {
        uint8_t b = read_fifo();
        start_next_now(lock);
        return b;
      }
      case BCM2835_SPI0_CLK:
        return clk;
      default:
        return 0;
    }
  }

  void write(const StandLock& lock, uint32_t offset, uint32_t value) {
    settle(lock);
    reads_in_a_row_ = idle_polls_ = 0;
    switch (offset) {
      case BCM2835_SPI0_CS:
        write_cs(lock, value);
        break;
      case BCM2835_SPI0_FIFO:
        if (active && !tx_.full()) tx_.push(static_cast<uint8_t>(value));  // else lost
        break;
      case BCM2835_SPI0_CLK:
        clk = value;
        break;
      default:
        break;
    }
    start_next_now(lock);
  }

  uint8_t selected() const { return cs & BCM2835_SPI0_CS_CS; }

 private:
  Fifo tx_;  // written, not yet on the wire
  Fifo rx_;  // received, not yet read
  std::optional<Shift> wire_;
  SpiWindow window_;
  unsigned reads_in_a_row_ = 0;
  unsigned idle_polls_ = 0;

  SpiDevice* selected_device() const { return selected() < 2 ? devices[selected()] : nullptr; }

  // The SPI clock period: CDIV counts core clock cycles (250 MHz, 4 ns each);
  // odd values are rounded down and 0 means 65536, as on the BCM2835.
  uint32_t bit_ns() const {
    uint32_t divider = clk & 0xFFFE;
    return 4 * (divider == 0 ? 65536 : divider);
  }

  // Bit times count from the window's start, so that whole-microsecond stand
  // time never drifts from the bit clock; a byte is there from the first whole
  // microsecond after its last bit.
  uint64_t elapsed_ns(const StandLock& lock) const { return (clock_now_locked(lock) - window_.time) * 1000; }
  StandTime stand_time_of(uint64_t ns) const { return window_.time + (ns + 999) / 1000; }

  // The next byte of the TX FIFO goes on the wire when the wire is free and
  // the RX FIFO has room for the answer (a full one holds the controller).
  bool next_can_start() const { return active && !wire_ && !tx_.empty() && !rx_.full(); }

  void start_next(uint64_t at_ns) { wire_ = Shift{tx_.pop(), at_ns, at_ns + 8 * window_.bit_ns}; }

  // After an access: a byte written to an idle controller, or one held for
  // room in the RX FIFO, starts now.
  void start_next_now(const StandLock& lock) {
    if (next_can_start()) start_next(elapsed_ns(lock));
  }

  // The byte on the wire has had its 8 bit clocks: the device takes it and its
  // answer goes into the RX FIFO.
  void finish_shift(const StandLock& lock) {
    Shift shift = *wire_;
    wire_.reset();
    auto* d = selected_device();
    uint8_t miso = d ? d->exchange(lock, shift.mosi, stand_time_of(shift.end_ns)) : 0x00;
    record(shift, miso);
    rx_.push(miso);
  }

  // The window keeps each byte's start only once one did not follow right
  // behind the one before (the trace draws bytes back to back otherwise).
  void record(const Shift& shift, uint8_t miso) {
    auto back_to_back = [&](uint64_t byte) { return 8 * byte * window_.bit_ns; };
    auto& starts = window_.start_ns;
    if (starts.empty() && shift.start_ns != back_to_back(window_.mosi.size()))
      for (uint64_t byte = 0; byte < window_.mosi.size(); ++byte) starts.push_back(back_to_back(byte));
    if (!starts.empty()) starts.push_back(shift.start_ns);
    window_.mosi.push_back(shift.mosi);
    window_.miso.push_back(miso);
  }

  // Brings the controller up to the stand's time: every byte whose last bit
  // has passed is received, the next one right behind it.
  void settle(const StandLock& lock) {
    if (!wire_) return;
    uint64_t now_ns = elapsed_ns(lock);
    while (wire_ && wire_->end_ns <= now_ns) {
      uint64_t end_ns = wire_->end_ns;
      finish_shift(lock);
      if (next_can_start()) start_next(end_ns);
    }
  }

  // Spends the time until the byte on the wire is received (on a free-running
  // clock the advance does nothing: the program polls in real time).
  void run_out_shift(const StandLock& lock) {
    clock_advance_locked(lock, stand_time_of(wire_->end_ns) - clock_now_locked(lock));
    settle(lock);
  }

  // A polling program is moved on to the controller's next change at once: it
  // sees what it would have seen after polling all that time.
  void poll(const StandLock& lock) {
    if (wire_) {
      idle_polls_ = 0;
      return run_out_shift(lock);
    }
    if (++idle_polls_ >= kHopelessPolls) stop_hopeless_poll();
  }

  [[noreturn]] static void stop_hopeless_poll() {
    std::fputs(
        "simulated stand: SPI0's CS register was polled a million times with no byte under way that could "
        "change it; the program would poll for ever\n",
        stderr);
    std::fflush(nullptr);
    std::abort();
  }

  uint32_t status() const {
    uint32_t v = cs & kStoredBits;
    if (!tx_.full()) v |= BCM2835_SPI0_CS_TXD;
    if (!rx_.empty()) v |= BCM2835_SPI0_CS_RXD;
    if (active && !wire_ && tx_.empty()) v |= BCM2835_SPI0_CS_DONE;
    return v;
  }

  uint8_t read_fifo() { return rx_.empty() ? 0 : rx_.pop(); }

  void write_cs(const StandLock& lock, uint32_t value) {
    if (value & BCM2835_SPI0_CS_CLEAR_RX) rx_.clear();
    if (value & BCM2835_SPI0_CS_CLEAR_TX) tx_.clear();
    bool was_active = active;
    cs = value & kStoredBits;
    bool now_active = (value & BCM2835_SPI0_CS_TA) != 0;
    if (now_active && !was_active) begin_window(lock);
    if (!now_active && was_active) end_window(lock);
  }

  void begin_window(const StandLock& lock) {
    active = true;
    board_refresh_chip_selects_locked(lock);  // the chip select goes active before the first bit
    window_ = SpiWindow{clock_now_locked(lock), selected(), {}, {}, 0, bit_ns(), {}};
    if (auto* d = selected_device()) d->select(lock, window_.time);
    trace_window_begin_locked();
  }

  // Clearing TA does not cut a byte short: what was written goes out first, as
  // far as the RX FIFO has room for the answers.
  void end_window(const StandLock& lock) {
    while (wire_) run_out_shift(lock);
    active = false;
    window_.end = clock_now_locked(lock);
    if (auto* d = selected_device()) d->deselect(lock, window_.end);
    trace_window_locked(std::move(window_));
    window_ = {};
    board_refresh_chip_selects_locked(lock);
  }
};

Spi0& spi() {
  static auto* s = new Spi0;
  return *s;
}

}  // namespace

void spi0_reset_locked(const StandLock& lock) { spi().reset(lock); }

uint32_t spi0_read_locked(const StandLock& lock, uint32_t offset) { return spi().read(lock, offset); }

void spi0_write_locked(const StandLock& lock, uint32_t offset, uint32_t value) { spi().write(lock, offset, value); }

uint8_t spi0_chip_select_level_locked(const StandLock&, uint8_t chip_select) {
  auto& s = spi();
  bool asserted = s.active && s.selected() == chip_select;
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
