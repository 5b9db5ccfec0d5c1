// The trace written out: a VCD a waveform viewer can open, with the reset pulse
// where it happened, and a text log with the link frames as hex bytes.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "CRC16.h"
#include "program_run.h"
#include "spi.h"
#include "test_stand.h"
#include "trace.h"

namespace {

std::string hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (auto b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

std::vector<uint8_t> sealed(std::vector<uint8_t> frame) {
  uint16_t crc = ModRTU_CRC(frame.data(), static_cast<uint16_t>(frame.size()));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc));
  return frame;
}

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

  auto request = sealed({0xA1, 0x02, 0xEF, 0x00, 0x00, 0x00});
  auto reply = sealed({0xA1, 0x02, 0x00, 0x01, 0x45, 27});
  EXPECT_NE(log.find("CE0  MOSI " + hex(request) + "  MISO 00 00 00 00 00 00 00 00"), std::string::npos) << log;
  EXPECT_NE(log.find("MOSI 00 00 00 00 00 00 00 00  MISO " + hex(reply)), std::string::npos) << log;
  EXPECT_NE(log.find("     600.000 ms  RST          1\n"), std::string::npos) << log;
}

}  // namespace
