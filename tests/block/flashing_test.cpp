// The firmware maintenance blocks with tools of our own making in the stand's
// directory: how each outcome of st-flash and of the flasher is judged, told
// and answered, the lines and stand time around a flashing, and the error
// words of the tool's output however it is cut into words.
#include "flashing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "child.h"
#include "console_capture.h"
#include "gpio.h"
#include "program_run.h"
#include "test_stand.h"

namespace {

// An executable script at `path` in the current directory.
void put_tool(const std::string& path, const std::string& script) {
  auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  std::ofstream(path) << "#!/bin/sh\n" << script << "\n";
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

const std::string kStlink = "proj/stlink-repo/build/Release/st-flash";
const std::string kUnderway = "Идет прошивка, ожидайте...\n";
const std::string kMissing = "Error: Отсутствую файлы для прошивки шилда\n";

// A stand in a directory of its own, where sudo runs its command.
class Flashing : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child must not inherit the parked link thread
    static TempDir dir;                              // removed at exit, also by a dying child
    TestStand().start_program();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    put_tool("bin/sudo", "exec \"$@\"");
    setenv("PATH", (dir.file("bin") + ":" + getenv("PATH")).c_str(), 1);
  }
};

// How a tool ended, from its wait status: the shell's 126 and 127 mean it never
// ran, 128 + n (up to the last signal, 64) that signal n ended it.
TEST(ChildEnd, TellsAToolNotStartedAndASignalAlsoAsTheShellReportsThem) {
  const std::tuple<int, bool, int, int> cases[] = {
      {-1, true, 0, -1},         {0, false, 0, 0},          {255 << 8, false, 0, 255}, {126 << 8, true, 0, 126},
      {127 << 8, true, 0, 127},  {9, false, 9, 137},        {129 << 8, false, 1, 129}, {192 << 8, false, 64, 192},
      {193 << 8, false, 0, 193}, {128 << 8, false, 0, 128},
  };
  for (auto [status, not_started, signal, code] : cases) {
    ChildEnd end = child_end(status);
    EXPECT_EQ(std::tuple(end.not_started, end.signal, end.code), std::tuple(not_started, signal, code)) << status;
  }
}

// Only a word holding one of the two words in capitals as written counts,
// once however often; a word is cut by white space only, at any length.
TEST(StlinkOutput, CountsTheWordsHoldingAnErrorWordOnceEach) {
  const std::string longWord = std::string(5000, 'x') + "ERROR" + std::string(3000, 'y');
  const std::pair<std::string, int> cases[] = {
      {"", 0},
      {"ERROR common.c: write failed", 1},
      {"xERRORx Invalid\tERRORERROR\nInvalidERROR", 4},
      {"error invalid Error ERR OR Inval id", 0},
      {longWord + " " + longWord + "Invalid", 2},
      {std::string(4000, 'z') + "Invalid", 1},
  };
  for (auto& [output, count] : cases) {
    std::FILE* in = fmemopen(const_cast<char*>(output.data()), output.size(), "r");
    EXPECT_EQ(stlink_countErrorWords(in), count) << output.substr(0, 80);
    std::fclose(in);
  }
}

// Each run releases the shield into its program for 600 ms, then is followed
// by two reset pulses; a failure is asked about, and yes runs the tool afresh.
// (What each outcome of the tool prints is in the catalogue of sessions.)
TEST_F(Flashing, StlinkRunsReleaseTheShieldFirstAndResetItTwiceAfter) {
  SKIP_IF_CLOCK_RUNS_FREE();
  const std::string run = " +0 STM_INT 1 +0 RST 0 +0 STM_INT 0 +0 RST 1 +600 RST 0 +1200 RST 1 +1400 RST 0 +2000 RST 1";
  for (auto [script, answers, result, ms] : {std::tuple{"echo jolly good", "", 1, 2200u},
                                             {"[ -e ran ] && exit 0; touch ran; echo ERROR", "y", 1, 4400u},
                                             {"exit 1", "n", 0, 2200u}}) {
    put_tool(kStlink, script);
    bcm2835_gpio_write(PIN_STM_INT, HIGH);  // as the flasher leaves it
    bcm2835_gpio_write(PIN_RST, LOW);
    feed_stdin(answers);
    const auto start = sim::clock_now();
    int got = -1;
    printed([&] { got = menu_block_stlink_update(); });
    EXPECT_EQ(got, result) << script;
    EXPECT_EQ(line_changes(start, " RST STM_INT ").substr(0, run.size()), run) << script;
    EXPECT_EQ((sim::clock_now() - start) / 1000, ms) << script;
  }
}

// The flasher's whole log is read while it runs; a status the flasher does not
// have lets the caller go on; 15, and a flasher ended by a signal, end the
// program, and one the shell cannot find is a missing file. (The flasher's own
// outcomes are in the catalogue of sessions.)
TEST_F(Flashing, FlasherStatusIsToldAndEndsTheProgramOnEveryFailure) {
  const std::pair<std::string, std::string> returning[] = {
      {"head -c 3000000 /dev/zero; exit 5", "Код завершения flasher 5\nПрошивка переписана успешно"},
      {"exit 16", "Код завершения flasher 16\n"},
  };
  for (auto& [script, shown] : returning) {
    put_tool("Velk_Flasher", script);
    EXPECT_EQ(printed(menu_block_FirmwareUpgrade), kUnderway + shown) << script;
  }
  const std::string failed = "Error: Ошибка перезаписи прошивки\n";
  const std::pair<std::string, std::string> ending[] = {
      {"exit 15", "Код завершения flasher 15\n" + failed},
      {"kill -TERM $$", "Код завершения flasher 143\nFlasher остановлен сигналом 15\n" + failed},
      {"not executable", "Код завершения flasher 126\n" + kMissing},
      {"", "Код завершения flasher 127\n" + kMissing},
  };
  for (auto& [script, shown] : ending) {
    if (script.empty())
      std::filesystem::remove("Velk_Flasher");
    else
      put_tool("Velk_Flasher", script);
    if (script == "not executable") std::filesystem::permissions("Velk_Flasher", std::filesystem::perms::owner_read);
    EXPECT_EXIT((stdout_to_stderr(), menu_block_FirmwareUpgrade()), testing::ExitedWithCode(0), kUnderway + shown)
        << script;
  }
}

}  // namespace
