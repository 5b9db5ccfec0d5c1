// The launcher: it prepares a stand directory for a scenario, starts the stand
// program there with the caller's input and output, and refuses bad options.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "program_run.h"

namespace {

// The build the program under test comes from (<build>/bin/Velk_STM_Tool).
std::string build_dir() { return std::filesystem::path(VELK_STM_TOOL_PATH).parent_path().parent_path(); }

ProgramRun launch(const TempDir& dir, std::vector<std::string> args, const std::string& input) {
  args.insert(args.begin(), {"/bin/bash", VELK_LAUNCHER_PATH});
  return run_program(args, dir.path(), input, {{"VELK_BUILD_DIR", build_dir()}});
}

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

TEST(LauncherE2e, StartsTheProgramOnTheScenarioAndWritesTheTrace) {
  TempDir tmp;
  std::string d = tmp.file("D");
  auto run = launch(tmp, {"--dir", d, "--number", "31", "--trace", d + "/run.vcd"}, "1\nexit\n");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(has(run.out, "Shield   : 31\n")) << run.out;
  EXPECT_TRUE(has(read_file(d + "/shield.state"), "\nnumber=31\n"));
  auto vcd = read_file(d + "/run.vcd");
  EXPECT_TRUE(has(vcd, "$var wire 1 g14 RST $end")) << vcd.substr(0, 400);
  EXPECT_TRUE(has(vcd, "\n0g14\n") && has(vcd, "\n1g14\n")) << "the reset pulse's edges";
  EXPECT_TRUE(has(read_file(d + "/run.log"), "RST")) << "the text log sits beside the VCD";
}

TEST(LauncherE2e, ARestartKeepsWhatTheProgramChangedAndFreshStartsFromTheDefaults) {
  TempDir tmp;
  std::string d = tmp.file("D");
  ASSERT_EQ(launch(tmp, {"--dir", d}, "3\n42\nexit\n").status, 1);

  auto kept = launch(tmp, {"--dir", d, "--firmware", "326", "--", "-harmonic"}, "1\nexit\n");
  EXPECT_TRUE(has(kept.out, "Запуск в режиме считывания гармоник.\n")) << "arguments after -- reach the program";
  EXPECT_TRUE(has(kept.out, "Firmware : 326\nShield   : 42\n")) << kept.out;

  auto fresh = launch(tmp, {"--dir", d, "--fresh", "--edition", "kordent"}, "1\nexit\n");
  EXPECT_TRUE(has(fresh.out, "Firmware : 325\nShield   : 26\n")) << fresh.out;
  EXPECT_TRUE(has(read_file(d + "/shield.state"), "\nedition=kordent\n"));
}

TEST(LauncherE2e, WritesTheShieldOptionsInTheStatesOwnFormat) {
  TempDir tmp;
  std::string d = tmp.file("D");
  auto run = launch(tmp, {"--dir", d, "--id", "1,0xABC,0", "--link-fault", "late:2:0x18"}, "1\nexit\n");
  EXPECT_EQ(run.status, 1) << run.err;
  auto state = read_file(d + "/shield.state");
  EXPECT_TRUE(has(state, "\nid=00000001,00000abc,00000000\n")) << state;
  EXPECT_TRUE(has(state, "\nlink_fault=late\nlink_fault_code=24\nlink_fault_count=2\n")) << state;
  EXPECT_TRUE(has(run.out, "Shield   : 26\n")) << "the program takes the file as written: " << run.out;
}

TEST(LauncherE2e, RefusesInvalidValuesWithStatus64BeforeStartingAnything) {
  const std::vector<std::string> bad[] = {
      {"--number", "256"},
      {"--number", "x"},
      {"--edition", "talvo"},
      {"--firmware", "-1"},
      {"--id", "1,2"},
      {"--id", "1,2,xyz"},
      {"--link-fault", "flaky"},
      {"--link-fault", "late:x"},
      {"--link-fault", "dies:1:0x100"},
      {"--speed", "0"},
      {"--speed", "fast"},
      {"--bogus"},
      {"--dir"},
  };
  for (auto& args : bad) {
    TempDir tmp;
    std::vector<std::string> all = {"--dir", tmp.file("D")};
    all.insert(all.end(), args.begin(), args.end());
    auto run = launch(tmp, all, "exit\n");
    EXPECT_EQ(run.status, 64) << args[0];
    EXPECT_TRUE(has(run.err, "velk-stand: ")) << args[0] << ": " << run.err;
    EXPECT_EQ(run.out, "") << args[0];
    EXPECT_FALSE(std::filesystem::exists(tmp.file("D"))) << args[0];
  }
}

}  // namespace
