// The stand program as the operator meets it: start-up, main menu, the shield's
// parameters and number, and how it stops when the machine or the console does
// not allow it to work.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_capture.h"
#include "program_run.h"

namespace {

const std::string kVersion = "Версия: v1.4.0\n\n";
const std::string kMenu =
    "\nВведите номер утилиты и нажмите enter:\n1 - Прочесть шилд\n2 - Тест шилда\n3 - Смена номера шилда\n"
    "exit - Выход\n\n";

// The shield's parameters and a new number, which it shows at the next read.
// Only a word starting with "exit" leaves, and only the exact option in first
// place chooses the spectrum mode. A machine that does not map the peripherals
// or cannot start the link's thread, and input ending at a question, each have
// their message and their own status; unable to map anything, the library
// says why and no line and no bus is touched.
TEST(StandProgramE2e, RunsTheMenuUntilExitAndStopsWithTheStatusOfWhatEndedIt) {
  struct Case {
    const char* input;
    std::vector<std::string> args;
    Env env;
    int status;
    std::string out;
  };
  const std::string harmonic = "Запуск в режиме считывания гармоник.\n", no = "Ошибка: нет доступа к ";
  auto shield = [](int number) {
    return "Параметры шилда\n---------------\nFirmware : 325\nShield   : " + std::to_string(number) +
           "\nShield ID: 32001f3436510b38383437\n\n";
  };
  const std::string asked = "Новый номер shield:\n";
  const std::string numbered = kVersion + kMenu + shield(26) + asked + "ERROR: Номер шилда должен быть числом.\n" +
                               kMenu + shield(26) + asked + "Номер шилда изменен!\n" + kMenu + shield(42) + kMenu;
  const Case cases[] = {
      {"3\n0000099x\n3\n00000042\n1\nexit\n", {}, {}, 1, numbered},
      {"ex\nExit\n4\nexitnow\n", {}, {}, 1, kVersion + times(4, kMenu)},
      {"exit\n", {"-harmonic"}, {}, 1, kVersion + harmonic + kMenu},
      {"exit\n", {"-Harmonic"}, {}, 1, kVersion + kMenu},
      {"exit\n", {"-x", "-harmonic"}, {}, 1, kVersion + kMenu},
      {"exit\n", {"-harmonics"}, {}, 1, kVersion + kMenu},
      {"", {}, {}, 4, kVersion + kMenu + "Ошибка: ввод оператора закрыт, работа программы завершена.\n"},
      {"", {}, {{"VELK_SIM_MAPPING", "none"}}, 2, kVersion + no + "периферии Raspberry Pi (требуются права root).\n"},
      {"", {}, {{"VELK_SIM_MAPPING", "gpio-only"}}, 2, kVersion + no + "контроллеру SPI (требуются права root).\n"},
      {"", {}, {{"VELK_SIM_THREADS", "fail"}}, 3, kVersion + "Ошибка: не удалось запустить поток обмена с шилдом.\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    auto run = run_stand(dir, c.input, c.args, c.env);
    EXPECT_EQ(run.status, c.status) << c.input;
    EXPECT_EQ(run.out, c.out) << c.input;
    bool unmapped = &c == &cases[7];
    EXPECT_EQ(run.err.find("bcm2835_init: Unable to open /dev/gpiomem") != std::string::npos, unmapped) << run.err;
    EXPECT_EQ(stand_trace(dir).empty(), unmapped);
  }
}

}  // namespace
