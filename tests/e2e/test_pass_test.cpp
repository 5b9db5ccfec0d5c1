// Test passes as the operator runs them, with the shield's firmware deciding.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "console_capture.h"
#include "program_run.h"

namespace {

const std::string kSetUp =
    "\nПрошивать дамп памяти у каждого шилда? (y/n):\nПрошивка шилда отключена\n\n"
    "\nВведите номер шилда:\n1: Общий;\n2: Kordent Edition;\nВыбран общий\n\n";
const std::string kAgain = "\nWarning: Желаете повторить испытания? y/n \n";

std::string parameters(int firmware) {
  return "Параметры шилда\n---------------\nFirmware : " + std::to_string(firmware) + "\nShield   : 26\n";
}

// What the program printed after the set-up questions, and the stand times of
// the shield's reset line: each pass reads the shield for 1000 ms before asking
// whether to go on, then the shield stays in reset 600 ms, settles 200 ms, and
// the next pass starts 100 ms later. A shield that cannot be tested ends the run.
TEST(TestPassE2e, PassesAreSeparatedByAResetPulseAndAPauseUntilTheOperatorOrTheShieldEndsThem) {
  struct Case {
    const char* state;
    const char* answers;
    std::string tail;
    const char* resets;
  };
  const Case cases[] = {
      {"firmware=324\n", "2\nn\n1\ny\ny\nn\n", times(2, parameters(324) + kAgain + "\n") + parameters(324) + kAgain,
       "0.000 0\n600.000 1\n2000.000 0\n2600.000 1\n3900.000 0\n4500.000 1\n"},
      {"firmware=321\n", "2\nn\n1\n",
       times(3, parameters(321) + "Требуется обновление прошивки.\n") +
           "Невозможно проверить шилд, проверти STLINK и микроконтроллер или замените Dump.bin\n",
       "0.000 0\n600.000 1\n"},
      // The parameters and the first identifier word are answered, then the
      // link falls silent: that pass ends, the next one stops before reading.
      {"link.fault=dies\nlink.count=2\n", "2\nn\n1\ny\ny\n",
       parameters(325) + "Shield ID: 32001f00\n\n" + kAgain + "\nОшибка! Проблема передачи по SPI.\n",
       "0.000 0\n600.000 1\n3250.000 0\n3850.000 1\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::ofstream(dir.file("shield.state")) << c.state;
    auto run = run_stand(dir, c.answers);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(run.out.find(kSetUp) + kSetUp.size()), c.tail);
    std::istringstream trace(stand_trace(dir));
    std::string time, unit, line, level, resets;
    while (trace >> time >> unit >> line && std::getline(trace, level))
      if (line == "RST") resets += time + " " + std::to_string(std::stoi(level)) + "\n";
    EXPECT_EQ(resets, c.resets) << c.state;
  }
}

}  // namespace
