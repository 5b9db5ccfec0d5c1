// The audio check and the spectrum reading on the simulated stand, the real
// ALSA tools recording the simulated shield: what the operator sees, the
// failure bit, the audio lines and the stand time, for every model with a
// reference, healthy or faulty, and for tools that cannot be started.
#include "audio.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "audio_capture.h"
#include "console_capture.h"
#include "fft.h"
#include "gpio.h"
#include "program_run.h"
#include "records.h"
#include "test_stand.h"
#include "trace.h"

namespace {

const std::string kPrompt =
    "\nWarning: Ошибка работы звукового тракта.\nВведите 1,2 или 3:\n1 - Повторить\n2 - Продолжить\n3 - Прервать\n\n";
const std::string kOneMeasurement = " | +0 LN_BR 1 +50 LN_OD 1 +20100 LN_BR 0 +20100 LN_OD 0 | 20150 ms";

// A stand in a fresh working directory, the shield's number and edition read into the records.
void start_stand(const TempDir& dir, int number, const std::string& edition, const std::string& audio = "healthy") {
  TestStand().set("number", std::to_string(number)).set("edition", edition).set("audio", audio).start_program();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  shieldSt.shield = static_cast<uint8_t>(number);
  shieldSt.type = edition == "kordent" ? TYPESGIELD_KORDENT : TYPESHIELD_TALVO;
}

// What a block printed after its last amplitude line, the failure register,
// the audio lines' changes and the time taken (ms from the block's start).
std::string run_block(void (*block)(), const std::string& answers) {
  feed_stdin(answers);
  const auto start = sim::clock_now();
  StdoutCapture out;
  block();
  std::string got = out.text(), lines;
  if (auto last = got.rfind("\n21: - "); last != std::string::npos) got.erase(0, got.find('\n', last + 1) + 1);
  for (auto& e : sim::trace_lines())
    if (e.time >= start && (e.gpio == PIN_LN_BR || e.gpio == PIN_LN_OD))
      lines += " +" + std::to_string((e.time - start) / 1000) + " " + sim::trace_line_name(e.gpio) + " " +
               std::to_string(e.level);
  return got + "| errors " + std::to_string(error_st.stand) + " |" + lines + " | " +
         std::to_string((sim::clock_now() - start) / 1000) + " ms";
}

struct Case {
  int number;
  const char* edition;
  const char* audio;
  int percent;  // bins out of tolerance; -1: passes
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.number << " " << c.edition << " " << c.audio; }
class AudioCheck : public testing::TestWithParam<Case> {};

// Each model's healthy audio passes its own reference; a dead, weak or
// distorting path fails it, answered with 2 (continue). The picture counts the
// same bins out as the verdict.
TEST_P(AudioCheck, PassesAHealthyPathAndFailsAFaultyOne) {
  const Case& c = GetParam();
  TempDir dir;
  start_stand(dir, c.number, c.edition, c.audio);
  EXPECT_EQ(
      run_block(menu_block_AudioTest, "2\n"),
      (c.percent < 0 ? "\nЗвуковой спектр полностью соответствует.\n| errors 0"
                     : "\n\nНесоответствие спектра :" + std::to_string(c.percent) + "%\n" + kPrompt + "| errors 8192") +
          kOneMeasurement);
  const std::string picture = read_file(dir.file("audio_spectrum.svg"));
  EXPECT_EQ(picture.find("вне допуска: 0 из 22") != std::string::npos, c.percent < 0);
}

INSTANTIATE_TEST_SUITE_P(Models, AudioCheck,
                         testing::Values(Case{26, "general", "healthy", -1}, Case{26, "kordent", "healthy", -1},
                                         Case{27, "kordent", "healthy", -1}, Case{26, "general", "dead", 18},
                                         Case{26, "kordent", "dead", 18}, Case{27, "kordent", "dead", 63},
                                         Case{26, "general", "weak", 9}, Case{26, "kordent", "weak", 9},
                                         Case{27, "kordent", "weak", 40}, Case{26, "general", "distorted", 9},
                                         Case{26, "kordent", "distorted", 13}, Case{27, "kordent", "distorted", 36}));

// Without a reference nothing is captured and no line raised; a repeat asks
// for it again. A failed measurement repeated keeps the lines high and starts
// from cleared arrays: the same dead spectrum twice. The spectrum reading
// after it neither judges nor prompts nor touches the register.
TEST(AudioCheckRepeat, AsksAgainWithoutAReferenceAndMeasuresAfreshAfterAFailure) {
  TempDir dir;
  start_stand(dir, 27, "general", "dead");
  const std::string none =
      "Error: Для данного шилда не найден эталонный спектр частот, тест звука не может быть проведен.\n" + kPrompt;
  EXPECT_EQ(run_block(menu_block_AudioTest, "1\n2\n"), none + none + "| errors 8192 | | 0 ms");
  EXPECT_FALSE(std::ifstream(dir.file("shield.audio")).good());
  shieldSt.shield = 26;
  StdoutCapture out;
  feed_stdin("1\n2\n");
  menu_block_AudioTest();
  const std::string dead = "0: - 128\n" +
                           [] {
                             std::string zeros;
                             for (int b = 1; b < 22; ++b) zeros += std::to_string(b) + ": - 0\n";
                             return zeros;
                           }() +
                           "\n\nНесоответствие спектра :18%\n" + kPrompt;
  const std::string twice = out.text();
  EXPECT_EQ(twice.substr(twice.find(dead) + dead.size()), twice.substr(0, twice.find(dead) + dead.size()));
  EXPECT_EQ(run_block(menu_block_HarmonicRead, ""), "| errors 8192" + kOneMeasurement);
}

// Started through the shell, a recorder that is not there (127), cannot be
// executed (126) or delivers nothing counts as not started: the message and
// the end of the program. A player that is not there only gets the message.
TEST(AudioCapture, RecorderThatCannotBeStartedEndsTheProgramAPlayerOnlyGetsTheMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child must not inherit the parked link thread
  TempDir dir, tools;
  start_stand(dir, 26, "general");
  auto tool = [&](const char* name, const std::string& script, mode_t mode) {
    std::ofstream(tools.file(name)) << "#!/bin/sh\n" << script << "\n";
    chmod(tools.file(name).c_str(), mode);
  };
  const std::string message = "Error: Отсутствую файлы для проверки аудио\n", path = getenv("PATH");
  tool("aplay", "exec /usr/bin/aplay \"$@\" 2>/dev/null", 0755);
  setenv("PATH", tools.path().c_str(), 1);
  for (auto [script, mode] : {std::pair{"", 0}, {"exec /usr/bin/arecord \"$@\"", 0644}, {"exit 0", 0755}}) {
    if (mode) tool("arecord", script, mode_t(mode));
    EXPECT_EXIT((stdout_to_stderr(), stand_read_sinus()), testing::ExitedWithCode(0), message) << script;
  }
  tool("arecord", "exec /usr/bin/arecord \"$@\" 2>/dev/null", 0755);
  std::remove(tools.file("aplay").c_str());
  StdoutCapture out;
  stand_read_sinus();
  EXPECT_EQ(out.text(), message);
  EXPECT_EQ(famp[3], 44u);  // one capture of the healthy tone
  setenv("PATH", path.c_str(), 1);
}

}  // namespace
