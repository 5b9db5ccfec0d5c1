// The programs as the operator meets them live in the catalogue of sessions
// (tests/scenarios/). Here is what a transcript cannot show: the shield's
// reset pulses, the lines while the operator is asked, and a machine left
// untouched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_capture.h"
#include "program_run.h"
#include "test_stand.h"

namespace {

// Each pass reads the shield for 1000 ms and checks it (the audio path's ten
// captures take 20150 ms of it) before asking whether to go on; then the
// shield stays in reset 600 ms, settles 200 ms, and the next pass starts 100 ms
// later. A relay found stuck is switched off before the operator is asked about
// it.
TEST(StandProgramE2e, PassesAreSeparatedByAResetPulseAndRelaysAreOffAtAQuestion) {
  SKIP_IF_CLOCK_RUNS_FREE();
  const std::string once = "0.000 RST 0\n600.000 RST 1\n";
  const struct {
    std::vector<std::string> options;
    const char* answers;
    std::string resets;
  } cases[] = {
      {{"--firmware", "324"}, "2\nn\n1\ny\nn\n", once + "43250.000 RST 0\n43850.000 RST 1\n"},
      {{"--relay-rel2", "stuck-off"}, "2\nn\n1\n3\n", once},
  };
  for (auto& c : cases) {
    TempDir tmp;
    std::vector<std::string> args = {VELK_LAUNCHER_PATH, "--dir", "D", "--trace", "T"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    auto run = run_program(args, tmp.path(), c.answers);
    auto trace = read_file(tmp.file("T/Velk_STM_Tool.log"));
    EXPECT_EQ(run.status, 0) << c.answers << run.err;
    EXPECT_EQ(trace_lines(trace, " RST "), c.resets) << c.answers;
    EXPECT_TRUE(trace_lines(trace, " REL2_OUT ").ends_with(" REL2_OUT 0\n")) << c.answers;
  }
}

// Without its arguments, its image or the peripherals, a program stops before
// it touches a line or the bus (what it says is in the catalogue).
TEST(StandE2e, AProgramThatCannotRunLeavesTheLinesAlone) {
  const std::string flasher = VELK_FLASHER_PATH, image = "Osmu_v324.bin";
  const std::pair<int, std::vector<std::string>> cases[] = {
      {2, {"--mapping", "none"}},
      {4, {"--program", flasher}},
      {3, {"--program", flasher, "--", "missing.bin"}},
      {15, {"--mapping", "none", "--program", flasher, "--", image}},
      {15, {"--mapping", "gpio-only", "--program", flasher, "--", image}},
  };
  for (auto& [status, options] : cases) {
    TempDir tmp;
    std::vector<std::string> args = {VELK_LAUNCHER_PATH, "--dir", "D", "--trace", "T"};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_EQ(run_program(args, tmp.path(), "").status, status) << options[1] << " " << options.back();
    EXPECT_EQ(read_file(tmp.file("T/Velk_STM_Tool.log")) + read_file(tmp.file("T/Velk_Flasher.log")), "")
        << options[1] << " " << options.back();
  }
}

}  // namespace
