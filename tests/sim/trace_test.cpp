// The trace as a stand engineer reads it: a VCD whose SPI lines a logic
// analyser's decoder turns back into the frames, a text log with every byte of
// every window, both on disk as events happen, and nothing kept in memory
// unless a test asks.
#include "trace.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "bcm2835_ext.h"
#include "program_run.h"
#include "spi.h"
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
      std::istringstream var(row.substr(4));
      std::string type, width, id, name;
      var >> type >> width >> id >> name;
      name_of[id] = name;
    } else if (row.starts_with("#")) {
      uint64_t t = std::stoull(row.substr(1));
      d.monotonic = d.monotonic && (t > now || (now == 0 && t == 0));
      now = t;
    } else if (!row.empty() && row[0] != '$') {
      auto name = name_of.at(row.substr(1));
      char was = level[name];
      level[name] = row[0];
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

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

TEST(Trace, EveryWindowDecodesBackFromTheVcdAndStaysWholeInTheLog) {
  TempDir dir;
  open_trace(dir, "run");
  TestStand().number(27).firmware(0x0145).start_program();
  SPI_command_ShieldRead();
  bcm2835_delay(1000);
  Bytes long_frame(20);
  for (size_t i = 0; i < long_frame.size(); ++i) long_frame[i] = static_cast<uint8_t>(0x80 + i);
  bcm2835_spi_transfer_write(long_frame.data(), static_cast<uint32_t>(long_frame.size()));

  auto vcd = read_file(dir.file("run.vcd"));
  EXPECT_TRUE(has(vcd, "$timescale 1ns $end\n$scope module stand $end\n$var wire 1 g2 EK_OUT $end\n")) << vcd;
  auto decoded = decode_vcd(vcd);
  std::vector<Bytes> mosi, miso;
  for (auto& w : sim::trace_windows()) mosi.push_back(w.mosi), miso.push_back(w.miso);
  ASSERT_EQ(mosi.size(), 4u);
  EXPECT_EQ(decoded.mosi, mosi);
  EXPECT_EQ(decoded.miso, miso);
  EXPECT_EQ(decoded.bit_ns, std::set<uint64_t>{3552}) << "divider 889 runs as 888 at 250 MHz";
  EXPECT_TRUE(decoded.monotonic);

  auto log = read_file(dir.file("run.log"));
  EXPECT_EQ(log.substr(log.find("    1200.456 ms  CE0  MOSI")),
            "    1200.456 ms  CE0  MOSI 00 00 00 00 00 00 00 00  MISO A1 02 00 01 45 1B F1 43\n"
            "    1200.684 ms  CE0          1\n"
            "    2000.000 ms  CE0          0\n"
            "    2000.000 ms  CE0  MOSI 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F 90 91 92 93  "
            "MISO A1 02 00 01 45 1B F1 43 00 00 00 00 00 00 00 00 00 00 00 00\n"
            "    2000.569 ms  CE0          1\n");
}

// On a free-running clock another thread may change a line while a window is
// open, and a window may take less stand time than its bits.
TEST(Trace, ALineChangedDuringAWindowFollowsItInTimeOrder) {
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

// On a free-running clock stand time moves between any two looks at it; the
// bits must still fall inside their chip-select pulse.
TEST(Trace, BitsStayInsideTheirChipSelectOnAFreeRunningClock) {
  TempDir dir;
  open_trace(dir, "run");
  ASSERT_TRUE(TestStand().free_running(sim::kMaxSpeed).start());
  ASSERT_EQ(bcm2835_spi_begin(), 1);
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);
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
  bcm2835_gpio_fsel(rst, BCM2835_GPIO_FSEL_OUTP);
  bcm2835_spi_transfer_write(frame, 8);
  EXPECT_TRUE(sim::trace_lines().empty() && sim::trace_windows().empty());
  sim::trace_keep_in_memory(true);
  bcm2835_gpio_write(rst, HIGH);
  bcm2835_spi_transfer_write(frame, 8);
  EXPECT_EQ(sim::trace_lines().size(), 3u) << "RST, CE0 active, CE0 inactive";
  EXPECT_EQ(sim::trace_windows().size(), 1u);
  sim::trace_keep_in_memory(false);
  EXPECT_TRUE(sim::trace_lines().empty() && sim::trace_windows().empty());
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
  EXPECT_EQ(sim::trace_vcd_path(), dir.file("run.3.vcd"));
  EXPECT_EQ(sim::trace_log_path(), dir.file("run.3.log"));
  EXPECT_FALSE(std::ifstream(dir.file("run.2.vcd"))) << "a half-taken name is left as it was";
  EXPECT_FALSE(sim::trace_open(dir.path(), "other", error));
  EXPECT_EQ(error, "the trace is already written to " + dir.file("run.3.log"));
}

}  // namespace
