// The stand program as the operator meets it: start-up, main menu, the shield's
// parameters and number, and how it stops when the machine or the console does
// not allow it to work.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_run.h"

namespace {

const std::string kVersion = "Версия: v1.4.0\n\n";
const std::string kMenu =
    "\nВведите номер утилиты и нажмите enter:\n1 - Прочесть шилд\n2 - Тест шилда\n3 - Смена номера шилда\n"
    "exit - Выход\n\n";
const std::string kHarmonic = "Запуск в режиме считывания гармоник.\n";
const std::string kShield26 =
    "Параметры шилда\n---------------\nFirmware : 325\nShield   : 26\nShield ID: 32001f3436510b38383437\n\n";

std::string times(int n, const std::string& text) {
  std::string out;
  while (n-- > 0) out += text;
  return out;
}

// Only a word starting with "exit" leaves, and only the exact option in first
// place chooses the spectrum mode.
TEST(MainMenuE2e, ShowsTheVersionAndTheMenuUntilAWordStartingWithExit) {
  struct Case {
    const char* input;
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {"exit\n", {}, kVersion + kMenu},
      {"ex\nExit\n4\nexitnow\n", {}, kVersion + times(4, kMenu)},
      {"exit\n", {"-harmonic"}, kVersion + kHarmonic + kMenu},
      {"exit\n", {"-Harmonic"}, kVersion + kMenu},
      {"exit\n", {"-x", "-harmonic"}, kVersion + kMenu},
      {"exit\n", {"-harmonics"}, kVersion + kMenu},
  };
  for (const Case& c : cases) {
    TempDir dir;
    auto run = run_stand(dir, c.input, c.args);
    EXPECT_EQ(run.status, 1) << c.input;
    EXPECT_EQ(run.out, c.out) << c.input;
  }
}

// Only a whole number goes to the shield, and the shield keeps it: the next
// run reads it back. The same answers give the same bytes and the same trace.
TEST(ShieldIdentityE2e, ANewNumberIsWrittenOnlyWhenTypedWholeAndIsReadBackByTheNextRun) {
  const std::string session = "3\n0000099x\n3\n00000042\nexit\n";
  const std::string asked = "Новый номер shield:\n";
  TempDir dir, again;
  auto run = run_stand(dir, session);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, kVersion + kMenu + kShield26 + asked + "ERROR: Номер шилда должен быть числом.\n" + kMenu +
                         kShield26 + asked + "Номер шилда изменен!\n" + kMenu);
  auto trace = stand_trace(dir).value_or("");
  EXPECT_EQ(trace.find("MOSI A1 14"), trace.find("MOSI A1 14 2A 00 00 00")) << "only 42 was sent";
  EXPECT_EQ(trace.find("MOSI A1 14", trace.find("MOSI A1 14") + 1), std::string::npos) << "and only once";

  auto repeated = run_stand(again, session);
  EXPECT_EQ(repeated.out, run.out);
  EXPECT_EQ(stand_trace(again), stand_trace(dir));
  EXPECT_NE(run_stand(dir, "1\nexit\n").out.find("Shield   : 42\n"), std::string::npos);
}

// Input ending at a question, a machine that does not map the peripherals or
// cannot start the link's thread: each has its message and its own status.
// Unable to map anything, the library says why and no line and no bus is touched.
TEST(StandFailuresE2e, TheProgramStopsWithItsOwnStatusWhenItCannotWork) {
  struct Case {
    Env env;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {{},
       4,
       kVersion + kMenu.substr(0, kMenu.size() - 1) + "\nОшибка: ввод оператора закрыт, работа программы завершена.\n"},
      {{{"VELK_SIM_MAPPING", "none"}},
       2,
       kVersion + "Ошибка: нет доступа к периферии Raspberry Pi (требуются права root).\n"},
      {{{"VELK_SIM_MAPPING", "gpio-only"}},
       2,
       kVersion + "Ошибка: нет доступа к контроллеру SPI (требуются права root).\n"},
      {{{"VELK_SIM_THREADS", "fail"}}, 3, kVersion + "Ошибка: не удалось запустить поток обмена с шилдом.\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    auto run = run_stand(dir, "", {}, c.env);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    if (&c == &cases[1]) {
      EXPECT_NE(run.err.find("bcm2835_init: Unable to open /dev/gpiomem"), std::string::npos) << run.err;
      EXPECT_EQ(stand_trace(dir), "");
    }
  }
}

}  // namespace
