// The checks of a test pass on the simulated stand: what each fault of the
// shield leads to (the prompts, the report, the upload), the lines each block
// drives and leaves behind in stand time, and the uploader that is not there.
#include <bcm2835.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "adc.h"
#include "console_capture.h"
#include "inputs.h"
#include "link_probe.h"
#include "menu.h"
#include "outputs.h"
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

std::string uploaded_here() { return read_file("Sendrik/sent.txt"); }

std::string flat(std::string text) {
  for (auto& c : text)
    if (c == '\n') c = ' ';
  return text;
}

// One pass (menu) as the operator sees it, boiled down: the failure prompts and
// the readings in order; the report's lines, its count and what follows it;
// what the uploader got; what is left in the register.
std::string pass(const std::string& answers) {
  feed_stdin(answers + " y\n");
  StdoutCapture out;
  menu();
  std::istringstream lines(out.text());
  std::string trail, report, after;
  enum { checks, listed, counted } part = checks;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("-----------------Р")) part = listed;
    if (line.starts_with("Warning: Желаете")) break;
    if (part == checks && line.starts_with("Warning: ")) trail += line.substr(9) + " ";
    if (part == checks && line.starts_with("Значение ")) trail += line.substr(17) + ", ";
    if (part == listed && line.starts_with("Ошибка")) report += line + "; ";
    if (line.starts_with("Количество")) part = counted, report += line.substr(line.find(':') + 2);
    if (part == counted && !line.empty() && !line.starts_with("Количество")) after += line;
  }
  return trail + "| " + report + " | " + after + " | " + flat(uploaded_here()) + "| left " +
         std::to_string(error_st.stand);
}

struct Row {
  const char* scenario;  // "key=value ..."
  const char* answers;   // one per prompt
  std::string trail;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.scenario; }

class CheckFaults : public testing::TestWithParam<Row> {};

TEST_P(CheckFaults, EachFaultPromptsInItsStepAndIsReportedAndUploaded) {
  TempDir dir;
  TestStand stand;
  stand.set("id", "1,2,3");
  std::istringstream settings(GetParam().scenario);
  for (std::string kv; settings >> kv;) stand.set(kv.substr(0, kv.find('=')), kv.substr(kv.find('=') + 1));
  start_stand(stand, dir);
  if (std::string(GetParam().scenario).find("lose.code=0xe4") != std::string::npos)
    stend_signal.Line = ADC_TALVO_BR;  // a reading of the last pass, that would pass
  EXPECT_EQ(pass(GetParam().answers), GetParam().trail);
}

const std::string kReadings = "BR ADC: 2600, IMIT ADC: 1850, OD ADC: 2500, ";
const std::string kKordent = "BR ADC: 2600, IMIT ADC: 2100, OD ADC: 2350, ";
const std::string kSent = " | uid0=1 uid1=2 uid2=3 uid3=1 test=";

