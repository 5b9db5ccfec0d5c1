// The audio check and the spectrum reading on the simulated stand, the real
// ALSA tools recording the simulated shield: what the operator sees, the
// failure bit, the audio lines and the stand time, for every model with a
// reference, healthy or faulty, and for tools that cannot be started.
#include "audio.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "Harmonic.h"
#include "VariableAverage.h"
#include "audio_capture.h"
#include "console_capture.h"
#include "fft.h"
#include "gpio.h"
#include "program_run.h"
#include "records.h"
#include "shield/shield_audio.h"
#include "test_stand.h"
#include "board/trace.h"

namespace {

// What a block printed, the failure register, the audio lines' changes and
// the time taken (ms from the block's start).
std::string run_block(void (*block)(), const std::string& answers) {
  feed_stdin(answers);
  const auto start = sim::clock_now();
  const std::string shown = printed(block);
  return shown + "| errors " + std::to_string(error_st.stand) + " |" + line_changes(start, " LN_BR LN_OD ") + " | " +
         std::to_string((sim::clock_now() - start) / 1000) + " ms";
}

// The shield's audio as the stand measures it: samples 980..1107 of the
// recording (stream bytes 1024..1151 after arecord's 44-byte header), ten
// transforms carrying the imaginary parts, averaged. Each model's healthy
// audio passes its own reference; a dead, weak or distorting path fails it,
// the share of bins out of tolerance rounded down.
TEST(ShieldAudio, EachModelsHealthyAudioPassesItsReferenceAndEveryFaultFailsIt) {
  std::string verdicts;
  for (auto [number, edition, reference] : {std::tuple{26, sim::Edition::general, &HARMONIC_26TALVO},
                                            {26, sim::Edition::kordent, &HARMONIC_26KE},
                                            {27, sim::Edition::kordent, &HARMONIC_27KE}}) {
    for (auto fault :
         {sim::AudioFault::healthy, sim::AudioFault::dead, sim::AudioFault::weak, sim::AudioFault::distorted}) {
      const auto recording = sim::shield_audio({.number = uint8_t(number), .edition = edition, .audio = fault}, 1108);
      std::fill(fi, fi + 128, 0);
      for (int c = 0; c < 10; ++c) stand_spectrum(&recording[980]), variable_sum(64, famp, famp_sum);
      variable_average(64, 10, famp_sum, famp_average);
      harmonic = *reference;
      verdicts += printed([] { harmonic_comparison(famp_average); });
    }
  }
  const std::string ok = "Звуковой спектр полностью соответствует.\n", off = "\nНесоответствие спектра :";
  EXPECT_EQ(verdicts, ok + off + "18%\n" + off + "9%\n" + off + "9%\n" + ok + off + "18%\n" + off + "9%\n" + off +
                          "13%\n" + ok + off + "63%\n" + off + "40%\n" + off + "36%\n");
}

// Without a reference nothing is measured and no line moves. A failed
// measurement repeated keeps the lines high; each measurement starts afresh,
// so the same audio gives the same amplitudes every time. The spectrum reading
// after it neither judges nor prompts nor touches the register. (What the operator sees,
// the same spectrum measured afresh at a repeat too, is played in the
// catalogue: audio-*.)
TEST(AudioCheckRepeat, MovesNoLineWithoutAReferenceAndKeepsTheLinesUpForARepeat) {
  SKIP_IF_CLOCK_RUNS_FREE();
  TempDir dir;
  TestStand("audio=weak").start_program();  // the shield's number not read yet: 0
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  EXPECT_TRUE(run_block(menu_block_AudioTest, "1\n2\n").ends_with("| errors 8192 | | 0 ms"));
  shieldSt.shield = 26, error_st.stand = 0;
  const std::string got = run_block(menu_block_AudioTest, "1\n2\n");
  EXPECT_EQ(got.substr(got.find("| errors")),
            "| errors 8192 | +0 LN_BR 1 +50 LN_OD 1 +40200 LN_BR 0 +40200 LN_OD 0 | 40250 ms");
  std::remove(dir.file("audio_spectrum.svg").c_str());  // the check's own picture
  const std::string read = run_block(menu_block_HarmonicRead, "");
  const auto amplitudes = [](const std::string& text, size_t from) {
    auto at = text.find("Амплитуды гармоник:", from);
    return text.substr(at, text.find("\n21: - ", at) - at);
  };
  EXPECT_EQ(amplitudes(got, 0), amplitudes(got, got.find("Амплитуды гармоник:") + 1));
  EXPECT_EQ(amplitudes(got, 0), amplitudes(read, 0));
  const auto last = read.find('\n', read.find("\n21: - ") + 1) + 1;  // nothing after the amplitudes
  EXPECT_EQ(read.substr(last), "| errors 8192 | +0 LN_BR 1 +50 LN_OD 1 +20100 LN_BR 0 +20100 LN_OD 0 | 20150 ms");
  EXPECT_NE(read_file(dir.file("audio_spectrum.svg")).find("шилд 26, общий"), std::string::npos);
}

// Started through the shell, a recorder that is not there (127), cannot be
// executed (126) or delivers nothing counts as not started: the message and
// the end of the program. (A player that is not there: audio-player-missing
// in the catalogue.) The imaginary parts a capture leaves are the next one's
// input: the same tone gives another spectrum the second time; bins 64 up are
// not written.
TEST(AudioCapture, RecorderThatCannotBeStartedEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child must not inherit the parked link thread
  static TempDir dir, tools;                       // removed at exit, also by a dying child
  TestStand().start_program();                     // a healthy general 26
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  auto tool = [&](const char* name, const std::string& script, mode_t mode) {
    std::ofstream(tools.file(name)) << "#!/bin/sh\n" << script << "\n";
    chmod(tools.file(name).c_str(), mode);
  };
  const std::string message = "Error: Отсутствую файлы для проверки аудио\n";
  tool("aplay", "exec /usr/bin/aplay \"$@\" 2>/dev/null", 0755);
  setenv("PATH", tools.path().c_str(), 1);
  for (auto [script, mode] : {std::pair{"", 0}, {"exec /usr/bin/arecord \"$@\"", 0644}, {"exit 0", 0755}}) {
    if (mode) tool("arecord", script, mode_t(mode));
    EXPECT_EXIT((stdout_to_stderr(), stand_read_sinus()), testing::ExitedWithCode(0), message) << script;
  }
  tool("arecord", "exec /usr/bin/arecord \"$@\" 2>/dev/null", 0755);
  std::string spectra;
  std::fill(famp + 64, famp + 128, 9u);  // the upper half is never written
  for (int capture = 0; capture < 2; ++capture, spectra += "| ") {
    spectra += printed(stand_read_sinus);
    for (int k : {0, 1, 2, 3, 4, 5, 6, 7, 64}) spectra += std::to_string(famp[k]) + " ";
  }
  EXPECT_EQ(spectra, "124 2 4 44 3 2 3 1 9 | 124 2 4 44 4 2 2 1 9 | ");
}

}  // namespace
