// The stand program as the operator meets it: start-up, main menu, the shield's
// parameters and number, the set-up questions, and how it stops when the
// machine or the console does not allow it to work.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "program_run.h"

namespace {

using Env = std::vector<std::pair<std::string, std::string>>;

const std::string kVersion = "Версия: v1.4.0\n\n";
const std::string kMenu =
    "\nВведите номер утилиты и нажмите enter:\n1 - Прочесть шилд\n2 - Тест шилда\n3 - Смена номера шилда\n"
    "exit - Выход\n";
const std::string kHarmonic = "Запуск в режиме считывания гармоник.\n";

ProgramRun stand(const TempDir& dir, const std::string& input, std::vector<std::string> args = {}, Env env = {}) {
  args.insert(args.begin(), VELK_STM_TOOL_PATH);
  env.emplace_back("VELK_SIM_LOG", dir.file("run.log"));
  return run_program(args, dir.path(), input, env);
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

std::string repeat(const std::string& text, size_t times) {
  std::string out;
  while (times--) out += text;
  return out;
}

TEST(MainMenuE2e, ShowsTheVersionAndRepeatsTheMenuUntilAWordStartingWithExit) {
  struct Case {
    const char* input;
    size_t menus;
  };
  const Case cases[] = {{"exit\n", 1}, {"exitnow\n", 1}, {"ex\nexit\n", 2}, {"Exit\n4\nexit\n", 3}};
  for (auto& c : cases) {
    TempDir dir;
    auto run = stand(dir, c.input);
    EXPECT_EQ(run.status, 1) << c.input;
    EXPECT_EQ(run.out, kVersion + repeat(kMenu + "\n", c.menus)) << c.input;
  }
}

TEST(MainMenuE2e, HarmonicModeIsChosenOnlyByTheExactOptionInFirstPlace) {
  struct Case {
    std::vector<std::string> args;
    bool harmonic;
  };
  const Case cases[] = {
      {{"-harmonic"}, true}, {{"-Harmonic"}, false}, {{"-x", "-harmonic"}, false}, {{"-harmonics"}, false}};
  for (auto& c : cases) {
    TempDir dir;
    auto run = stand(dir, "exit\n", c.args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.starts_with(kVersion + (c.harmonic ? kHarmonic : "") + kMenu)) << c.args[0] << run.out;
    EXPECT_EQ(count(run.out, kHarmonic), c.harmonic ? 1u : 0u) << c.args[0];
  }
}

TEST(ShieldIdentityE2e, ANewNumberIsWrittenIntoTheShieldAndReadBackByTheNextRun) {
  TempDir dir;
  auto run = stand(dir, "3\n42\nexit\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.out, "Новый номер shield:\nНомер шилда изменен!\n")) << run.out;
  EXPECT_TRUE(has(read_file(dir.file("run.log")), "MOSI A1 14 2A 00 00 00")) << "the write request carries 42";
  EXPECT_TRUE(has(read_file(dir.file("shield.state")), "\nnumber=42\n"));

  auto again = stand(dir, "1\nexit\n");
  EXPECT_TRUE(has(again.out, "Shield   : 42\n")) << again.out;
}

TEST(SetUpQuestionsE2e, RepeatUntilAnAnswerTheyAcceptByItsFirstCharacter) {
  const std::string stlink = "\nПрошивать дамп памяти у каждого шилда? (y/n):\n";
  const std::string edition = "\nВведите номер шилда:\n1: Общий;\n2: Kordent Edition;\n";
  const std::string again = "\nWarning: Желаете повторить испытания? y/n \n";
  struct Case {
    const char* answers;  // after "2" in the main menu
    size_t stlink_asked, edition_asked, passes, again_asked;
    const char* edition_chosen;
  };
  const Case cases[] = {
      // Latin x and Cyrillic д are not accepted; "No" counts by its N.
      {"x\nд\nNo\n3\n2\nn\n", 3, 2, 1, 1, "Выбран Kordent Edition\n\n"},
      {"n\n9\n1\nz\nY\nnein\n", 1, 2, 2, 3, "Выбран общий\n\n"},
  };
  for (auto& c : cases) {
    TempDir dir;
    auto run = stand(dir, std::string("2\n") + c.answers);
    EXPECT_EQ(run.status, 0) << c.answers;
    EXPECT_EQ(count(run.out, stlink), c.stlink_asked) << c.answers;
    EXPECT_EQ(count(run.out, edition), c.edition_asked) << c.answers;
    EXPECT_EQ(count(run.out, "Параметры шилда"), c.passes) << c.answers;
    EXPECT_EQ(count(run.out, again), c.again_asked) << c.answers;
    EXPECT_TRUE(has(run.out, "Прошивка шилда отключена\n\n")) << run.out;
    EXPECT_TRUE(has(run.out, c.edition_chosen)) << run.out;
  }
}

TEST(SetUpQuestionsE2e, TheSameSessionPrintsTheSameBytesAndTraceOnEveryRun) {
  const std::string session = "1\n3\n55\nex\n2\nn\n2\ny\nn\n";
  TempDir first_dir, second_dir;
  auto first = stand(first_dir, session);
  auto second = stand(second_dir, session);
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(second.status, first.status);
  EXPECT_EQ(second.out, first.out);
  EXPECT_TRUE(has(first.out, "Shield   : 55\n")) << first.out;
  auto first_log = read_file(first_dir.file("run.log"));
  EXPECT_FALSE(first_log.empty());
  EXPECT_EQ(read_file(second_dir.file("run.log")), first_log);
}

TEST(StandFailuresE2e, TheProgramStopsWithItsOwnStatusWhenItCannotWork) {
  struct Case {
    const char* what;
    Env env;
    const char* input;
    int status;
    const char* out;
    const char* err;
    bool reaches_menu;
    bool lines_untouched;
  };
  const Case cases[] = {
      {"input ends at the main menu", {}, "", 4, "ввод оператора закрыт", "", true, false},
      {"peripherals cannot be mapped",
       {{"VELK_SIM_MAPPING", "none"}},
       "exit\n",
       2,
       "нет доступа к периферии",
       "bcm2835_init: Unable to open /dev/gpiomem",
       false,
       true},
      {"only GPIO can be mapped",
       {{"VELK_SIM_MAPPING", "gpio-only"}},
       "exit\n",
       2,
       "нет доступа к контроллеру SPI",
       "",
       false,
       false},
      {"the exchange thread cannot start",
       {{"VELK_SIM_THREADS", "fail"}},
       "exit\n",
       3,
       "не удалось запустить поток",
       "",
       false,
       false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    auto run = stand(dir, c.input, {}, c.env);
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(run.out.starts_with(kVersion)) << run.out;
    EXPECT_TRUE(has(run.out, c.out)) << run.out;
    EXPECT_TRUE(has(run.err, c.err)) << run.err;
    EXPECT_EQ(has(run.out, kMenu), c.reaches_menu);
    if (c.lines_untouched) {
      ASSERT_TRUE(std::filesystem::exists(dir.file("run.log"))) << "the trace was not written";
      EXPECT_EQ(read_file(dir.file("run.log")), "") << "a line or the bus was touched";
    }
  }
}

}  // namespace
