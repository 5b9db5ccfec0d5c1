// The stand program's write-only and read-only SPI transfers, run on the
// simulated SPI0 registers against a scripted device on CE0: what goes out,
// what is kept, and how the chip select frames each transfer in stand time.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "bcm2835_ext.h"
#include "board.h"
#include "program_run.h"
#include "spi0.h"
#include "test_stand.h"
#include "trace.h"
#include "wiring.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Shifts out the scripted bytes of one window after another; fails the test on
// a window it has no script for, a byte exchanged while CE0 is inactive, or a
// script left unused. What the stand sent is checked in the trace.
class ScriptedDevice : public sim::SpiDevice {
 public:
  explicit ScriptedDevice(std::vector<Bytes> windows) : windows_(windows.begin(), windows.end()) {
    sim::spi0_attach(0, this);
  }
  ~ScriptedDevice() override {
    sim::spi0_attach(0, nullptr);
    EXPECT_TRUE(windows_.empty()) << windows_.size() << " scripted window(s) left unused";
  }
  void select(const sim::StandLock&, sim::StandTime) override {
    EXPECT_FALSE(windows_.empty()) << "unexpected chip-select window";
    sent_ = 0;
  }
  uint8_t exchange(const sim::StandLock& lock, uint8_t, sim::StandTime) override {
    EXPECT_EQ(sim::board_level_locked(lock, sim::line::ce0), LOW) << "byte exchanged with CE0 inactive";
    return !windows_.empty() && sent_ < windows_.front().size() ? windows_.front()[sent_++] : 0x00;
  }
  void deselect(const sim::StandLock&, sim::StandTime) override {
    if (!windows_.empty()) windows_.pop_front();
  }

 private:
  std::deque<Bytes> windows_;
  size_t sent_ = 0;
};

// A request exchange of the link (a write and two reads, 100 ms apart), then
// transfers of other lengths: one chip-select pulse each, as long as its bits
// at 281 kHz (rounded up to the microsecond); a read hands back only its own
// bytes, never what the transfer before it left in the FIFO.
TEST(SpiTransfer, EachTransferIsOneWindowOfExactlyItsBytesAndBitTime) {
  ASSERT_TRUE(TestStand().start());
  ASSERT_EQ(bcm2835_spi_begin(), 1);
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);
  TempDir dir;
  std::string error;
  ASSERT_TRUE(sim::trace_open(dir.path(), "spi", error)) << error;
  const Bytes request = {0xA1, 0x02, 0xEF, 0x00, 0x00, 0x00, 0x7E, 0x54};
  const Bytes reply = {0xA1, 0x02, 0x00, 0x01, 0x45, 0x1A, 0x31, 0x82};
  ScriptedDevice device({Bytes(8, 0x11), Bytes(8, 0x22), reply, {0x33}, {0x7F, 0x80, 0x01}, {}});
  Bytes got(8), short_got(3, 0xEE);
  bcm2835_spi_transfer_write(request.data(), 8);
  bcm2835_delay(100);
  bcm2835_spi_transfer_read(got.data(), 8);
  bcm2835_delay(100);
  bcm2835_spi_transfer_read(got.data(), 8);
  EXPECT_EQ(got, reply);
  const uint8_t one = 0x5A;
  bcm2835_spi_transfer_write(&one, 1);
  bcm2835_spi_transfer_read(short_got.data(), 3);
  EXPECT_EQ(short_got, (Bytes{0x7F, 0x80, 0x01}));
  bcm2835_spi_setClockDivider(251);  // runs as 250: 1 us a bit
  bcm2835_spi_transfer_write(&one, 1);
  EXPECT_EQ(read_file(dir.file("spi.log")),
            "       0.000 ms  CE0          0\n"
            "       0.000 ms  CE0  MOSI A1 02 EF 00 00 00 7E 54  MISO 11 11 11 11 11 11 11 11\n"
            "       0.228 ms  CE0          1\n"
            "     100.228 ms  CE0          0\n"
            "     100.228 ms  CE0  MOSI 00 00 00 00 00 00 00 00  MISO 22 22 22 22 22 22 22 22\n"
            "     100.456 ms  CE0          1\n"
            "     200.456 ms  CE0          0\n"
            "     200.456 ms  CE0  MOSI 00 00 00 00 00 00 00 00  MISO A1 02 00 01 45 1A 31 82\n"
            "     200.684 ms  CE0          1\n"
            "     200.684 ms  CE0          0\n"
            "     200.684 ms  CE0  MOSI 5A  MISO 33\n"
            "     200.713 ms  CE0          1\n"
            "     200.713 ms  CE0          0\n"
            "     200.713 ms  CE0  MOSI 00 00 00  MISO 7F 80 01\n"
            "     200.799 ms  CE0          1\n"
            "     200.799 ms  CE0          0\n"
            "     200.799 ms  CE0  MOSI 5A  MISO 00\n"
            "     200.807 ms  CE0          1\n");
}

}  // namespace
