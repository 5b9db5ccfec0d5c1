// The firmware maintenance blocks with tools of our own making in the stand's
// directory: how each outcome of st-flash and of the flasher is judged, told
// and answered, the lines and stand time around a flashing, and the error
// words of the tool's output however it is cut into words.
#include "flashing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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
const std::string kFlashed = "\nПрошивка выполнена успешно\n\n";
const std::string kChecklist =
    "Во время прошивки возникли ошибки:\n1) Проверьте подключение STLink;\n2) Попробуйте повторно подключить "
    "STLink и повторить;\n3) Проверьте наличие Dump.bin в папке /home/pi;\n4) Если советы выше не помогли - "
    "проблема в шилде (микроконтроллер)\n\n\nWarning: Повторить прошивку или продолжить без прошивки? (y/n)\n\n";
const std::string kMissing = "Error: Отсутствую файлы для прошивки шилда\n";

// A stand in a directory of its own, where sudo runs its command.
class Flashing : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child must not inherit the parked link thread
    TestStand().start_program();
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    put_tool("bin/sudo", "exec \"$@\"");
    setenv("PATH", (dir_.file("bin") + ":" + getenv("PATH")).c_str(), 1);
  }
  TempDir dir_;
};

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
// by two reset pulses. The words decide, and so does a run that did not end
// well: a status other than 0 or a signal counts as an error. A failure asks
// whether to flash again: yes runs the tool afresh, no returns 0.
TEST_F(Flashing, StlinkRunsAreJudgedByTheirWordsAndTheirEndAndRepeatedWhileTheOperatorSaysSo) {
  const std::string once = "[ -e ran ] && exit 0; touch ran; ";
  const struct {
    std::string script, answers, shown;
    uint8_t result;
  } cases[] = {
      {"echo st-flash 1.7.0; echo jolly good", "", kUnderway + kFlashed, 1},
      {"echo ERROR xERRORx Invalid error; exit 0", "n", kUnderway + "Количество ошибок: 3\n" + kChecklist, 0},
      {"echo WARN usb.c: no ST-Link; exit 255", "n",
       kUnderway + "Код завершения st-flash 255\nКоличество ошибок: 1\n" + kChecklist, 0},
      {"kill -KILL $$", "n", kUnderway + "st-flash остановлен сигналом 9\nКоличество ошибок: 1\n" + kChecklist, 0},
      {once + "echo ERROR", "y", kUnderway + "Количество ошибок: 1\n" + kChecklist + kUnderway + kFlashed, 1},
  };
  for (auto& c : cases) {
    std::filesystem::remove("ran");
    put_tool(kStlink, c.script);
    bcm2835_gpio_write(PIN_STM_INT, HIGH);  // as the flasher leaves it
    bcm2835_gpio_write(PIN_RST, LOW);
    feed_stdin(c.answers);
    uint8_t result = 2;
    const auto start = sim::clock_now();
    EXPECT_EQ(printed([&] { result = menu_block_stlink_update(); }), c.shown) << c.script;
    EXPECT_EQ(result, c.result) << c.script;
    const std::string run = " +0 STM_INT 1 +0 RST 0 +0 STM_INT 0 +0 RST 1 +600 RST 0 +1200 RST 1 +1400 RST 0 +2000 RST 1";
    EXPECT_EQ(line_changes(start, " RST STM_INT ").substr(0, run.size()), run) << c.script;
    EXPECT_EQ((sim::clock_now() - start) / 1000, c.answers == "y" ? 4400u : 2200u) << c.script;
  }
  std::filesystem::remove(kStlink);
  EXPECT_EXIT((stdout_to_stderr(), menu_block_stlink_update()), testing::ExitedWithCode(0),
              kUnderway + kMissing);
}

// The flasher's status, told and acted on; its whole log read while it runs.
// A shield without bootloader and a status the flasher does not have let the
// caller go on; every other failure, a flasher ended by a signal among them,
// ends the program, and a flasher the shell cannot find or run is a missing file.
TEST_F(Flashing, FlasherStatusIsToldAndEndsTheProgramOnEveryFailure) {
  const std::string checklist =
      "Error: Проблема с обновлением по SPI:\n       1) Проверьте наличие бутлоадера;\n       2) Проверьте "
      "наличие наличие reset;\n       3) Проверьте SPI;\n";
  const std::pair<std::string, std::string> returning[] = {
      {"head -c 3000000 /dev/zero; exit 5", "Код завершения flasher 5\nПрошивка переписана успешно"},
      {"exit 0", "Код завершения flasher 0\n" + checklist},
      {"exit 16", "Код завершения flasher 16\n"},
  };
  for (auto& [script, shown] : returning) {
    put_tool("Velk_Flasher", script);
    EXPECT_EQ(printed(menu_block_FirmwareUpgrade), kUnderway + shown) << script;
  }
  const std::string failed = "Error: Ошибка перезаписи прошивки\n";
  const std::pair<std::string, std::string> ending[] = {
      {"exit 4", "Код завершения flasher 4\n" + failed},
      {"exit 15", "Код завершения flasher 15\n" + failed},
      {"kill -TERM $$", "Код завершения flasher 143\nFlasher остановлен сигналом 15\n" + failed},
      {"", "Код завершения flasher 127\n" + kMissing},
  };
  for (auto& [script, shown] : ending) {
    if (script.empty()) std::filesystem::remove("Velk_Flasher");
    else put_tool("Velk_Flasher", script);
    EXPECT_EXIT((stdout_to_stderr(), menu_block_FirmwareUpgrade()), testing::ExitedWithCode(0), kUnderway + shown)
        << script;
  }
}

}  // namespace
