// SPI0 and the trace as a stand engineer reads them: each transfer one
// chip-select window as long as its bits, a text log with every byte of every
// window, a VCD whose SPI lines a logic analyser's decoder turns back into the
// same frames, both on disk as events happen.
#include "trace.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

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

using namespace sim::line;

// What a logic analyser makes of the VCD: per CE0 pulse, MOSI and MISO sampled
// at each rising SCLK edge (mode 0, MSB first) as "A1 02/00 7E"; the periods
// between rising edges inside a frame; other lines' changes as "RST 1@600".
struct Decoded {
  std::string frames, lines;
  std::set<uint64_t> bit_ns;
};

std::string hex(uint64_t byte, const std::string& after) {
  char text[4];
  std::snprintf(text, sizeof text, after.empty() ? "%02X" : " %02X", static_cast<unsigned>(byte & 0xFF));
  return text;
}

Decoded decode_vcd(const std::string& path) {
  static const std::set<std::string> spi_lines = {"CE0", "SCLK", "MOSI", "MISO"};
  Decoded d;
  std::map<std::string, std::string> name_of;
  std::map<std::string, char> level;
  std::string mosi, miso;
  uint64_t now = 0, rise = 0, bits = 0, mo = 0, mi = 0;
  std::ifstream in(path);
  for (std::string row; std::getline(in, row);) {
    std::istringstream words(row);
    if (std::string var, type, width, id, label; words >> var >> type >> width >> id >> label && var == "$var") {
      name_of[id] = label;
    } else if (row.starts_with("#")) {
      uint64_t t = std::stoull(row.substr(1));
      EXPECT_TRUE(t > now || t + now == 0) << "the time goes back to " << t;
      now = t;
    } else if (!row.empty() && row[0] != '$') {
      auto name = name_of.at(row.substr(1));
      char was = std::exchange(level[name], row[0]);
      if (name == "CE0" && row[0] == '0') mosi.clear(), miso.clear(), bits = 0;
      if (name == "CE0" && row[0] == '1' && was == '0' && bits) d.frames += mosi + "/" + miso + "\n";
      if (!spi_lines.contains(name) && row[0] != 'x') d.lines += name + " " + row[0] + "@" + std::to_string(now) + "\n";
      if (name != "SCLK" || row[0] != '1' || level["CE0"] != '0') continue;
      mo = mo << 1 | (level["MOSI"] == '1'), mi = mi << 1 | (level["MISO"] == '1');
      if (bits++) d.bit_ns.insert(now - rise);
      rise = now;
      if (bits % 8 == 0) mosi += hex(mo, mosi), miso += hex(mi, miso);
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
  const uint8_t request[] = {0xA1, 0x02, 0xEF, 0x00, 0x00, 0x00, 0x7E, 0x54};
  uint8_t got[3] = {};
  bcm2835_spi_transfer_write(request, 8);
  bcm2835_delay(100);
  bcm2835_spi_transfer_read(got, 3);
  EXPECT_EQ(got[0] << 16 | got[1] << 8 | got[2], 0x090A0B) << "a read hands back its own bytes";
  bcm2835_spi_setClockDivider(251);  // runs as 250: 1 us a bit
  sim::spi0_attach(0, nullptr);      // nothing on CE0 reads as zeros
  bcm2835_spi_transfer_write(request, 1);

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
  EXPECT_TRUE(read_file(dir.file("spi.vcd")).starts_with("$version velk simulated stand $end\n$timescale 1ns $end\n"));
  auto decoded = decode_vcd(dir.file("spi.vcd"));
  EXPECT_EQ(decoded.frames, "A1 02 EF 00 00 00 7E 54/01 02 03 04 05 06 07 08\n00 00 00/09 0A 0B\nA1/00\n");
  EXPECT_EQ(decoded.bit_ns, (std::set<uint64_t>{1000, 3552}));
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
  auto decoded = decode_vcd(dir.file("run.vcd"));
  EXPECT_EQ(decoded.frames + decoded.lines, "A5/3C\nREL0_OUT 1@1005000\n");
  EXPECT_EQ(decoded.bit_ns, std::set<uint64_t>{1250}) << "8 bits squeezed into 10 us";
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
  EXPECT_EQ(decode_vcd(dir.file("crash.vcd")).lines, "RST 0@0\nRST 1@600000000\n");
}

// A program on the stand, unlike a test, does not ask to keep the trace; a
// GPIO number past the board's last line reaches no line at all.
TEST(Trace, NothingIsKeptInMemoryUnlessAskedAndNothingPastTheBoard) {
  ASSERT_EQ(bcm2835_init(), 1);
  ASSERT_EQ(bcm2835_spi_begin(), 1);
  uint8_t frame[8] = {};
  bcm2835_spi_transfer_write(frame, 8);
  auto kept = [] { return sim::trace_lines().size() + sim::trace_windows().size(); };
  EXPECT_EQ(kept(), 0u);
  sim::trace_keep_in_memory(true);
  bcm2835_spi_transfer_write(frame, 8);
  bcm2835_gpio_fsel(sim::kGpioLines, BCM2835_GPIO_FSEL_OUTP);
  bcm2835_gpio_write(sim::kGpioLines, HIGH);
  EXPECT_EQ(kept(), 3u) << "CE0 active, the window, CE0 inactive";
  sim::trace_keep_in_memory(false);
  EXPECT_EQ(kept(), 0u);
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