INSTANTIATE_TEST_SUITE_P(
    Shields, CheckFaults,
    testing::Values(
        Row{"number=26", "", kReadings + "| 0 | " + kSent + "0 send | left 0"},
        // Inputs stuck asserted fail in the first step, stuck off in their own.
        Row{"number=27 input.ek=stuck-off input.s0=stuck-on input.s1=stuck-off input.eks=stuck-on input.door=stuck-on",
            "2 2 2 2 2",
            "Ошибка работы входа S0. Ошибка работы входа EkS. Ошибка работы входа Ek. Ошибка работы входа S1. "
            "Ошибка работы входа OpenDetector. " +
                kReadings +
                "| Ошибка работы входа Ek; Ошибка работы входа S0; Ошибка работы входа S1; Ошибка работы входа EkS; "
                "Ошибка работы входа определения открытия двери; 5 | " +
                kSent + "16414 send | left 0"},
        Row{"number=26 input.ek=stuck-on input.s0=stuck-off input.s1=stuck-on input.eks=stuck-on input.door=stuck-off",
            "2 2 2 2",
            "Ошибка работы входа Ek. Ошибка работы входа S1. Ошибка работы входа S0. "
            "Ошибка работы входа OpenDetector. " +
                kReadings +
                "| Ошибка работы входа Ek; Ошибка работы входа S0; Ошибка работы входа S1; "
                "Ошибка работы входа определения открытия двери; 4 | " +
                kSent + "30 send | left 0"},
        Row{"number=27 input.ek=stuck-on input.eks=stuck-on", "2 2",
            "Ошибка работы входа Ek. Ошибка работы входа EkS. " + kReadings +
                "| Ошибка работы входа Ek; Ошибка работы входа EkS; 2 | " + kSent + "16386 send | left 0"},
        // A relay stuck on fails wherever it should be off, one that never
        // switches in its own step; coupled ones in each other's step.
        Row{"relay.rel0=stuck-on relay.rel2=stuck-off", "2 2 2 2 2",
            "Ошибка работы выхода REL0. Ошибка работы выхода REL0. Ошибка работы выхода REL0. Ошибка работы выхода "
            "REL2. Ошибка работы выхода REL0. " +
                kReadings + "| Ошибка работы выхода REL0; Ошибка работы выхода REL2; 2 | " + kSent +
                "160 send | left 0"},
        Row{"relay.rel1=stuck-off relay.rel3=stuck-on", "2 2 2 2 2",
            "Ошибка работы выхода REL3. Ошибка работы выхода REL3. Ошибка работы выхода REL1. Ошибка работы выхода "
            "REL3. Ошибка работы выхода REL3. " +
                kReadings + "| Ошибка работы выхода REL1; Ошибка работы выхода REL3; 2 | " + kSent +
                "320 send | left 0"},
        Row{"relay.together=1,2", "2 2",
            "Ошибка работы выхода REL2. Ошибка работы выхода REL1. " + kReadings +
                "| Ошибка работы выхода REL1; Ошибка работы выхода REL2; 2 | " + kSent + "192 send | left 0"},
        Row{"relay.line=stuck-on", "2",
            "Ошибка работы реле на Line. " + kReadings + "| Ошибка работы реле; 1 | " + kSent + "512 send | left 0"},
        // The ADC's limits, n-100 to n+100, for both editions; a repeat after
        // the OD reading starts with the OD source off again.
        Row{"adc.br=100 adc.imit=100 adc.od=100", "",
            "BR ADC: 2700, IMIT ADC: 1950, OD ADC: 2600, | 0 | " + kSent + "0 send | left 0"},
        Row{"adc.br=-100 adc.imit=-100 adc.od=-100 edition=kordent", "",
            "BR ADC: 2500, IMIT ADC: 2000, OD ADC: 2250, | 0 | " + kSent + "0 send | left 0"},
        Row{"adc.br=101 adc.imit=101 adc.od=101 edition=kordent", "2 2 2",
            "BR ADC: 2701, Ошибка работы АЦП. IMIT ADC: 2201, Ошибка работы АЦП или транзистора IMIT. OD ADC: 2451, "
            "Ошибка работы АЦП или транзистора OD. | Ошибка работы АЦП; Ошибка работы АЦП или транзистора иммитации; "
            "Ошибка работы АЦП или транзистора OD; 3 | " +
                kSent + "7168 send | left 0"},
        Row{"adc.br=-101 adc.imit=-101 adc.od=-101", "2 2 2",
            "BR ADC: 2499, Ошибка работы АЦП. IMIT ADC: 1749, Ошибка работы АЦП или транзистора IMIT. OD ADC: 2399, "
            "Ошибка работы АЦП или транзистора OD. | Ошибка работы АЦП; Ошибка работы АЦП или транзистора иммитации; "
            "Ошибка работы АЦП или транзистора OD; 3 | " +
                kSent + "7168 send | left 0"},
        Row{"adc.od=-201", "1 2",
            kReadings.substr(0, 30) + "OD ADC: 2299, Ошибка работы АЦП или транзистора OD. " + kReadings.substr(0, 30) +
                "OD ADC: 2299, Ошибка работы АЦП или транзистора OD. " +
                "| Ошибка работы АЦП или транзистора OD; 1 | " + kSent + "4096 send | left 0"},
        // A reply that does not come within the wait fails its comparisons,
        // whatever the record holds; one resent in time does not.
        Row{"lose.code=0xe2 lose.at=1 lose.count=6", "2 2 2",
            "Ошибка работы входа Ek. Ошибка работы входа S0. Ошибка работы входа S1. " + kReadings +
                "| Ошибка работы SPI; Ошибка работы входа Ek; Ошибка работы входа S0; Ошибка работы входа S1; 4 | " +
                kSent + "15 send | left 0"},
        Row{"lose.code=0xe2 lose.at=3 lose.count=1", "", kReadings + "| 0 | " + kSent + "0 send | left 0"},
        Row{"lose.code=0xe4 lose.at=1 lose.count=5", "2",
            "BR ADC: 2600, Ошибка работы АЦП. IMIT ADC: 1850, OD ADC: 2500, | Ошибка работы SPI; Ошибка работы АЦП; 2 "
            "| " +
                kSent + "1025 send | left 0"},
        // The upload: signed words, only from firmware 325 on, and an uploader
        // that is missing or dies is reported.
        Row{"id=ffffffff,80000000,7fffffff", "",
            kReadings + "| 0 |  | uid0=-1 uid1=-2147483648 uid2=2147483647 uid3=-1 test=0 send | left 0"},
        Row{"firmware=324", "",
            kReadings + "| 0 | С текущей версией прошивки отправка данных на сервер не возможна | | left 0"},
        Row{"link.fault=silent link.code=0x19", "",
            kReadings + "| Ошибка работы SPI; 1 | Ошибка: идентификатор шилда прочитан не полностью, отправка данных "
                        "на сервер не возможна | "
                        "| left 0"},
        Row{"upload.fault=missing relay.line=stuck-off", "2",
            "Ошибка работы реле на Line. " + kReadings +
                "| Ошибка работы реле; 1 | Error: Отсутствую файлы для отправки на сервер | | left 0"},
        Row{"upload.fault=dies upload.count=2", "",
            kReadings + "| 0 | Error: Отсутствую файлы для отправки на сервер | uid0=1 uid1=2 | left 0"}));

