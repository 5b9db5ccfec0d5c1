// Test passes as the operator runs them, with the shield's firmware deciding.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "program_run.h"

namespace {

const std::string kSetUp =
    "\nПрошивать дамп памяти у каждого шилда? (y/n):\nПрошивка шилда отключена\n\n"
    "\nВведите номер шилда:\n1: Общий;\n2: Kordent Edition;\nВыбран общий\n\n";
const std::string kAgain = "\nWarning: Желаете повторить испытания? y/n \n";

std::string times(int n, const std::string& text) {
  std::string out;
  while (n-- > 0) out += text;
  return out;
}

std::string parameters(int firmware) {
  return "Параметры шилда\n---------------\nFirmware : " + std::to_string(firmware) + "\nShield   : 26\n";
}

// The trace lines of one stand line, e.g. "600.000 RST 1".
std::string line_trace(const std::string& trace, const std::string& name) {
  std::istringstream in(trace);
  std::string time, unit, line, level, out;
  while (in >> time >> unit >> line) {
    if (line == name && in >> level) out += time + " " + line + " " + level + "\n";
    std::getline(in, level);
  }
  return out;
}

// The shield stays in reset 600 ms, settles 200 ms, the next pass starts 100 ms
// later and reads the shield for 1000 ms before asking whether to go on.
TEST(TestPassE2e, PassesAreSeparatedByAResetPulseAndAPause) {
  TempDir dir;
  std::ofstream(dir.file("shield.state")) << "firmware=324\n";
  auto run = run_stand(dir, "2\nn\n1\ny\ny\nn\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(run.out.find(kSetUp) + kSetUp.size()),
            parameters(324) + kAgain + "\n" + parameters(324) + kAgain + "\n" + parameters(324) + kAgain);
  EXPECT_EQ(line_trace(stand_trace(dir).value_or(""), "RST"),
            "0.000 RST 0\n600.000 RST 1\n2000.000 RST 0\n2600.000 RST 1\n3900.000 RST 0\n4500.000 RST 1\n");
}

TEST(TestPassE2e, AShieldThatCannotBeTestedEndsTheRun) {
  struct Case {
    const char* state;
    const char* input;
    std::string tail;
  };
  const Case cases[] = {
      {"firmware=321\n", "2\nn\n1\n",
       times(3, parameters(321) + "Требуется обновление прошивки.\n") +
           "Невозможно проверить шилд, проверти STLINK и микроконтроллер или замените Dump.bin\n"},
      // The parameters and the first identifier word are answered, then the
      // link falls silent: that pass ends, the next one stops before reading.
      {"link.fault=dies\nlink.count=2\n", "2\nn\n1\ny\ny\n",
       "Параметры шилда\n---------------\nFirmware : 325\nShield   : 26\nShield ID: 32001f00\n\n" + kAgain +
           "\nОшибка! Проблема передачи по SPI.\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::ofstream(dir.file("shield.state")) << c.state;
    auto run = run_stand(dir, c.input);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(run.out.find(kSetUp) + kSetUp.size()), c.tail);
  }
}

}  // namespace
