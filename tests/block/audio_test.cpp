// The audio check and the spectrum reading on the simulated stand, with the
// real ALSA tools recording the simulated shield's audio: what the operator
// sees, the failure bit, the audio lines and the stand time, for healthy and
// faulty audio paths of every shield model that has a reference.
#include "audio.h"

#include <bcm2835.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

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
const std::string kNoReference =
    "Error: Для данного шилда не найден эталонный спектр частот, тест звука не может быть проведен.\n";
const std::string kPassed = "\nЗвуковой спектр полностью соответствует.\n";

// A stand whose working directory is a fresh one, with the shield's number
// and edition already read into the records.
void start_stand(const TempDir& dir, int number, const std::string& edition, const std::string& audio) {
  TestStand().set("number", std::to_string(number)).set("edition", edition).set("audio", audio).start_program();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  shieldSt.shield = static_cast<uint8_t>(number);
  shieldSt.type = edition == "kordent" ? TYPESGIELD_KORDENT : TYPESHIELD_TALVO;
}

// What a block printed, then the failure register and the audio lines' changes in ms from its start.
std::string run_block(void (*block)(), const std::string& answers) {
  feed_stdin(answers);
  const auto start = sim::clock_now();
  StdoutCapture out;
  block();
  std::string lines;
  for (auto& e : sim::trace_lines())
    if (e.time >= start && (e.gpio == PIN_LN_BR || e.gpio == PIN_LN_OD))
      lines += " +" + std::to_string((e.time - start) / 1000) + " " + sim::trace_line_name(e.gpio) + " " +
               std::to_string(e.level);
  char errors[16];
  std::snprintf(errors, sizeof errors, "%#x", error_st.stand);
  return out.text() + "| errors " + errors + " |" + lines + " | " + std::to_string((sim::clock_now() - start) / 1000) +
         " ms";
}

// The printed text after the amplitude list (all of it when there is none).
std::string after_amplitudes(const std::string& out) {
  auto last = out.rfind("\n21: - ");
  return last == std::string::npos ? out : out.substr(out.find('\n', last + 1) + 1);
}

const std::string kLinesOfOne = "| errors 0x2000 | +0 LN_BR 1 +50 LN_OD 1 +20100 LN_BR 0 +20100 LN_OD 0 | 20150 ms";

struct Case {
  int number;
  const char* edition;
  const char* audio;
  std::string tail;  // printed after the amplitudes, the register, the lines, the time
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.number << " " << c.edition << " " << c.audio; }

class AudioCheck : public testing::TestWithParam<Case> {};

// Every healthy model passes its own reference; a dead, weak or distorting
// path fails it, answered with 2 (continue). The failure counts show which
// bins the fault moved out.
TEST_P(AudioCheck, PassesAHealthyPathAndFailsAFaultyOne) {
  TempDir dir;
  start_stand(dir, GetParam().number, GetParam().edition, GetParam().audio);
  const std::string got = run_block(menu_block_AudioTest, "2\n");
  EXPECT_EQ(after_amplitudes(got), GetParam().tail);
  EXPECT_EQ(got.substr(0, got.find('\n')), "Идет проверка звукового тракта. Ожидайте...");
  const std::string picture = read_file(dir.file("audio_spectrum.svg"));
  auto outside = picture.find("вне допуска: ");
  ASSERT_NE(outside, std::string::npos);
  EXPECT_EQ(picture.substr(outside, picture.find(" из 22", outside) - outside) == "вне допуска: 0",
            GetParam().tail.starts_with(kPassed));
}

const std::string kHealthy = kPassed + "| errors 0 | +0 LN_BR 1 +50 LN_OD 1 +20100 LN_BR 0 +20100 LN_OD 0 | 20150 ms";
std::string failed(int percent) {
  return "\n\nНесоответствие спектра :" + std::to_string(percent) + "%\n" + kPrompt + kLinesOfOne;
}

INSTANTIATE_TEST_SUITE_P(
    Models, AudioCheck,
    testing::Values(Case{26, "general", "healthy", kHealthy}, Case{26, "kordent", "healthy", kHealthy},
                    Case{27, "kordent", "healthy", kHealthy}, Case{26, "general", "dead", failed(18)},
                    Case{26, "kordent", "dead", failed(18)}, Case{27, "kordent", "dead", failed(63)},
                    Case{26, "general", "weak", failed(9)}, Case{26, "kordent", "weak", failed(9)},
                    Case{27, "kordent", "weak", failed(40)}, Case{26, "general", "distorted", failed(9)},
                    Case{26, "kordent", "distorted", failed(13)}, Case{27, "kordent", "distorted", failed(36)}));

