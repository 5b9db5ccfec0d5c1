// SPI0 and the trace as a stand engineer reads them: each transfer one
// chip-select window as long as its bits, a text log with every byte of every
// window, a VCD whose SPI lines a logic analyser's decoder turns back into the
// same frames, both on disk as events happen.
#include "board/trace.h"

#include <bcm2835.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "bcm2835_ext.h"
#include "board/board.h"
#include "program_run.h"
#include "board/spi0.h"
#include "test_stand.h"
#include "board/wiring.h"

namespace {

using namespace sim::line;

// What a logic analyser makes of the VCD: per CE0 pulse, MOSI and MISO sampled
// at each rising SCLK edge (mode 0, MSB first) as "A1 02/00 7E"; other lines'
// changes as "RST 1@600"; the periods between rising edges inside a frame.
using Decoded = std::pair<std::string, std::set<uint64_t>>;
Decoded decode_vcd(const std::string& path) {
  static const std::set<std::string> spi_lines = {"CE0", "SCLK", "MOSI", "MISO"};
  std::string text, mosi, miso;
  std::set<uint64_t> bit_ns;
  std::map<std::string, std::string> name_of;
  std::map<std::string, char> level;
  uint64_t now = 0, rise = 0, bits = 0, mo = 0, mi = 0;
  auto hex = [](std::string& to, uint64_t byte) {
    char t[4];
    std::snprintf(t, sizeof t, to.empty() ? "%02X" : " %02X", static_cast<unsigned>(byte & 0xFF));
    to += t;
  };
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
      EXPECT_NE(was, row[0]) << name << " written again unchanged at " << now;
      if (name == "CE0" && row[0] == '0') mosi.clear(), miso.clear(), bits = 0;
      if (name == "CE0" && row[0] == '1' && was == '0' && bits) text += mosi + "/" + miso + "\n";
      if (!spi_lines.contains(name) && row[0] != 'x') text += name + " " + row[0] + "@" + std::to_string(now) + "\n";
      if (name != "SCLK" || row[0] != '1' || level["CE0"] != '0') continue;
      mo = mo << 1 | (level["MOSI"] == '1'), mi = mi << 1 | (level["MISO"] == '1');
      if (bits++) bit_ns.insert(now - rise);
      rise = now;
      if (bits % 8 == 0) hex(mosi, mo), hex(miso, mi);
    }
  }
  return {text, bit_ns};
}

// Answers each byte with the next number of a count, so every MISO byte tells
// which exchange it came from; 0xEE for a byte exchanged with CE0 inactive.
struct CountingDevice : sim::SpiDevice {
  uint8_t count = 0;
  uint8_t exchange(const sim::StandLock& lock, uint8_t, sim::StandTime) override {
    return sim::board_level_locked(lock, ce0) == LOW ? ++count : 0xEE;
  }
};

