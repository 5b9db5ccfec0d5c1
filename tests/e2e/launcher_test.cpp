// The launcher and the stand's working directory: a scenario reaches the
// program, what cannot be used is refused with its name and reason, and the
// programs of one stand share the shield and the stand time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_run.h"
#include "scenario.h"

namespace {

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

ProgramRun launch(const TempDir& dir, std::vector<std::string> args, const std::string& input = "exit\n") {
  args.insert(args.begin(), VELK_LAUNCHER_PATH);
  return run_program(args, dir.path(), input);
}

TEST(Launcher, StartsTheProgramOnTheScenarioGivenByOptionsNamedAfterEveryKey) {
  TempDir tmp;
  auto help = launch(tmp, {"--help"});
  for (auto& key : sim::scenario_keys()) {
    std::string option = "--" + std::string(key.name);
    std::replace(option.begin(), option.end(), '.', '-');
    EXPECT_TRUE(has(help.out, "\n  " + option + " ")) << option;
  }
  auto run = launch(tmp, {"--dir", "D", "--number", "31", "--set", "link.code=0x18", "--trace", "T", "--", "-harmonic"},
                    "1\nexit\n");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(has(run.out, "Запуск в режиме считывания гармоник.\n")) << "arguments after -- reach the program";
  EXPECT_TRUE(has(run.out, "Shield   : 31\n")) << run.out;
  EXPECT_TRUE(has(read_file(tmp.file("D/shield.state")), "\nnumber=31\n"));
  EXPECT_TRUE(has(read_file(tmp.file("D/shield.state")), "\nlink.code=0x18\n"));
  EXPECT_TRUE(has(read_file(tmp.file("T/Velk_STM_Tool.vcd")), " RST $end"));
  EXPECT_TRUE(has(read_file(tmp.file("T/Velk_STM_Tool.log")), " RST "));

  auto fresh = launch(tmp, {"--dir", "D", "--fresh"}, "1\nexit\n");
  EXPECT_TRUE(has(fresh.out, "Shield   : 26\n")) << fresh.out;
}

TEST(Launcher, TheSameSessionGivesTheSameBytesAndTracesAlsoWithALinkFault) {
  TempDir first, second;
  const std::vector<std::string> args = {"--dir", "D", "--link-fault", "late", "--link-count", "2", "--trace", "T"};
  auto a = launch(first, args, "1\n3\n42\n2\nn\n1\n3\n"), b = launch(second, args, "1\n3\n42\n2\nn\n1\n3\n");
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(a.out, b.out);
  for (auto name : {"T/Velk_STM_Tool.vcd", "T/Velk_STM_Tool.log"}) {
    EXPECT_GT(read_file(first.file(name)).size(), 1000u) << name;
    EXPECT_EQ(read_file(first.file(name)), read_file(second.file(name))) << name;
  }
}

TEST(Launcher, RefusesWhatItCannotUseWithItsOwnStatusAndWordsStartingNothing) {
  struct Case {
    std::vector<std::string> args;
    const char* state;  // written to D/shield.state first; "dir" makes it a directory
    int status;
    const char* says;
  };
  const Case cases[] = {
      {{"--number", "256"}, nullptr, 64, "velk-stand: --number: \"256\" is not a decimal number in 0..255"},
      {{"--set", "colour=red"}, nullptr, 64, "velk-stand: --set colour: unknown key \"colour\""},
      {{"--bogus"}, nullptr, 64, "velk-stand: unknown option --bogus"},
      {{"--speed"}, nullptr, 64, "velk-stand: --speed needs a value"},
      {{"stray"}, nullptr, 64, "velk-stand: unexpected argument stray"},
      {{"--program", "nothing-here"}, nullptr, 66, "velk-stand: no program at "},
      {{}, "numbr=31\n", 78, "D/shield.state, line 1: unknown key \"numbr\""},
      {{"--number", "5"}, "dir", 78, "D/shield.state: a directory, not a shield state"},
      {{"--dir", "F"}, nullptr, 73, "F as the working directory"},
      {{"--trace", "F"}, nullptr, 73, "F as the trace directory"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.says);
    TempDir tmp;
    std::ofstream(tmp.file("F")) << "a file\n";
    std::filesystem::create_directory(tmp.file("D"));
    if (c.state && std::string(c.state) == "dir") std::filesystem::create_directory(tmp.file("D/shield.state"));
    if (c.state && std::string(c.state) != "dir") std::ofstream(tmp.file("D/shield.state")) << c.state;
    std::vector<std::string> args = {"--dir", "D"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto run = launch(tmp, args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(has(run.err, c.says)) << run.err;
    EXPECT_EQ(run.out, "") << "the program must not have started";
  }
}

TEST(StandProgram, StopsOnAScenarioItCannotUseWithItsOwnStatusBeforeTouchingALine) {
  struct Case {
    const char* state;
    std::vector<std::pair<std::string, std::string>> env;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"number=31\ncolour=red\n", {}, 78, "shield.state, line 2: unknown key \"colour\""},
      {nullptr, {{"VELK_SIM_SPEED", "fast"}}, 78, "VELK_SIM_SPEED: \"fast\" is not 0"},
      {nullptr, {{"VELK_SIM_TRACE", "/nonexistent/traces"}}, 73, "cannot write the trace: /nonexistent/traces/Velk_STM_Tool.vcd: No such file"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.says);
    TempDir dir;
    if (c.state) std::ofstream(dir.file("shield.state")) << c.state;
    auto run = run_program({VELK_STM_TOOL_PATH}, dir.path(), "exit\n", c.env);
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(has(run.err, c.says)) << run.err;
    EXPECT_EQ(run.out, "Версия: v1.4.0\n\n");
  }
}

// Two programs on one stand: a child started through the shell begins at its
// parent's stand time and changes the shield; the parent's shield boots that
// change at its next reset, its clock moves on to where the child ended, and
// the next program starts there. Each writes its own trace.
TEST(SharedStand, ProgramsSeeEachOthersShieldAndStandTime) {
  TempDir dir;
  std::filesystem::create_symlink(VELK_STAND_PROBE_PATH, dir.file("child"));
  std::vector<std::pair<std::string, std::string>> env = {{"VELK_SIM_TRACE", dir.path()}};
  auto run = run_program({VELK_STAND_PROBE_PATH, "reset", "read", "run", "./child reset number 42 wait 1000", "read",
                          "reset", "read"},
                         dir.path(), "", env);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "reset at 800.0 ms\n"
            "number 26\nread at 1000.5 ms\n"
            "reset at 1800.5 ms\n"
            "number at 2000.9 ms\n"
            "wait at 3000.9 ms\n"
            "run at 3000.9 ms\n"
            "number 26\nread at 3201.4 ms\n"
            "reset at 4001.4 ms\n"
            "number 42\nread at 4201.8 ms\n");
  EXPECT_TRUE(has(read_file(dir.file("child.log")), "MOSI A1 14 2A"));
  EXPECT_TRUE(has(read_file(dir.file("stand_probe.log")), "MOSI A1 02 EF"));
  auto next = run_program({VELK_STAND_PROBE_PATH, "wait", "1"}, dir.path(), "");
  EXPECT_EQ(next.out, "wait at 4202.8 ms\n");
}

}  // namespace
