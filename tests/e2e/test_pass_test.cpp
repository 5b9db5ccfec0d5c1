// Test passes as the operator runs them, with the shield's firmware deciding.
#include <gtest/gtest.h>

#include <fstream>

#include "program_run.h"

namespace {

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

TEST(TestPassE2e, FirmwareThatStaysOutdatedIsReadThreeTimesAndTheRunEnds) {
  TempDir dir;
  std::ofstream(dir.file("shield.state")) << "firmware=321\n";
  auto run = run_program({VELK_STM_TOOL_PATH}, dir.path(), "2\nn\n1\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(count(run.out, "Firmware : 321\n"), 3u);
  EXPECT_EQ(count(run.out, "Требуется обновление прошивки.\n"), 3u);
  EXPECT_NE(run.out.find("Невозможно проверить шилд, проверти STLINK и микроконтроллер или замените Dump.bin\n"),
            std::string::npos);
}

TEST(TestPassE2e, ALinkThatFailsDuringAPassEndsTheRunAtTheNextPass) {
  TempDir dir;
  // The shield answers the parameters and the first identifier word, then falls silent.
  std::ofstream(dir.file("shield.state")) << "link_fault=dies\nlink_fault_count=2\n";
  auto run = run_program({VELK_STM_TOOL_PATH}, dir.path(), "2\nn\n1\ny\ny\ny\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Ошибка! Проблема передачи по SPI.\n"), std::string::npos) << run.out;
  EXPECT_EQ(count(run.out, "Желаете повторить испытания?"), 1u) << "the pass in which the link fails still ends";
  EXPECT_EQ(count(run.out, "Параметры шилда"), 1u) << "the next pass stops before reading";
}

}  // namespace
