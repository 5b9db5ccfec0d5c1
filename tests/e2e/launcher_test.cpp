// The launcher and the stand's working directory: what cannot be used is
// refused with its name and reason, and the programs of one stand share the
// shield and the stand time. (Its help and options reaching the program are
// played in the catalogue, launcher-*.)
#include <gtest/gtest.h>
#include <sys/stat.h>
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

// What a test puts at a path before the run: "@X" a symbolic link to X, "|" a
// FIFO, "/" a directory, anything else a file holding it.
void put(const TempDir& tmp, const std::string& path, const std::string& what) {
  auto at = tmp.file(path);
  if (what.starts_with('@')) return std::filesystem::create_symlink(tmp.file(what.substr(1)), at);
  if (what == "|") return (void)mkfifo(at.c_str(), 0644);
  if (what == "/") return (void)std::filesystem::create_directory(at);
  std::ofstream(at) << what;
}

// Each kind of refusal of the launcher (its options, the program, the stand's
// files, the directories; a bad option alone is played in the catalogue,
// launcher-refuses-*) and of the stand program itself (its scenario, its
// stand time, its lock, its settings, its trace) has its status and words,
// nothing starts, nothing is written: not the state, not the file F outside
// the working directory D, not a lock beside it.
TEST(Stand, RefusesWhatItCannotUseWithItsOwnStatusAndWordsStartingNothing) {
  using Files = std::vector<std::pair<std::string, std::string>>;  // put() before the run
  const std::string a_lot(1 << 20, '7');
  const struct {
    std::vector<std::string> args;  // the launcher's after --dir D; "program": the stand program run in D
    Files files;
    Env env;
    int status;
    std::string says;
  } cases[] = {
      {{"--program", "nothing-here"}, {}, {}, 66, "velk-stand: no program at "},
      {{}, {{"D/shield.state", "speed=1\n"}}, {}, 78, "D/shield.state, line 1: unknown key \"speed\""},  // a run's
      {{}, {{"D/shield.state", "number=1\nnumber=2\n"}}, {}, 78, "D/shield.state, line 2: \"number\" is given twice"},
      {{}, {{"D/shield.state", "firmware\n"}}, {}, 78, "D/shield.state, line 1: expected key=value, found \"firm"},
      {{},
       {{"D/shield.state", "number=" + a_lot}},
       {},
       78,
       "line 1: number: \"" + a_lot.substr(0, 60) + "...\" is not"},
      {{},
       {{"D/shield.state", std::string("# a shield\n\nnumber=3\0x\n", 23)}},
       {},
       78,
       "line 3: number: \"3\\x00x\" is"},
      {{}, {{"D/shield.state", "/"}}, {}, 78, "D/shield.state: a directory, not a stand file"},
      {{}, {{"D/shield.state", ""}}, {}, 78, "D/shield.state: empty"},
      {{}, {{"D/shield.state", "@nowhere"}}, {}, 78, "D/shield.state: a symbolic link to a missing file"},
      {{"--fresh"}, {{"D/shield.state", "@F"}}, {}, 78, "D/shield.state: a symbolic link to "},
      {{}, {{"P", "|"}, {"D/stand.time", "@P"}}, {}, 78, "D/stand.time: a symbolic link to "},  // to a device
      {{}, {{"D/stand.time", "99999999999999999999\n"}}, {}, 78, "\"99999999999999999999\\x0a\" is not a stand time"},
      {{}, {{"D/shield.state.lock", "/"}}, {}, 78, "D/shield.state.lock: cannot be used as the stand's lock: Is a"},
      {{"--dir", "F"}, {}, {}, 73, "F as the working directory"},
      {{"--number", "51", "--trace", "F/t"}, {}, {}, 73, "F/t as the trace directory"},
      {{"program"}, {{"D/shield.state", "number=31\r\nfirmware=x\r\n"}}, {}, 78, "state, line 2: firmware: \"x\" is"},
      {{"program"}, {{"D/stand.time", "-5\n"}}, {}, 78, "stand.time: \"-5\\x0a\" is not a stand time"},
      {{"program"}, {{"D/stand.time", "|"}}, {}, 78, "stand.time: not a regular file"},
      {{"program"}, {{"D/shield.state.lock", "@D/shield.state.lock"}}, {}, 78, "lock: a symbolic link"},
      {{"program"}, {}, {{"VELK_SIM_SPEED", "fast"}}, 78, "VELK_SIM_SPEED: \"fast\" is not 0"},
      {{"program"}, {}, {{"VELK_SIM_TRACE", "../F/t"}}, 73, "trace: ../F/t/Velk_STM_Tool.vcd: Not a directory"},
  };
  for (auto& c : cases) {
    TempDir tmp;
    std::ofstream(tmp.file("F")) << "a file\n";
    std::filesystem::create_directory(tmp.file("D"));
    for (auto& [path, what] : c.files) put(tmp, path, what);
    const std::string state = read_file(tmp.file("D/shield.state"));
    bool program = c.args == std::vector<std::string>{"program"};
    std::vector<std::string> args = {"--dir", "D"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto run = program ? run_program({VELK_STM_TOOL_PATH}, tmp.file("D"), "exit\n", c.env, 5) : launch(tmp, args);
    EXPECT_EQ(run.status, c.status) << c.says;
    EXPECT_TRUE(has(run.err, c.says)) << run.err;
    EXPECT_EQ(run.out, program ? "Версия: v1.4.0\n\n" : "") << "nothing may have started: " << c.says;
    EXPECT_EQ(read_file(tmp.file("D/shield.state")) + read_file(tmp.file("F")), state + "a file\n") << c.says;
    EXPECT_FALSE(std::filesystem::exists(tmp.file("F.lock"))) << c.says;
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
  const std::string e = "E x\"";  // ALSA splits its configuration path at blanks; quotes end its strings
  launch(tmp, {"--dir", e, "--program", "/bin/true"});  // the stand's own dump, taken away again below
  run =
      launch(tmp, {"--dir", e, "--flasher", "missing", "--stlink-fault", "missing", "--dump", "missing", "--program",
                   "/bin/sh", "--", "-c",
                   "sudo ./Velk_Flasher; echo $?; ls home/pi; test -e proj/stlink-repo/build/Release/st-flash || "
                   "echo no tool; " VELK_STAND_PROBE_PATH " run \"arecord -q -D lp -s 100 x.wav\" >&2; wc -c <x.wav"});
  EXPECT_EQ(run.out, "1\nno tool\n144\n");
  EXPECT_TRUE(run.err.starts_with("sudo: ./Velk_Flasher: command not found\nrun at ")) << run.err;
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

// A state another program left unreadable stops a program when its shield
// next starts; what the program printed until then is not lost.
TEST(SharedStand, AStateMadeUnreadableStopsTheProgramKeepingWhatItPrinted) {
  TempDir dir;
  auto run = run_program({VELK_STAND_PROBE_PATH, "run", "echo number=x >shield.state", "reset"}, dir.path(), "");
  EXPECT_EQ(run.status, 78);
  EXPECT_TRUE(run.out.starts_with("run at ")) << run.out;
  EXPECT_TRUE(has(run.err, "shield.state, line 1: number: \"x\" is not")) << run.err;
}

}  // namespace
