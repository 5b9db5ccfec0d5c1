// The trace written out: a VCD a waveform viewer can open, with the reset pulse
// where it happened, and a text log with the link frames as hex bytes.
#include "trace.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "program_run.h"
#include "spi.h"
#include "test_stand.h"

namespace {

TEST(Trace, VcdDeclaresTheResetLineAndShowsThePulseEdges600msApart) {
  TestStand().start_program();
  TempDir dir;
  ASSERT_TRUE(sim::trace_write_vcd(dir.file("run.vcd")));
  std::string vcd = read_file(dir.file("run.vcd"));

  EXPECT_NE(vcd.find("$timescale 1us $end"), std::string::npos);
  ASSERT_NE(vcd.find("$var wire 1 g14 RST $end"), std::string::npos);
  EXPECT_NE(vcd.find("$enddefinitions $end"), std::string::npos);

  // Walk the value changes, keeping the time of each change of g14 (RST).
  std::istringstream in(vcd.substr(vcd.find("$enddefinitions")));
  std::string line;
  unsigned long long now = 0;
  std::vector<std::pair<char, unsigned long long>> rst;
  while (std::getline(in, line)) {
    if (line.starts_with("#")) now = std::stoull(line.substr(1));
    if (line == "0g14" || line == "1g14") rst.emplace_back(line[0], now);
  }
  ASSERT_EQ(rst.size(), 2u);
  EXPECT_EQ(rst[0].first, '0');
  EXPECT_EQ(rst[1].first, '1');
  EXPECT_EQ(rst[1].second - rst[0].second, 600'000u);
}

TEST(Trace, LogShowsTheRequestAndItsReplyAsHexBytes) {
  TestStand().number(27).firmware(0x0145).start_program();
  SPI_command_ShieldRead();
  bcm2835_delay(1000);
  TempDir dir;
  ASSERT_TRUE(sim::trace_write_log(dir.file("run.log")));
  std::string log = read_file(dir.file("run.log"));

  EXPECT_NE(log.find("CE0  MOSI A1 02 EF 00 00 00 7E 54  MISO 00 00 00 00 00 00 00 00"), std::string::npos) << log;
  EXPECT_NE(log.find("MOSI 00 00 00 00 00 00 00 00  MISO A1 02 00 01 45 1B F1 43"), std::string::npos) << log;
  EXPECT_NE(log.find("     600.000 ms  RST          1\n"), std::string::npos) << log;
}

}  // namespace
