// The stand program's write-only and read-only SPI transfers, run on the
// simulated SPI0 registers against a scripted device on CE0: what goes out,
// what is kept, and how the chip select frames each transfer.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "bcm2835_ext.h"
#include "board.h"
#include "spi0.h"
#include "test_stand.h"
#include "trace.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kCe0 = 8;

struct Exchange {
  Bytes mosi;  // what the device expects to receive in one window
  Bytes miso;  // what it shifts out meanwhile
};

// Plays a list of expected windows; fails the test on an unexpected window, a
// wrong byte, a byte outside a window, or a window left unused.
class ScriptedDevice : public sim::SpiDevice {
 public:
  explicit ScriptedDevice(std::vector<Exchange> script) : script_(script.begin(), script.end()) {
    sim::spi0_attach(0, this);
  }
  ~ScriptedDevice() override {
    sim::spi0_attach(0, nullptr);
    EXPECT_TRUE(script_.empty()) << script_.size() << " scripted exchange(s) left unused";
  }

  void select(const sim::StandLock&, sim::StandTime) override {
    EXPECT_FALSE(selected_) << "selected twice without a deselect";
    EXPECT_FALSE(script_.empty()) << "unexpected chip-select window";
    selected_ = true;
    received_.clear();
  }

  uint8_t exchange(const sim::StandLock& lock, uint8_t mosi, sim::StandTime) override {
    EXPECT_TRUE(selected_) << "byte exchanged outside a chip-select window";
    EXPECT_EQ(sim::board_level_locked(lock, kCe0), LOW) << "CE0 inactive while a byte is exchanged";
    size_t i = received_.size();
    received_.push_back(mosi);
    return !script_.empty() && i < script_.front().miso.size() ? script_.front().miso[i] : 0x00;
  }

  void deselect(const sim::StandLock&, sim::StandTime) override {
    selected_ = false;
    if (script_.empty()) return;
    EXPECT_EQ(received_, script_.front().mosi);
    script_.pop_front();
  }

 private:
  std::deque<Exchange> script_;
  Bytes received_;
  bool selected_ = false;
};

class SpiTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TestStand().start());
    ASSERT_EQ(bcm2835_spi_begin(), 1);
    windows_before_ = sim::trace_windows().size();
  }

  std::vector<sim::SpiWindow> new_windows() const {
    auto all = sim::trace_windows();
    return {all.begin() + static_cast<long>(windows_before_), all.end()};
  }

  size_t windows_before_ = 0;
};

const Bytes kRequest = {0xA1, 0x02, 0xEF, 0x00, 0x00, 0x00, 0x7E, 0x54};

TEST_F(SpiTransfer, WriteSendsExactlyTheBytesInOneWindowAndDropsWhatComesBack) {
  const Bytes frames[] = {kRequest, {0x5A}, {0x00, 0xFF, 0x80}};
  for (auto& frame : frames) {
    windows_before_ = sim::trace_windows().size();
    {
      ScriptedDevice device({{frame, Bytes(frame.size(), 0xC3)}});
      bcm2835_spi_transfer_write(frame.data(), static_cast<uint32_t>(frame.size()));
    }
    auto windows = new_windows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].chip_select, 0);
    EXPECT_EQ(windows[0].mosi, frame);
  }
}

TEST_F(SpiTransfer, ReadSendsZerosAndStoresWhatCameBack) {
  const Bytes replies[] = {{0xA1, 0x02, 0x00, 0x01, 0x45, 0x1A, 0x31, 0x82}, {0x7F}, {0x00, 0x01, 0xFE}};
  for (auto& reply : replies) {
    windows_before_ = sim::trace_windows().size();
    Bytes got(reply.size(), 0xEE);
    {
      ScriptedDevice device({{Bytes(reply.size(), 0x00), reply}});
      bcm2835_spi_transfer_read(got.data(), static_cast<uint32_t>(got.size()));
    }
    EXPECT_EQ(got, reply);
    ASSERT_EQ(new_windows().size(), 1u);
  }
}

// The write leaves its received bytes in the FIFO; the read must clear them
// first or it would hand the request's echo back as the reply.
TEST_F(SpiTransfer, ReadAfterWriteKeepsOnlyItsOwnBytes) {
  const Bytes reply = {0xA1, 0x02, 0x00, 0x01, 0x45, 0x1A, 0x31, 0x82};
  ScriptedDevice device({{kRequest, Bytes(8, 0x11)}, {Bytes(8, 0x00), reply}});
  Bytes got(8, 0xEE);
  bcm2835_spi_transfer_write(kRequest.data(), 8);
  bcm2835_spi_transfer_read(got.data(), 8);
  EXPECT_EQ(got, reply);
}

// One request exchange of the link is a write and two reads: three windows,
// each with its own chip-select pulse.
TEST_F(SpiTransfer, ChipSelectIsActiveForEachTransferOnlyAndEachTransferIsOneWindow) {
  auto lines_before = sim::trace_lines().size();
  ScriptedDevice device({{kRequest, {}}, {Bytes(8, 0), {}}, {Bytes(8, 0), {}}});
  Bytes got(8);
  EXPECT_EQ(sim::board_level(kCe0), HIGH);
  bcm2835_spi_transfer_write(kRequest.data(), 8);
  EXPECT_EQ(sim::board_level(kCe0), HIGH);
  bcm2835_delay(100);
  bcm2835_spi_transfer_read(got.data(), 8);
  EXPECT_EQ(sim::board_level(kCe0), HIGH);
  bcm2835_delay(100);
  bcm2835_spi_transfer_read(got.data(), 8);
  EXPECT_EQ(sim::board_level(kCe0), HIGH);

  std::vector<sim::LineEvent> ce0;
  auto lines = sim::trace_lines();
  for (size_t i = lines_before; i < lines.size(); ++i)
    if (lines[i].gpio == kCe0) ce0.push_back(lines[i]);
  auto windows = new_windows();
  ASSERT_EQ(windows.size(), 3u);
  ASSERT_EQ(ce0.size(), 6u);
  for (size_t i = 0; i < windows.size(); ++i) {
    EXPECT_EQ(ce0[2 * i].level, LOW);
    EXPECT_EQ(ce0[2 * i + 1].level, HIGH);
    EXPECT_EQ(ce0[2 * i].time, windows[i].time) << "window " << i << " opens when CE0 goes active";
    EXPECT_GT(ce0[2 * i + 1].time, ce0[2 * i].time);
    EXPECT_EQ(windows[i].mosi.size(), 8u);
  }
}

}  // namespace
