// The checks of a test pass on the simulated stand: what each fault of the
// shield leads to (the prompts, the report, the upload), the lines each block
// drives and leaves behind in stand time, and the uploader that is not there.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "adc.h"
#include "console_capture.h"
#include "link_probe.h"
#include "menu.h"
#include "program_run.h"
#include "records.h"
#include "report.h"
#include "stand/stand_files.h"
#include "test_stand.h"
#include "board/trace.h"
#include "board/wiring.h"

namespace {

// A stand working in a directory of its own, with the uploader's stand-in
// (unless the scenario says it is missing) and the scenario it reads its fault
// from; the operator chose the edition the shield is.
void start_stand(TestStand stand, const TempDir& dir) {
  auto& scenario = stand.config.scenario;
  if (scenario.shield.upload_fault != sim::UploadFault::missing) install_uploader(dir);
  std::string error;
  ASSERT_TRUE(sim::scenario_save(dir.file("shield.state"), scenario, error)) << error;
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  stand.start_program();
  bool kordent = scenario.shield.edition == sim::Edition::kordent;
  shieldSt.type = kordent ? TYPESGIELD_KORDENT : TYPESHIELD_TALVO;
  stand_ADC = kordent ? stand_adc_st{ADC_KORDENT_BR, ADC_KORDENT_IMIT, ADC_KORDENT_OD}
                      : stand_adc_st{ADC_TALVO_BR, ADC_TALVO_IMIT, ADC_TALVO_OD};
}

// A healthy pass of a four-input shield: every line the blocks drive, with its
// stand time from the start of the pass (the shield is read for the first
// 1900 ms; the audio check's sources are on from 24600 ms to 44700 ms), the
// requests, and the reset pulse that ends the pass.
TEST(CheckBlocks, DriveTheirLinesInOrderWaitTheirTimesAndLeaveTheLinesAtFixedLevels) {
  SKIP_IF_CLOCK_RUNS_FREE();
  TempDir dir;
  start_stand(TestStand("number=27 edition=kordent"), dir);
  auto start = sim::clock_now();
  feed_stdin("y\n");
  printed(menu);
  EXPECT_EQ(
      line_changes(start) + " | " + requests_on_bus(start),
      " +1900 EK_OUT 1 +1900 SEL0_OUT 1 +1900 SEL1_OUT 1 +1900 STM_INT 1 +3500 EK_OUT 0 +5100 EK_OUT 1 +5100 "
      "SEL0_OUT 0 +6700 SEL0_OUT 1 +6700 SEL1_OUT 0 +8300 SEL1_OUT 1 +8300 STM_INT 0 +12450 DOOR_OUT 1 +14950 "
      "DOOR_OUT 0 +15100 REL0_OUT 1 +15200 REL0_OUT 0 +15200 REL1_OUT 1 +15300 REL1_OUT 0 +15300 REL2_OUT 1 "
      "+15400 REL2_OUT 0 +15400 REL3_OUT 1 +15500 REL3_OUT 0 +16100 LN_BR 1 +16650 LN_BR 0 +16750 LN_BR 1 "
      "+19300 LN_IMIT 1 +21850 LN_IMIT 0 +21900 LN_OD 1 +24450 LN_OD 0 +24550 LN_BR 0 +24600 LN_BR 1 +24650 LN_OD 1 "
      "+44700 LN_BR 0 +44700 LN_OD 0 +45750 RST 0 +46350 RST 1 "
      "| 02 18 19 1A E2 E2 E2 E2 E2 E2 E2 E4 E4 E4");
}

// A reading must be within 100 counts of the nominal value and at least 100,
// with no sum wrapping around.
TEST(AdcReading, PassesWithinTheToleranceAndFromOneHundredOn) {
  const std::tuple<uint16_t, uint16_t, bool> cases[] = {{99, 150, false}, {100, 150, true},     {100, 0, true},
                                                        {101, 0, false},  {65535, 65535, true}, {65434, 65535, false}};
  for (auto [reading, nominal, ok] : cases)
    EXPECT_EQ(adc_readingOk(reading, nominal), ok) << reading << " of " << nominal;
}

// An uploader of our own making in the stand's directory, given `mode`.
void put_uploader(const char* script, std::filesystem::perms mode) {
  std::filesystem::create_directory("Sendrik");
  std::ofstream("Sendrik/Sendrik") << script;
  std::filesystem::permissions("Sendrik/Sendrik", mode);
}

// Runs the report of a shield with a complete identifier; what it printed.
std::string report(uint32_t failures) {
  error_st.stand = failures;
  shieldSt.firmware = 325;
  for (auto& answered : shieldSt.idAnswered) answered = true;
  return printed(menu_block_StandReport);
}

// Every failed check counted (the list itself is played in the catalogue:
// every-check-fails-..., link-dies-...). The uploader ends at once without
// reading, as if content: on the free-running clock the 500 ms before the first
// line really pass, so the writes meet a pipe whose reader is gone; the program
// lives on, with SIGPIPE as it was. Then a file the shell cannot run is no
// uploader either, nor one that never ends.
TEST(StandReport, CountsEveryFailureAndLivesThroughAnUploaderThatIsGoneOrCannotBeRun) {
  TempDir dir;
  start_stand(TestStand("speed=1 upload.fault=missing"), dir);
  put_uploader("#!/bin/sh\nexit 0\n", std::filesystem::perms::owner_all);
  const std::string none = "\n\n\nError: Отсутствую файлы для отправки на сервер\n";
  EXPECT_TRUE(report(0x7FFF).ends_with("\nКоличество ошибок: 15" + none));
  EXPECT_EQ(error_st.stand, 0u);
  sigset_t blocked;
  pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
  EXPECT_FALSE(sigismember(&blocked, SIGPIPE));
  put_uploader("not a program\n", std::filesystem::perms::owner_read);
  EXPECT_TRUE(report(0).ends_with("Количество ошибок: 0" + none));
  upload_waitLimitMs = 100;
  put_uploader("#!/bin/sh\ncat >/dev/null\n", std::filesystem::perms::owner_all);  // ends when its input does
  EXPECT_TRUE(report(0).ends_with("Количество ошибок: 0\n\n\n"));
  put_uploader("#!/bin/sh\ncat >/dev/null\nexec sleep 60\n", std::filesystem::perms::owner_all);
  EXPECT_TRUE(report(0).ends_with("Количество ошибок: 0" + none));
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the uploader stopped is collected, not left a zombie";
}

}  // namespace
