// The stand program as the operator meets it: start-up, the main menu, the
// shield's parameters and number, test passes, and how it stops when the
// machine, the console or the shield does not allow it to go on.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console_capture.h"
#include "program_run.h"

namespace {

const std::string kVersion = "Версия: v1.4.0\n\n";
const std::string kMenu =
    "\nВведите номер утилиты и нажмите enter:\n1 - Прочесть шилд\n2 - Тест шилда\n3 - Смена номера шилда\n"
    "exit - Выход\n\n";
const std::string kSetUp =
    "\nПрошивать дамп памяти у каждого шилда? (y/n):\nПрошивка шилда отключена\n\n"
    "\nВведите номер шилда:\n1: Общий;\n2: Kordent Edition;\nВыбран общий\n\n";

// The shield's parameters and a new number, which it shows at the next read.
// Only a word starting with "exit" leaves, and only the exact option in first
// place chooses the spectrum mode, whose pass asks whether to read again. A machine that does not map the
// peripherals or cannot start the link's thread, and input ending at a question, each have their message and their own
// status; unable to map anything, the library says why and no line and no bus is touched.
TEST(StandProgramE2e, RunsTheMenuUntilExitAndStopsWithTheStatusOfWhatEndedIt) {
  struct Case {
    const char* input;
    std::vector<std::string> args;
    Env env;
    int status;
    std::string out;
  };
  const std::string harmonic = "Запуск в режиме считывания гармоник.\n", no = "Ошибка: нет доступа к ";
  const std::string id = "32001f3436510b38383437", asked = "Новый номер shield:\n";
  const std::string numbered = kVersion + kMenu + shield_parameters(325, 26, id) + asked +
                               "ERROR: Номер шилда должен быть числом.\n" + kMenu + shield_parameters(325, 26, id) +
                               asked + "Номер шилда изменен!\n" + kMenu + shield_parameters(325, 42, id) + kMenu;
  const std::string spectrum = kVersion + harmonic + kMenu + kSetUp + shield_parameters(325, 26, id) +
                               audio_transcript(false) + "\nWarning: Желаете повторить считывание? y/n \n";
  const Case cases[] = {
      {"3\n0000099x\n3\n00000042\n1\nexit\n", {}, {}, 1, numbered},
      {"ex\nExit\n4\nexitnow\n", {}, {}, 1, kVersion + times(4, kMenu)},
      {"2\nn\n1\nn\n", {"-harmonic"}, {}, 0, spectrum},
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

// What the program printed after the set-up questions, and the stand times of
// the shield's reset line: each pass reads the shield for 1000 ms, checks it
// (the audio path's ten captures take 20150 ms of it) before asking whether to
// go on, then the shield stays in reset 600 ms, settles 200 ms, and the next
// pass starts 100 ms later. A shield that cannot be tested ends the run.
TEST(StandProgramE2e, PassesAreSeparatedByAResetPulseAndAPauseUntilTheOperatorOrTheShieldEndsThem) {
  struct Case {
    const char* state;
    const char* answers;
    std::string tail;
    const char* resets;
  };
  const std::string again = "\nWarning: Желаете повторить испытания? y/n \n";
  const std::string checked =
      "Идет проверка Ek, S0, S1. Ожидайте...\nИдет проверка OpenDetector. Ожидайте...\nИдет проверка REL. "
      "Ожидайте...\nИдет проверка реле line. Ожидайте...\nИдет проверка реле АЦП. Ожидайте...\nЗначение BR ADC: "
      "2600\nЗначение IMIT ADC: 1850\nЗначение OD ADC: 2500\n" + audio_transcript(true) + "\n\n-----------------Результат "
      "испытаний-----------------\n"
      "-----------------------------------------------------\nКоличество ошибок: 0\n\n\nС текущей версией прошивки "
      "отправка данных на сервер не возможна\n";
  const Case cases[] = {
      {"firmware=324\n", "2\nn\n1\ny\ny\nn\n",
       times(2, shield_parameters(324, 26) + checked + again + "\n") + shield_parameters(324, 26) + checked + again,
       "0.000 0\n600.000 1\n43250.000 0\n43850.000 1\n86400.000 0\n87000.000 1\n"},
      {"firmware=321\n", "2\nn\n1\n",
       times(3, shield_parameters(321, 26) + "Требуется обновление прошивки.\n") +
           "Невозможно проверить шилд, проверти STLINK и микроконтроллер или замените Dump.bin\n",
       "0.000 0\n600.000 1\n"},
      // The parameters and the first identifier word are answered, then the
      // link falls silent: the first check fails, and the operator stops there.
      {"link.fault=dies\nlink.count=2\n", "2\nn\n1\n3\n",
       shield_parameters(325, 26, "32001f00") +
           "Идет проверка Ek, S0, S1. Ожидайте...\n\nWarning: Ошибка работы входа "
           "Ek.\nВведите 1,2 или 3:\n1 - Повторить\n2 - Продолжить\n3 - Прервать\n\n",
       "0.000 0\n600.000 1\n"},
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