// The whole transcript of a passing check, once.
TEST(AudioCheckTranscript, ShowsTenCapturesTheAmplitudesAndTheVerdict) {
  TempDir dir;
  start_stand(dir, 26, "general", "healthy");
  EXPECT_EQ(run_block(menu_block_AudioTest, ""), audio_transcript(true) + kHealthy.substr(kPassed.size()));
}

// No reference: no capture and no line raised; a repeat asks for the reference
// again. A failed measurement repeated keeps the lines high in between and
// starts from cleared arrays, so it prints the same amplitudes again.
TEST(AudioCheckRepeat, AsksAgainWithoutAReferenceAndMeasuresAfreshAfterAFailure) {
  TempDir dir;
  start_stand(dir, 27, "general", "dead");
  EXPECT_EQ(run_block(menu_block_AudioTest, "1\n2\n"),
            kNoReference + kPrompt + kNoReference + kPrompt + "| errors 0x2000 | | 0 ms");
  EXPECT_FALSE(std::ifstream(dir.file("shield.audio")).good());
  shieldSt.shield = 26;
  error_st.stand = 0;
  const std::string got = run_block(menu_block_AudioTest, "1\n2\n");
  const std::string measurement = got.substr(0, got.find("\n\nНесоответствие"));
  EXPECT_EQ(
      measurement.substr(measurement.find("Амплитуды")), "Амплитуды гармоник:\n0: - 128\n" + [] {
        std::string zeros;
        for (int b = 1; b < 22; ++b) zeros += std::to_string(b) + ": - 0\n";
        return zeros;
      }());
  EXPECT_EQ(got, measurement + "\n\nНесоответствие спектра :18%\n" + kPrompt + measurement +
                     "\n\nНесоответствие спектра :18%\n" + kPrompt +
                     "| errors 0x2000 | +0 LN_BR 1 +50 LN_OD 1 +40200 LN_BR 0 +40200 LN_OD 0 | 40250 ms");
}

// The spectrum mode only measures and prints: no verdict, no prompt, the register untouched.
TEST(HarmonicRead, PrintsTheSpectrumAndJudgesNothing) {
  TempDir dir;
  start_stand(dir, 26, "general", "healthy");
  error_st.stand = 0x4;
  EXPECT_EQ(run_block(menu_block_HarmonicRead, ""),
            audio_transcript(false) + "| errors 0x4 | +0 LN_BR 1 +50 LN_OD 1 +20100 LN_BR 0 +20100 LN_OD 0 | 20150 ms");
  EXPECT_NE(read_file(dir.file("audio_spectrum.svg")).find("вне допуска: 0 из 22"), std::string::npos);
}

// Started through the shell, a recorder that is not there (127), cannot be
// executed (126) or delivers nothing counts as not started: the message and
// the end of the program. A player that is not there only gets the message.
TEST(AudioCapture, RecorderThatCannotBeStartedEndsTheProgramAPlayerOnlyGetsTheMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child must not inherit the parked link thread
  TempDir dir, tools;
  start_stand(dir, 26, "general", "healthy");
  const std::string message = "Error: Отсутствую файлы для проверки аудио\n";
  auto tool = [&](const char* name, const std::string& script, mode_t mode) {
    std::ofstream(tools.file(name)) << script;
    chmod(tools.file(name).c_str(), mode);
  };
  tool("aplay", "#!/bin/sh\nexec /usr/bin/aplay \"$@\" 2>/dev/null\n", 0755);
  const char* const path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  setenv("PATH", tools.path().c_str(), 1);
  EXPECT_EXIT((stdout_to_stderr(), stand_read_sinus()), testing::ExitedWithCode(0), message);
  tool("arecord", "#!/bin/sh\nexec /usr/bin/arecord \"$@\"\n", 0644);
  EXPECT_EXIT((stdout_to_stderr(), stand_read_sinus()), testing::ExitedWithCode(0), message);
  tool("arecord", "#!/bin/sh\nexit 0\n", 0755);
  EXPECT_EXIT((stdout_to_stderr(), stand_read_sinus()), testing::ExitedWithCode(0), message);
  tool("arecord", "#!/bin/sh\nexec /usr/bin/arecord \"$@\" 2>/dev/null\n", 0755);
  std::remove(tools.file("aplay").c_str());
  StdoutCapture out;
  stand_read_sinus();
  EXPECT_EQ(out.text(), message);
  EXPECT_EQ(famp[3], 44u);  // one capture of the healthy tone
  setenv("PATH", saved.c_str(), 1);
}

}  // namespace