// Every change of a line the blocks drive, from `since` on: "+50 LN_BR 1".
std::string line_changes(sim::StandTime since) {
  std::string out;
  for (auto& e : sim::trace_lines()) {
    auto* line = sim::wiring_line(e.gpio);
    if (e.time < since || !line || line->role == sim::Role::spi || line->role == sim::Role::read_back) continue;
    out += " +" + std::to_string((e.time - since) / 1000) + " " + line->name + " " + std::to_string(e.level);
  }
  return out;
}

// Each block on a healthy shield, one after the other: the lines it drives with
// their stand times from its start, the requests it sends, and when it returns.
TEST(CheckBlocks, DriveTheirLinesInOrderWaitTheirTimesAndLeaveTheLinesAtFixedLevels) {
  TempDir dir;
  start_stand(TestStand().number(27), dir);
  shieldSt.firmware = 325;
  for (auto& answered : shieldSt.idAnswered) answered = true;
  const struct {
    const char* name;
    void (*block)();
  } blocks[] = {{"EK_S0_S1", menu_block_EK_S0_S1},
                {"EK_S0_S1_EKS", menu_block_EK_S0_S1_EKS},
                {"OpenDetector", menu_block_OpenDetector},
                {"REL", menu_block_REL},
                {"BR", menu_block_BR},
                {"ADC", menu_block_ADC},
                {"StandReport", menu_block_StandReport}};
  std::string trail;
  for (auto& b : blocks) {
    auto start = sim::clock_now();
    StdoutCapture quiet;
    b.block();
    trail += std::string(b.name) + ":" + line_changes(start) + " | " + requests_on_bus(start) + " | returns +" +
             std::to_string((sim::clock_now() - start) / 1000) + "\n";
  }
  EXPECT_EQ(
      trail,
      "EK_S0_S1: +0 EK_OUT 1 +0 SEL0_OUT 1 +0 SEL1_OUT 1 +1600 EK_OUT 0 +3200 EK_OUT 1 +3200 SEL0_OUT 0 +4800 "
      "SEL0_OUT 1 +4800 SEL1_OUT 0 +6400 SEL1_OUT 1 | E2 E2 E2 E2 | returns +6450\n"
      "EK_S0_S1_EKS: +0 STM_INT 1 +1600 EK_OUT 0 +3200 EK_OUT 1 +3200 SEL0_OUT 0 +4800 SEL0_OUT 1 +4800 SEL1_OUT 0 "
      "+6400 SEL1_OUT 1 +6400 STM_INT 0 | E2 E2 E2 E2 E2 | returns +8050\n"
      "OpenDetector: +2500 DOOR_OUT 1 +5000 DOOR_OUT 0 | E2 E2 | returns +5050\n"
      "REL: +100 REL0_OUT 1 +200 REL0_OUT 0 +200 REL1_OUT 1 +300 REL1_OUT 0 +300 REL2_OUT 1 +400 REL2_OUT 0 +400 "
      "REL3_OUT 1 +500 REL3_OUT 0 |  | returns +550\n"
      "BR: +550 LN_BR 1 +1100 LN_BR 0 |  | returns +1150\n"
      "ADC: +50 LN_BR 1 +2600 LN_IMIT 1 +5150 LN_IMIT 0 +5200 LN_OD 1 +7750 LN_OD 0 +7850 LN_BR 0 | E4 E4 E4 | "
      "returns +7900\n"
      "StandReport: |  | returns +1000\n");
}

