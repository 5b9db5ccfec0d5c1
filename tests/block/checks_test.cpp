// The checks of a test pass on the simulated stand: what each fault of the
// shield leads to (the prompts, the report, the upload), the lines each block
// drives and leaves behind in stand time, and the uploader that is not there.
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "adc.h"
#include "console_capture.h"
#include "link_probe.h"
#include "menu.h"
#include "program_run.h"
#include "records.h"
#include "report.h"
#include "stand_files.h"
#include "test_stand.h"
#include "trace.h"
#include "wiring.h"

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

// One pass (menu) boiled down: the failure prompts (without their common
// "Ошибка работы " and "АЦП или транзистора ") and the readings in order; the report's count and what
// follows it; what the uploader got (its identifier words 1,2,3,1 left out);
// what is left in the register, if anything.
std::string pass(const std::string& answers) {
  feed_stdin(answers + " y\n");
  std::istringstream lines(printed(menu));
  std::string trail;
  for (std::string line; std::getline(lines, line) && !line.starts_with("Warning: Желаете");) {
    if (line.starts_with("Warning: ") || line.starts_with("Значение ")) trail += line.substr(line.find(' ') + 1) + ", ";
    if (line.starts_with("Количество") || line.starts_with("С ") || line.starts_with("Error") ||
        line.starts_with("Ошибка:"))
      trail += "| " + line;
  }
  trail += " | " + read_file("Sendrik/sent.txt");
  for (std::string dropped : {"Ошибка работы ", "АЦП или транзистора ", " ADC", "Количество ошибок: ",
                              "uid0=1\nuid1=2\nuid2=3\nuid3=1\n"})
    for (size_t at; (at = trail.find(dropped)) != std::string::npos;) trail.erase(at, dropped.size());
  std::replace(trail.begin(), trail.end(), '\n', ' ');
  return trail.erase(trail.find_last_not_of(' ') + 1) +
         (error_st.stand ? " left " + std::to_string(error_st.stand) : "");
}

// The scenario ("key=value ..."), the answer to each prompt, the pass's trail.
struct Row {
  const char *scenario, *answers;
  std::string trail;
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.scenario; }

class CheckFaults : public testing::TestWithParam<Row> {};

TEST_P(CheckFaults, EachFaultPromptsInItsStepAndIsReportedAndUploaded) {
  TempDir dir;
  start_stand(TestStand("id=1,2,3 " + std::string(GetParam().scenario)), dir);
  stend_signal.Line = ADC_TALVO_BR;  // the last pass's reading: passes if judged again
  EXPECT_EQ(pass(GetParam().answers), GetParam().trail);
}

const std::string kReadings = "BR: 2600, IMIT: 1850, OD: 2500, ";
const std::string kKordentReadings = "BR: 2600, IMIT: 2100, OD: 2350, ";  // shield 27's audio reference is Kordent's
const std::string kNoUpload = "Error: Отсутствую файлы для отправки на сервер |";

