// SPI0 and the trace as a stand engineer reads them: each transfer one
// chip-select window as long as its bits, a text log with every byte of every
// window, a VCD whose SPI lines a logic analyser's decoder turns back into the
// same frames, both on disk as events happen.
#include "trace.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "bcm2835_ext.h"
#include "board.h"
#include "program_run.h"
#include "spi0.h"
#include "test_stand.h"
#include "wiring.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace sim::line;

// What a logic analyser makes of the VCD: MOSI and MISO sampled at each rising
// SCLK edge while CE0 is low (SPI mode 0, MSB first), one frame per CE0 pulse.
struct Decoded {
  std::vector<Bytes> mosi, miso;
  std::set<uint64_t> bit_ns;  // periods between rising clock edges in a frame
  bool monotonic = true;
  std::map<std::string, std::string> changes;  // per line: "value@ns " in order
};

Decoded decode_vcd(const std::string& vcd) {
  Decoded d;
  std::map<std::string, std::string> name_of;
  std::map<std::string, char> level;
  Bytes mo, mi;
  uint64_t now = 0, last_rise = 0;
  int bits = 0;
  std::istringstream in(vcd);
  for (std::string row; std::getline(in, row);) {
    if (row.starts_with("$var")) {
      std::string type, width, id, name;
      std::istringstream(row.substr(4)) >> type >> width >> id >> name;
      name_of[id] = name;
    } else if (row.starts_with("#")) {
      uint64_t t = std::stoull(row.substr(1));
      d.monotonic = d.monotonic && (t > now || (now == 0 && t == 0));
      now = t;
    } else if (!row.empty() && row[0] != '$') {
      auto name = name_of.at(row.substr(1));
      char was = std::exchange(level[name], row[0]);
      d.changes[name] += row[0] + ("@" + std::to_string(now) + " ");
      if (name == "CE0" && row[0] == '0') mo.clear(), mi.clear(), bits = 0;
      if (name == "CE0" && row[0] == '1' && was == '0' && bits) d.mosi.push_back(mo), d.miso.push_back(mi);
      if (name != "SCLK" || row[0] != '1' || level["CE0"] != '0') continue;
      if (bits % 8 == 0) mo.push_back(0), mi.push_back(0);
      mo.back() = static_cast<uint8_t>(mo.back() << 1 | (level["MOSI"] == '1'));
      mi.back() = static_cast<uint8_t>(mi.back() << 1 | (level["MISO"] == '1'));
      if (bits++) d.bit_ns.insert(now - last_rise);
      last_rise = now;
    }
  }
  return d;
}

void open_trace(const TempDir& dir, const char* program) {
  std::string error;
  ASSERT_TRUE(sim::trace_open(dir.path(), program, error)) << error;
}

// Answers each byte with the next number of a count, so every MISO byte tells
// which exchange it came from.
struct CountingDevice : sim::SpiDevice {
  uint8_t count = 0;
  uint8_t exchange(const sim::StandLock& lock, uint8_t, sim::StandTime) override {
    EXPECT_EQ(sim::board_level_locked(lock, ce0), LOW) << "byte exchanged with CE0 inactive";
    return ++count;
  }
};

TEST(SpiTrace, EachTransferIsOneWindowOfItsOwnBytesAndBitTimeInTheLogAndTheVcd) {
  TempDir dir;
  open_trace(dir, "spi");
  ASSERT_TRUE(TestStand().start());
  CountingDevice device;
  sim::spi0_attach(0, &device);
  ASSERT_EQ(bcm2835_spi_begin(), 1);
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);  // runs as 888: 3552 ns a bit
  const Bytes request = {0xA1, 0x02, 0xEF, 0x00, 0x00, 0x00, 0x7E, 0x54};
  Bytes got(3, 0xEE);
  bcm2835_spi_transfer_write(request.data(), 8);
  bcm2835_delay(100);
  bcm2835_spi_transfer_read(got.data(), 3);
  EXPECT_EQ(got, (Bytes{9, 10, 11})) << "a read hands back its own bytes, not what the write left";
  bcm2835_spi_setClockDivider(251);  // runs as 250: 1 us a bit
  sim::spi0_attach(0, nullptr);      // nothing on CE0 reads as zeros
  bcm2835_spi_transfer_write(request.data(), 1);

  EXPECT_EQ(read_file(dir.file("spi.log")),
            "       0.000 ms  REL1_IN      1\n"  // GPIO 7 is CE1 while SPI0 holds it
            "       0.000 ms  CE0          1\n"
            "       0.000 ms  MISO         0\n"
            "       0.000 ms  MOSI         0\n"
            "       0.000 ms  SCLK         0\n"
            "       0.000 ms  CE0          0\n"
            "       0.000 ms  CE0  MOSI A1 02 EF 00 00 00 7E 54  MISO 01 02 03 04 05 06 07 08\n"
            "       0.228 ms  CE0          1\n"
            "     100.228 ms  CE0          0\n"
            "     100.228 ms  CE0  MOSI 00 00 00  MISO 09 0A 0B\n"
            "     100.314 ms  CE0          1\n"
            "     100.314 ms  CE0          0\n"
            "     100.314 ms  CE0  MOSI A1  MISO 00\n"
            "     100.322 ms  CE0          1\n");
  auto vcd = read_file(dir.file("spi.vcd"));
  EXPECT_NE(vcd.find("$timescale 1ns $end\n$scope module stand $end\n$var wire 1 g2 EK_OUT $end\n"), vcd.npos);
  auto decoded = decode_vcd(vcd);
  std::vector<Bytes> mosi, miso;
  for (auto& w : sim::trace_windows()) mosi.push_back(w.mosi), miso.push_back(w.miso);
  EXPECT_EQ(decoded.mosi, mosi);
  EXPECT_EQ(decoded.miso, miso);
  EXPECT_EQ(decoded.bit_ns, (std::set<uint64_t>{1000, 3552}));
  EXPECT_TRUE(decoded.monotonic);
}

