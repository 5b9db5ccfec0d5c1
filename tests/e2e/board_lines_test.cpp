// The board keeps its lines between programs, as a Pi does until power-off:
// the stand program finds what the last program left switched on and puts it
// right before it checks anything, and the shield's reset is a whole pulse
// between passes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "console_capture.h"
#include "program_run.h"
#include "test_stand.h"

namespace {

// The shield has been running since its reset line went HIGH, in the mode the
// start-mode line chose, and a program sees what the last program, or a
// program it started, left on. The stand program, run next, switches off
// what it finds on before its first request (its trace up to there). A board
// file that is not one stops a program before it touches a line, until the
// launcher sets the board's start anew.
TEST(BoardLines, ProgramsCarryOnFromTheLinesAnotherLeftAndRefuseABoardFileThatIsNotOne) {
  SKIP_IF_CLOCK_RUNS_FREE();
  const std::string probe = VELK_STAND_PROBE_PATH;
  const struct {
    const char* start;
    std::vector<std::string> steps;  // the probe's
    std::string found;               // in what the probe printed or traced
    std::string trace;               // the stand program's up to its first request, when it runs next
  } cases[] = {
      // LN_IMIT, LN_BR and relay 0 left on (its read-back shows it on until the relay is switched off).
      {"power-up",
       {"high", "22", "high", "24", "high", "6"},
       "high at 0.0 ms\n",
       "0.000 --\n0.000 REL0_OUT 1\n0.000 RST 0\n0.000 STM_INT 0\n0.000 LN_IMIT 1\n0.000 LN_BR 1\n0.000 --\n0.000 "
       "REL0_IN 0\n0.000 LN_BR 0\n0.000 LN_IMIT 0\n0.000 REL0_IN 1\n0.000 REL0_OUT 0\n600.000 RST 1\n"},
      // Not the firmware: it does not answer the link.
      {"flasher-left",
       {"read"},
       "number 0\n",
       "200.456 --\n200.456 REL0_OUT 0\n200.456 RST 1\n200.456 STM_INT 1\n200.456 LN_IMIT 0\n200.456 LN_BR 0\n200.456 "
       "--\n200.456 REL0_IN 1\n200.456 RST 0\n200.456 STM_INT 0\n800.456 RST 1\n"},
      {"adc-aborted", {"read"}, "number 26\n", ""},
      {"power-up", {"run", probe + " high 22 >/dev/null"}, "LN_IMIT      1\n", ""},
  };
  for (auto& c : cases) {
    TempDir dir;
    std::ofstream(dir.file("shield.state")) << "board.start=" << c.start << "\n";
    std::vector<std::string> argv = {probe};
    argv.insert(argv.end(), c.steps.begin(), c.steps.end());
    auto run = run_program(argv, dir.path(), "", {{"VELK_SIM_TRACE", dir.path()}});
    EXPECT_NE((run.out + read_file(dir.file("stand_probe.log"))).find(c.found), std::string::npos)
        << c.start << run.out;
    if (c.trace.empty()) continue;
    run = run_program({VELK_STM_TOOL_PATH}, dir.path(), "1\nexit\n", {{"VELK_SIM_TRACE", dir.path()}});
    EXPECT_NE(run.out.find(shield_parameters(325, 26, "32001f3436510b38383437")), std::string::npos) << c.start;
    auto trace = read_file(dir.file("Velk_STM_Tool.log"));
    EXPECT_EQ(trace_lines(trace.substr(0, trace.find("CE0  MOSI")), " -- REL0_OUT REL0_IN RST STM_INT LN_IMIT LN_BR "),
              c.trace);
  }
  TempDir dir;
  std::ofstream(dir.file("board.lines")) << "fsel 1\n";
  auto run = run_program({VELK_STM_TOOL_PATH}, dir.path(), "exit\n");
  EXPECT_EQ(run.status, 78);
  EXPECT_NE(run.err.find("board.lines: not the board's lines (remove it to power the board up)"), std::string::npos);
  run = run_program({VELK_LAUNCHER_PATH, "--dir", dir.path(), "--board-start", "power-up"}, dir.path(), "exit\n");
  EXPECT_EQ(run.status, 1) << run.err;
}

}  // namespace
