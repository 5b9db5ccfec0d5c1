// The audio check as a stand engineer meets it through the launcher: the
// scenario's audio key reaches the shield, the real ALSA tools record it, and
// the test pass shows the verdict; the picture is left in the working directory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_run.h"

namespace {

// Test passes of shields whose audio path is healthy or dead; "2" goes on
// past a failed check, "n" ends the run after the pass.
TEST(AudioE2e, ATestPassShowsTheAudioVerdictOfTheShieldOnTheStand) {
  struct Case {
    std::vector<std::string> options;
    const char* answers;
    std::string verdict;
    bool measured;  // and so drawn
  };
  const std::string failed = "\nWarning: Ошибка работы звукового тракта.\nВведите 1,2 или 3:\n";
  const Case cases[] = {
      {{"--number", "26", "--edition", "kordent"}, "2\nn\n2\nn\n", "Звуковой спектр полностью соответствует.\n", true},
      {{"--number", "27", "--edition", "kordent"}, "2\nn\n2\nn\n", "Звуковой спектр полностью соответствует.\n", true},
      {{"--audio", "dead"}, "2\nn\n1\n2\nn\n", "Несоответствие спектра :18%\n" + failed, true},
      {{"--number", "27"}, "2\nn\n1\n2\nn\n", "тест звука не может быть проведен.\n" + failed, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::vector<std::string> args = {VELK_LAUNCHER_PATH, "--dir", dir.path()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    auto run = run_program(args, dir.path(), c.answers);
    EXPECT_EQ(run.status, 0) << c.answers;
    EXPECT_NE(run.out.find(c.verdict), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nWarning: Желаете повторить испытания? y/n \n"), std::string::npos);
    EXPECT_EQ(read_file(dir.file("audio_spectrum.svg")).empty(), !c.measured);
  }
}

}  // namespace