// On a free-running clock another thread may change a line while a window is
// open, and a window may take less stand time than its bits.
TEST(SpiTrace, ALineChangedDuringAWindowFollowsItInTimeOrder) {
  TempDir dir;
  open_trace(dir, "run");
  {
    sim::StandLock lock(sim::stand_mutex());
    sim::trace_line_locked(1000, ce0, 0);
    sim::trace_window_begin_locked();
    sim::trace_line_locked(1005, rel0_out, 1);
    sim::trace_window_locked({1000, 0, {0xA5}, {0x3C}, 1010, 3552});
    sim::trace_line_locked(1010, ce0, 1);
  }
  EXPECT_EQ(read_file(dir.file("run.log")),
            "       1.000 ms  CE0          0\n"
            "       1.000 ms  CE0  MOSI A5  MISO 3C\n"
            "       1.005 ms  REL0_OUT     1\n"
            "       1.010 ms  CE0          1\n");
  auto decoded = decode_vcd(read_file(dir.file("run.vcd")));
  EXPECT_EQ(decoded.mosi, std::vector<Bytes>{{0xA5}});
  EXPECT_EQ(decoded.miso, std::vector<Bytes>{{0x3C}});
  EXPECT_EQ(decoded.bit_ns, std::set<uint64_t>{1250}) << "8 bits squeezed into 10 us";
  EXPECT_EQ(decoded.changes["REL0_OUT"], "x@0 1@1005000 ");
  EXPECT_TRUE(decoded.monotonic);
}

// Stand time moves between any two looks at it; the bits must still fall
// inside their chip-select pulse.
TEST(SpiTrace, BitsStayInsideTheirChipSelectOnAFreeRunningClock) {
  TempDir dir;
  open_trace(dir, "run");
  ASSERT_TRUE(TestStand().free_running(sim::kMaxSpeed).start());
  ASSERT_EQ(bcm2835_spi_begin(), 1);
  const Bytes frame = {0xA1, 0x02, 0xEF, 0x00, 0x00, 0x00, 0x7E, 0x54};
  for (int i = 0; i < 20; ++i) bcm2835_spi_transfer_write(frame.data(), 8);
  auto decoded = decode_vcd(read_file(dir.file("run.vcd")));
  EXPECT_EQ(decoded.mosi, std::vector<Bytes>(20, frame));
  EXPECT_TRUE(decoded.monotonic);
}

TEST(TraceDeathTest, EverythingBeforeAnAbortIsOnDisk) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child must see this test's directory
  TempDir dir;
  EXPECT_DEATH(
      {
        open_trace(dir, "crash");
        TestStand().start();
        bcm2835_gpio_fsel(rst, BCM2835_GPIO_FSEL_OUTP);
        bcm2835_delay(600);
        bcm2835_gpio_write(rst, HIGH);
        std::abort();
      },
      "");
  EXPECT_EQ(read_file(dir.file("crash.log")), "       0.000 ms  RST          0\n     600.000 ms  RST          1\n");
  EXPECT_EQ(decode_vcd(read_file(dir.file("crash.vcd"))).changes["RST"], "x@0 0@0 1@600000000 ");
}

// A program on the stand, unlike a test, does not ask to keep the trace.
TEST(Trace, NothingIsKeptInMemoryUnlessAsked) {
  ASSERT_EQ(bcm2835_init(), 1);
  ASSERT_EQ(bcm2835_spi_begin(), 1);
  uint8_t frame[8] = {};
  bcm2835_spi_transfer_write(frame, 8);
  auto kept = [] { return sim::trace_lines().size() + sim::trace_windows().size(); };
  EXPECT_EQ(kept(), 0u);
  sim::trace_keep_in_memory(true);
  bcm2835_spi_transfer_write(frame, 8);
  EXPECT_EQ(kept(), 3u) << "CE0 active, the window, CE0 inactive";
  sim::trace_keep_in_memory(false);
  EXPECT_EQ(kept(), 0u);
}

TEST(Trace, ALineNumberPastTheBoardReachesNoOtherLine) {
  ASSERT_TRUE(TestStand().start());
  bcm2835_gpio_fsel(0, BCM2835_GPIO_FSEL_OUTP);
  bcm2835_gpio_fsel(sim::kGpioLines, BCM2835_GPIO_FSEL_OUTP);
  bcm2835_gpio_write(sim::kGpioLines, HIGH);
  EXPECT_EQ(sim::trace_lines().size(), 1u) << "GPIO 0 configured, and nothing else";
}

TEST(Trace, OpenTakesTheNextFreeNamesAndSaysWhyItCannot) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(sim::trace_open(dir.file("missing"), "run", error));
  EXPECT_EQ(error, dir.file("missing") + "/run.vcd: No such file or directory");
  EXPECT_FALSE(sim::trace_open(dir.path(), "../run", error));
  EXPECT_EQ(error, "cannot name a trace after \"../run\"");
  std::ofstream(dir.file("run.vcd")) << "";
  std::ofstream(dir.file("run.2.log")) << "";
  ASSERT_TRUE(sim::trace_open(dir.path(), "run", error)) << error;
  EXPECT_EQ(sim::trace_vcd_path() + sim::trace_log_path(), dir.file("run.3.vcd") + dir.file("run.3.log"));
  EXPECT_FALSE(std::ifstream(dir.file("run.2.vcd"))) << "a half-taken name is left as it was";
  EXPECT_FALSE(sim::trace_open(dir.path(), "other", error));
  EXPECT_EQ(error, "the trace is already written to " + dir.file("run.3.log"));
}

}  // namespace
