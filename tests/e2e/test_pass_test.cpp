// A test pass as the operator runs it: started by the launcher on a simulated
// shield, the checks in their order, the report and what the uploader got; a
// failed check's three answers; the same session twice gives the same bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "console_capture.h"
#include "program_run.h"

namespace {

const std::string kSetUp = "Выбран общий\n\n";
const std::string kChecks =
    "Идет проверка Ek, S0, S1. Ожидайте...\nИдет проверка OpenDetector. Ожидайте...\n"
    "Идет проверка REL. Ожидайте...\n";
const std::string kAfterRelays =
    "Идет проверка реле line. Ожидайте...\nИдет проверка реле АЦП. Ожидайте...\n"
    "Значение BR ADC: 2600\nЗначение IMIT ADC: 1850\nЗначение OD ADC: 2500\n" +
    audio_transcript(true);
const std::string kHeading = "\n\n-----------------Результат испытаний-----------------\n";
const std::string kRule = "-----------------------------------------------------\n";
const std::string kAgain = "\nWarning: Желаете повторить испытания? y/n \n";
const std::string kRel2 =
    "\nWarning: Ошибка работы выхода REL2.\nВведите 1,2 или 3:\n1 - Повторить\n2 - Продолжить\n3 - Прервать\n\n";

// What follows the set-up questions.
std::string after_set_up(const std::string& out) { return out.substr(out.find(kSetUp) + kSetUp.size()); }

// Through the launcher, as a new user: a healthy shield passes every check with
// no question and 0 goes up; REL2 stuck off is asked about in the relay check,
// 1 repeats that check (its start message again), 2 goes on, and it is
// reported and uploaded as 128; 3 ends the run there, with nothing reported
// and every relay off.
// Without the uploader the pass says so and goes on.
TEST(TestPassE2e, RunsEveryCheckReportsAndUploadsUnlessTheOperatorAborts) {
  const std::string parameters = shield_parameters(325, 26, "32001f3436510b38383437");
  const std::string sent = "uid0=3276831\nuid1=875974923\nuid2=943207479\nuid3=3276831\ntest=";
  struct Case {
    std::vector<std::string> faults;
    const char* answers;
    int status;
    std::string shown, uploaded;
  } cases[] = {
      {{},
       "2\nn\n1\n",
       4,
       parameters + kChecks + kAfterRelays + kHeading + kRule + "Количество ошибок: 0\n\n\n" + kAgain +
           "\nОшибка: ввод оператора закрыт, работа программы завершена.\n",
       sent + "0\nsend\n"},
      {{"--relay-rel2", "stuck-off"},
       "2\nn\n1\n1\n2\nn\n",
       0,
       parameters + kChecks + kRel2 + "Идет проверка REL. Ожидайте...\n" + kRel2 + kAfterRelays + kHeading +
           "Ошибка работы выхода REL2\n" + kRule + "Количество ошибок: 1\n\n\n" + kAgain,
       sent + "128\nsend\n"},
      {{"--relay-rel2", "stuck-off"}, "2\nn\n1\n3\n", 0, parameters + kChecks + kRel2, ""},
      {{"--upload-fault", "missing"},
       "2\nn\n1\nn\n",
       0,
       parameters + kChecks + kAfterRelays + kHeading + kRule + "Количество ошибок: 0\n\n\n" +
           "Error: Отсутствую файлы для отправки на сервер\n" + kAgain,
       ""},
  };
  for (auto& c : cases) {
    TempDir tmp;
    std::vector<std::string> args = {VELK_LAUNCHER_PATH, "--dir", "D", "--trace", "T"};
    args.insert(args.end(), c.faults.begin(), c.faults.end());
    auto run = run_program(args, tmp.path(), c.answers);
    EXPECT_EQ(run.status, c.status) << c.answers;
    EXPECT_EQ(after_set_up(run.out), c.shown) << c.answers;
    EXPECT_EQ(read_file(tmp.file("D/Sendrik/sent.txt")), c.uploaded) << c.answers;
    // The relay was switched off before its prompt, also when the run ends there.
    auto log = read_file(tmp.file("T/Velk_STM_Tool.log"));
    EXPECT_EQ(log.substr(log.rfind(" REL2_OUT "), 15), " REL2_OUT     0") << c.answers;
  }
}

// A relay stuck off, and a link that falls silent in the second step of the
// inputs' check: every later comparison that needs the shield fails, the door
// check is repeated once. Two runs give the same transcript and the same
// traces, byte for byte; the link marked failed is reported, and the next pass
// does not start.
TEST(TestPassE2e, TheSameSessionGivesTheSameTranscriptAndTraces) {
  const char* state = "number=27\nrelay.rel2=stuck-off\nlink.fault=dies\nlink.count=6\n";
  const std::string answers = "2\nn\n1\n2\n2\n2\n1\n" + times(7, "2\n") + "y\n";  // the last 2: no audio reference
  std::vector<ProgramRun> runs;
  std::vector<std::string> traces;
  for (int i = 0; i < 2; ++i) {
    TempDir dir;
    std::ofstream(dir.file("shield.state")) << state;
    install_uploader(dir);
    runs.push_back(run_stand(dir, answers));
    traces.push_back(stand_trace(dir) + read_file(dir.file("Velk_STM_Tool.vcd")) + uploaded(dir));
  }
  EXPECT_EQ(runs[0].status, 0);
  EXPECT_EQ(runs[0].out, runs[1].out);
  EXPECT_EQ(traces[0], traces[1]);
  EXPECT_GT(traces[0].size(), 100000u);
  EXPECT_TRUE(runs[0].out.ends_with("\nОшибка! Проблема передачи по SPI.\n")) << runs[0].out;
  EXPECT_NE(runs[0].out.find(kHeading + "Ошибка работы SPI\nОшибка работы входа S0\n"), std::string::npos);
  EXPECT_NE(runs[0].out.find("Количество ошибок: 10\n"), std::string::npos);
}

}  // namespace
