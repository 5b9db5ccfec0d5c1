// The audio check through the launcher: the scenario's audio key reaches the
// shield, the real ALSA tools record it, the pass shows the verdict and leaves the picture.
#include <gtest/gtest.h>

#include "program_run.h"

namespace {

TEST(AudioE2e, ATestPassShowsTheAudioVerdictOfTheShieldOnTheStand) {
  const std::string passed = "Звуковой спектр полностью соответствует.\n\nWarning: Желаете повторить испытания?";
  const std::string failed = "Несоответствие спектра :18%\n\nWarning: Ошибка работы звукового тракта.\n";
  for (auto [option, value, verdict] : {std::tuple{"--number", "27", passed}, {"--audio", "dead", failed}}) {
    TempDir dir;
    auto run = run_program({VELK_LAUNCHER_PATH, "--dir", dir.path(), "--edition", "kordent", option, value}, dir.path(),
                           "2\nn\n2\n2\nn\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(verdict), std::string::npos) << run.out;
    EXPECT_NE(read_file(dir.file("audio_spectrum.svg")).find("шилд " + std::string(option[2] == 'n' ? "27" : "26")),
              std::string::npos);
  }
}

}  // namespace
