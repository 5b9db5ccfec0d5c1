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
#include "test_stand.h"

namespace {

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

ProgramRun launch(const TempDir& dir, std::vector<std::string> args, const std::string& input = "exit\n") {
  args.insert(args.begin(), VELK_LAUNCHER_PATH);
  return run_program(args, dir.path(), input);
}

// Its help names each key of the scenario as an option; the options given
// reach the shield's state, what follows -- reaches the program, and --fresh
// starts from the default shield again.
TEST(Launcher, StartsTheProgramOnTheScenarioGivenByOptionsNamedAfterTheKeys) {
  TempDir tmp;
  EXPECT_TRUE(has(launch(tmp, {"--help"}).out, "\n  --link-count 0..4294967295\n        for late: receipts left"));
  auto run = launch(tmp, {"--dir", "D", "--number", "31", "--set", "link.code=0x18", "--", "-harmonic"}, "1\nexit\n");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(has(run.out, "Запуск в режиме считывания гармоник.\n") && has(run.out, "Shield   : 31\n")) << run.out;
  auto state = read_file(tmp.file("D/shield.state"));
  EXPECT_TRUE(has(state, "\nnumber=31\n") && has(state, "\nlink.code=0x18\n")) << state;
  EXPECT_TRUE(has(launch(tmp, {"--dir", "D", "--fresh"}, "1\nexit\n").out, "Shield   : 26\n"));
}

// Each kind of refusal of the launcher (its options, the program, the shield's
// state, the directories) and of the stand program itself (its scenario, its
// settings, its trace) has its status and words, and nothing starts.
TEST(Stand, RefusesWhatItCannotUseWithItsOwnStatusAndWordsStartingNothing) {
  const struct {
    std::vector<std::string> args;  // the launcher's after --dir D; "program": the stand program run in D
    const char* state;              // D/shield.state, written first unless empty
    Env env;
    int status;
    const char* says;
  } cases[] = {
      {{"--number", "256"}, "", {}, 64, "velk-stand: --number: \"256\" is not a decimal number in 0..255"},
      {{"--set", "colour=red"}, "", {}, 64, "velk-stand: --set colour: unknown key \"colour\""},
      {{"--bogus"}, "", {}, 64, "velk-stand: unknown option --bogus"},
      {{"--speed"}, "", {}, 64, "velk-stand: --speed needs a value"},
      {{"stray"}, "", {}, 64, "velk-stand: unexpected argument stray"},
      {{"--program", "nothing-here"}, "", {}, 66, "velk-stand: no program at "},
      {{}, "numbr=31\n", {}, 78, "D/shield.state, line 1: unknown key \"numbr\""},
      {{"--dir", "F"}, "", {}, 73, "F as the working directory"},
      {{"--trace", "F"}, "", {}, 73, "F as the trace directory"},
      {{"program"}, "number=31\ncolour=red\n", {}, 78, "shield.state, line 2: unknown key \"colour\""},
      {{"program"}, "", {{"VELK_SIM_SPEED", "fast"}}, 78, "VELK_SIM_SPEED: \"fast\" is not 0"},
      {{"program"}, "", {{"VELK_SIM_TRACE", "/nonexistent/t"}}, 73, "trace: /nonexistent/t/Velk_STM_Tool.vcd: No such"},
  };
  for (auto& c : cases) {
    TempDir tmp;
    std::ofstream(tmp.file("F")) << "a file\n";
    std::filesystem::create_directory(tmp.file("D"));
    if (*c.state) std::ofstream(tmp.file("D/shield.state")) << c.state;
    bool program = c.args == std::vector<std::string>{"program"};
    std::vector<std::string> args = {"--dir", "D"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto run = program ? run_program({VELK_STM_TOOL_PATH}, tmp.file("D"), "exit\n", c.env) : launch(tmp, args);
    EXPECT_EQ(run.status, c.status) << c.says;
    EXPECT_TRUE(has(run.err, c.says)) << run.err;
    EXPECT_EQ(run.out, program ? "Версия: v1.4.0\n\n" : "") << "nothing may have started: " << c.says;
  }
}

// The outside programs the stand program starts from its working directory:
// sudo is the stand's, found first, and runs the flasher on the same shield; a
// dump that is the user's own is left alone; what the scenario says is missing
// is not there, also when an earlier start had put it there.
TEST(Launcher, PutsTheOutsideProgramsInPlaceAndLeavesTheUsersOwnAlone) {
  TempDir tmp;
  std::filesystem::create_directories(tmp.file("D/home/pi"));
  std::ofstream(tmp.file("D/home/pi/Dump.bin")) << "mine";
  auto run =
      launch(tmp, {"--dir", "D", "--program", "/bin/sh", "--", "-c",
                   "command -v sudo; sudo ./Velk_Flasher Osmu_v324.bin >/dev/null; echo $?; cat home/pi/Dump.bin"});
  EXPECT_EQ(run.out, tmp.file("D/stand-bin/sudo") + "\n5\nmine") << run.err;
  launch(tmp, {"--dir", "E", "--program", "/bin/true"});  // the stand's own dump, taken away again below
  run = launch(
      tmp,
      {"--dir", "E", "--flasher", "missing", "--stlink-fault", "missing", "--dump", "missing", "--program", "/bin/sh",
       "--", "-c",
       "sudo ./Velk_Flasher; echo $?; ls home/pi; test -e proj/stlink-repo/build/Release/st-flash || echo no tool"});
  EXPECT_EQ(run.out, "1\nno tool\n");
  EXPECT_EQ(run.err, "sudo: ./Velk_Flasher: command not found\n");
}

// Two programs on one stand: a child started through the shell begins at its
// parent's stand time and changes the shield; the parent's shield boots that
// change at its next reset, its clock moves on to where the child ended, and
// the next program starts there. Each writes its own trace.
TEST(SharedStand, ProgramsSeeEachOthersShieldAndStandTime) {
  SKIP_IF_CLOCK_RUNS_FREE();
  TempDir dir;
  std::filesystem::create_symlink(VELK_STAND_PROBE_PATH, dir.file("child"));
  auto run = run_program(
      {VELK_STAND_PROBE_PATH, "reset", "read", "run", "./child reset number 42 wait 1000", "read", "reset", "read"},
      dir.path(), "", {{"VELK_SIM_TRACE", dir.path()}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "reset at 800.0 ms\nnumber 26\nread at 1000.5 ms\nreset at 1800.5 ms\nnumber at 2000.9 ms\nwait at 3000.9 "
            "ms\nrun at 3000.9 ms\nnumber 26\nread at 3201.4 ms\nreset at 4001.4 ms\nnumber 42\nread at 4201.8 ms\n");
  EXPECT_TRUE(has(read_file(dir.file("child.log")), "MOSI A1 14 2A"));
  EXPECT_TRUE(has(read_file(dir.file("stand_probe.log")), "MOSI A1 02 EF"));
  EXPECT_EQ(run_program({VELK_STAND_PROBE_PATH, "wait", "1"}, dir.path(), "").out, "wait at 4202.8 ms\n");
}

}  // namespace