// Three transfers (the last after a byte that waited for the program), RST set as an output, a GPIO
// past the board's last line (no line at all), and at 200 ms, as on a free-running clock, a line
// changed by another thread while a window is open and a window shorter than its bits; then an abort.
[[noreturn]] void transfer_and_abort(const TempDir& dir) {
  std::string error;
  sim::trace_open(dir.path(), "spi", error);
  TestStand().start();
  CountingDevice device;
  sim::spi0_attach(0, &device);
  bcm2835_spi_begin();
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);  // runs as 888: 3552 ns a bit
  const uint8_t request[] = {0xA1, 0x02, 0xEF, 0x00, 0x00, 0x00, 0x7E, 0x54};
  uint8_t got[3] = {};
  bcm2835_spi_transfer_write(request, 8);
  for (uint8_t gpio : {rst, sim::kGpioLines}) bcm2835_gpio_fsel(gpio, BCM2835_GPIO_FSEL_OUTP);  // RST first low
  bcm2835_delay(100);
  bcm2835_gpio_write(sim::kGpioLines, HIGH);
  bcm2835_spi_transfer_read(got, 3);
  bcm2835_spi_setClockDivider(251);  // runs as 250: 1 us a bit
  sim::spi0_attach(0, nullptr);      // nothing on CE0 reads as zeros
  bcm2835_peri_write(bcm2835_spi0 + BCM2835_SPI0_CS / 4, BCM2835_SPI0_CS_TA);
  bcm2835_peri_write(bcm2835_spi0 + BCM2835_SPI0_FIFO / 4, 0x5A), bcm2835_delay(1);  // the wire idles
  bcm2835_spi_transfer_write(request, 2);
  {
    sim::StandLock lock(sim::stand_mutex());
    sim::trace_line_locked(200'000, ce0, 0);
    sim::trace_window_begin_locked();
    sim::trace_line_locked(200'005, rel0_out, 1);
    sim::trace_window_locked({200'000, 0, {0xA5}, {0x3C}, 200'010, 3552, {}});
    sim::trace_line_locked(200'010, ce0, 1);
  }
  std::fprintf(stderr, "read %02X %02X %02X\n", got[0], got[1], got[2]);
  std::abort();
}

TEST(SpiTraceDeathTest, EachTransferIsOneWindowOfItsBytesAndBitTimeInTimeOrderAllOnDiskBeforeAnAbort) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child must see this test's directory
  TempDir dir;
  EXPECT_DEATH(transfer_and_abort(dir), "read 09 0A 0B");  // a read hands back its own bytes
  EXPECT_EQ(read_file(dir.file("spi.log")),
            "       0.000 ms  REL1_IN      1\n"  // GPIO 7 is CE1 while SPI0 holds it
            "       0.000 ms  CE0          1\n"
            "       0.000 ms  MISO         0\n"
            "       0.000 ms  MOSI         0\n"
            "       0.000 ms  SCLK         0\n"
            "       0.000 ms  CE0          0\n"
            "       0.000 ms  CE0  MOSI A1 02 EF 00 00 00 7E 54  MISO 01 02 03 04 05 06 07 08\n"
            "       0.228 ms  CE0          1\n"
            "       0.228 ms  RST          0\n"
            "     100.228 ms  CE0          0\n"
            "     100.228 ms  CE0  MOSI 00 00 00  MISO 09 0A 0B\n"
            "     100.314 ms  CE0          1\n"
            "     100.314 ms  CE0          0\n"
            "     100.314 ms  CE0  MOSI 5A A1 02  MISO 00 00 00\n"
            "     101.330 ms  CE0          1\n"
            "     200.000 ms  CE0          0\n"
            "     200.000 ms  CE0  MOSI A5  MISO 3C\n"
            "     200.005 ms  REL0_OUT     1\n"
            "     200.010 ms  CE0          1\n");
  EXPECT_TRUE(read_file(dir.file("spi.vcd")).starts_with("$version velk simulated stand $end\n$timescale 1ns $end\n"));
  EXPECT_EQ(decode_vcd(dir.file("spi.vcd")),
            Decoded("REL1_IN 1@0\nA1 02 EF 00 00 00 7E 54/01 02 03 04 05 06 07 08\nRST 0@228000\n00 00 00/09 0A 0B\n"
                    "5A A1 02/00 00 00\nREL0_OUT 1@200005000\nA5/3C\n",
                    std::set<uint64_t>{1000, 1250, 3552, 993'000}));  // 1250: 8 bits squeezed into 10 us; then the gap
}

// A program on the stand, unlike a test, does not ask to keep the trace
// (a transfer keeps three events: CE0 active, the window, CE0 inactive).
TEST(Trace, NothingIsKeptInMemoryUnlessAsked) {
  TempDir dir;  // the stand's files go there
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  ASSERT_TRUE(bcm2835_init() && bcm2835_spi_begin());
  uint8_t frame[8] = {};
  auto kept = [] { return std::to_string(sim::trace_lines().size() + sim::trace_windows().size()) + " "; };
  std::string seen = (bcm2835_spi_transfer_write(frame, 8), kept());
  sim::trace_keep_in_memory(true);
  seen += (bcm2835_spi_transfer_write(frame, 8), kept());
  sim::trace_keep_in_memory(false);
  EXPECT_EQ(seen + kept(), "0 3 0 ");
}

// A half-taken name (run.vcd, run.2.log) is left as it was.
TEST(Trace, OpenTakesTheNextFreeNamesAndSaysWhyItCannot) {
  TempDir dir;
  std::ofstream(dir.file("run.vcd")) << "";
  std::ofstream(dir.file("run.2.log")) << "";
  std::string error, said;
  for (auto [where, name] :
       {std::pair{dir.file("missing"), "run"}, {dir.path(), "../run"}, {dir.path(), "run"}, {dir.path(), "other"}})
    said += (sim::trace_open(where, name, error) ? sim::trace_vcd_path() + " " + sim::trace_log_path() : error) + "\n";
  EXPECT_EQ(said, dir.file("missing/run.vcd: No such file or directory\ncannot name a trace after \"../run\"\n") +
                      dir.file("run.3.vcd ") + dir.file("run.3.log\nthe trace is already written to ") +
                      dir.file("run.3.log\n"));
  EXPECT_FALSE(std::ifstream(dir.file("run.2.vcd")));
}

}  // namespace