// Inputs stuck asserted fail in the first step, stuck off in their own (1 at a
// prompt runs the check again); a relay stuck on fails wherever it should be
// off, one that never switches in its own step, coupled ones in each other's
// step; the ADC's limits n-100 to n+100 for both editions, and a repeat starts
// with the IMIT and OD sources off again; a reply that does not come within
// the wait fails its comparisons, whatever the record holds, one resent in time
// does not; the upload's signed words, its firmware threshold, an identifier
// not read whole, an uploader dying. Faults of different steps share a pass.
INSTANTIATE_TEST_SUITE_P(
    Shields, CheckFaults,
    testing::Values(
        Row{"number=27 edition=kordent input.ek=stuck-off input.s0=stuck-on input.s1=stuck-off input.eks=stuck-on "
            "input.door=stuck-on",
            "2 2 2 2 2",
            "входа S0., входа EkS., входа Ek., входа S1., входа OpenDetector., " + kKordentReadings +
                "| 5 | test=16414 send"},
        Row{"number=26 input.ek=stuck-on input.s0=stuck-off input.s1=stuck-on input.eks=stuck-on input.door=stuck-off",
            "2 2 2 1 2",
            "входа Ek., входа S1., входа S0., входа OpenDetector., входа OpenDetector., " + kReadings +
                "| 4 | test=30 send"},
        Row{"number=27 edition=kordent input.ek=stuck-on input.eks=stuck-on adc.br=-100 adc.imit=100 adc.od=-100",
            "2 2", "входа Ek., входа EkS., BR: 2500, IMIT: 2200, OD: 2250, | 2 | test=16386 send"},
        Row{"relay.rel0=stuck-on relay.rel2=stuck-off adc.br=100 adc.imit=-100 adc.od=100", "2 2 2 2 2",
            "выхода REL0., выхода REL0., выхода REL0., выхода REL2., выхода REL0., BR: 2700, IMIT: 1750, OD: 2600, "
            "| 2 | test=160 send"},
        Row{"relay.together=1,2 relay.line=stuck-on", "2 2 1 2",
            "выхода REL2., выхода REL1., реле на Line., реле на Line., " + kReadings + "| 3 | test=704 send"},
        Row{"adc.br=101 adc.imit=-101 adc.od=101 edition=kordent firmware=324", "2 2 2",
            "BR: 2701, АЦП., IMIT: 1999, IMIT., OD: 2451, OD., | 3| С текущей версией прошивки отправка данных на "
            "сервер не возможна |"},
        Row{"adc.br=-101 adc.imit=101 adc.od=-101", "2 2 2",
            "BR: 2499, АЦП., IMIT: 1951, IMIT., OD: 2399, OD., | 3 | test=7168 send"},
        Row{"adc.br=-201 adc.imit=-201", "1 2 1 2 2",
            "BR: 2399, АЦП., BR: 2399, АЦП., IMIT: 1649, IMIT., BR: 2399, АЦП., IMIT: 1649, IMIT., OD: 2500, | 2 | "
            "test=3072 send"},
        Row{"adc.od=-201", "1 2",
            "BR: 2600, IMIT: 1850, OD: 2299, OD., BR: 2600, IMIT: 1850, OD: 2299, OD., | 1 | test=4096 send"},
        Row{"lose.code=0xe2 lose.at=1 lose.count=6", "2 2 2",
            "входа Ek., входа S0., входа S1., " + kReadings + "| 4 | test=15 send"},
        Row{"lose.code=0xe4 lose.at=1 lose.count=5", "2", "BR: 2600, АЦП., IMIT: 1850, OD: 2500, | 2 | test=1025 send"},
        Row{"id=ffffffff,80000000,7fffffff", "",
            kReadings + "| 0 | uid0=-1 uid1=-2147483648 uid2=2147483647 uid3=-1 test=0 send"},
        Row{"link.fault=silent link.code=0x19 lose.code=0xe2 lose.at=3 lose.count=1", "",
            kReadings + "| 1| Ошибка: идентификатор шилда прочитан не полностью, отправка данных на сервер не возможна "
                        "|"},
        Row{"upload.fault=dies upload.count=2", "", kReadings + "| 0| " + kNoUpload + " uid0=1 uid1=2"}));

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

// Every failed check listed in its place (EkS right after S1) and counted. The
// uploader ends at once without reading, as if content: on the free-running
// clock the 500 ms before the first line really pass, so the writes meet a pipe
// whose reader is gone; the program lives on, with SIGPIPE as it was. Then a
// file the shell cannot run is no uploader either, nor one that never ends.
TEST(StandReport, ListsEveryFailureAndLivesThroughAnUploaderThatIsGoneOrCannotBeRun) {
  TempDir dir;
  start_stand(TestStand("speed=1 upload.fault=missing"), dir);
  put_uploader("#!/bin/sh\nexit 0\n", std::filesystem::perms::owner_all);
  const std::string none = "\n\n\nError: Отсутствую файлы для отправки на сервер\n";
  EXPECT_EQ(report(0x7FFF),
            "\n\n-----------------Результат испытаний-----------------\nОшибка работы SPI\nОшибка работы входа Ek\n"
            "Ошибка работы входа S0\nОшибка работы входа S1\nОшибка работы входа EkS\nОшибка работы входа определения "
            "открытия двери\nОшибка работы выхода REL0\nОшибка работы выхода REL1\nОшибка работы выхода REL2\n"
            "Ошибка работы выхода REL3\nОшибка работы реле\nОшибка работы АЦП\nОшибка работы АЦП или транзистора "
            "иммитации\nОшибка работы АЦП или транзистора OD\nОшибка работы звукового тракта\n"
            "-----------------------------------------------------\nКоличество ошибок: 15" +
                none);
  EXPECT_EQ(error_st.stand, 0u);
  sigset_t blocked;
  pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
  EXPECT_FALSE(sigismember(&blocked, SIGPIPE));
  put_uploader("not a program\n", std::filesystem::perms::owner_read);
  EXPECT_TRUE(report(0).ends_with("Количество ошибок: 0" + none));
  put_uploader("#!/bin/sh\ncat >/dev/null\nexec sleep 60\n", std::filesystem::perms::owner_all);
  upload_waitLimitMs = 100;
  EXPECT_TRUE(report(0).ends_with("Количество ошибок: 0" + none));
}

}  // namespace