// A reading must be within 100 counts of the nominal value and at least 100,
// with no sum wrapping around.
TEST(AdcReading, PassesWithinTheToleranceAndFromOneHundredOn) {
  const struct {
    uint16_t reading, nominal;
    bool ok;
  } cases[] = {{2500, 2600, true},   {2700, 2600, true},   {2499, 2600, false},   {2701, 2600, false},
               {99, 150, false},     {100, 150, true},     {100, 0, true},        {101, 0, false},
               {65535, 65535, true}, {65435, 65535, true}, {65434, 65535, false}, {0, 65535, false}};
  for (auto& c : cases) EXPECT_EQ(adc_readingOk(c.reading, c.nominal), c.ok) << c.reading << " of " << c.nominal;
}

// The shell starts and ends at once: by the time the lines are written, their
// reader is gone. On the free-running clock the 500 ms before the first line
// really pass, so the writes meet a closed pipe.
TEST(StandReport, AnUploaderThatIsGoneNeitherEndsTheProgramNorKeepsTheRegister) {
  TempDir dir;
  start_stand(TestStand().free_running(1).set("upload.fault", "missing"), dir);
  error_st.stand = 0x0080;
  shieldSt.firmware = 325;
  for (auto& answered : shieldSt.idAnswered) answered = true;
  StdoutCapture out;
  menu_block_StandReport();
  EXPECT_EQ(out.text(),
            "\n\n-----------------Результат испытаний-----------------\nОшибка работы выхода REL2\n"
            "-----------------------------------------------------\nКоличество ошибок: 1\n\n\n"
            "Error: Отсутствую файлы для отправки на сервер\n");
  EXPECT_EQ(error_st.stand, 0u);
}

}  // namespace
