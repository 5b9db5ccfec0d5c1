// The scenario: one rule for every value, and the files every program of a
// stand shares.
#include "scenario.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "program_run.h"
#include "stand_files.h"
#include "test_stand.h"

namespace {

using sim::Scenario;
using namespace std::chrono_literals;

// Decimal numbers with leading zeros and nothing else; codes also in hex;
// identifier words in hex, three of them, 32 bits each; names from a list;
// speeds in the watchable range. A refusal names the key.
TEST(ScenarioValues, FollowOneRuleWhereverTheyAreGiven) {
  // Key, value, as the file writes it back (nullptr: refused).
  // clang-format off
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"number", "00000000000000000000011", "11"}, {"number", "0x1f", nullptr}, {"number", "+31", nullptr},
      {"number", "", nullptr}, {"link.code", "0x1A", "0x1a"}, {"link.code", "24", "0x18"},
      {"link.code", "0x100", nullptr}, {"id", "1,0xABC,7", "00000001,00000abc,00000007"}, {"id", "1,2,3,4", nullptr},
      {"id", "1,,3", nullptr}, {"id", "123456789,0,0", nullptr}, {"link.fault", "wrong-address", "wrong-address"},
      {"edition", "talvo", nullptr}, {"speed", "0.1", "0.1"}, {"speed", "50", "50"}, {"speed", "0.09", nullptr},
      {"speed", "50.5", nullptr}, {"speed", "1e20", nullptr}};
  // clang-format on
  for (auto [key, text, stored] : cases) {
    Scenario s;
    std::string error;
    bool ok = sim::scenario_set(s, key, text, error);
    bool named = error.starts_with(key) || error.starts_with("unknown key");
    EXPECT_EQ(ok      ? sim::scenario_key(key)->print(s)
              : named ? "refused"
                      : error,
              stored ? stored : "refused")
        << key << "=" << text;
  }
}

// A state file that is a link (to a file of the stand's own) stays one and the
// file it names gets the new state; no temporary file is left, nor one that a
// killed writer left. A program ended by SIGTERM or SIGINT publishes its stand
// time first.
TEST(StandFiles, ReplaceThroughALinkClearWhatKilledWritersLeftAndKeepTheStandTime) {
  TempDir dir;
  std::ofstream(dir.file("real.state")) << "number=1\n";
  std::ofstream(dir.file("real.state.Ab12cd")) << "number=";  // a killed writer's
  std::filesystem::last_write_time(dir.file("real.state.Ab12cd"), std::filesystem::file_time_type::clock::now() - 1h);
  std::filesystem::create_symlink(dir.file("real.state"), dir.file("shield.state"));
  Scenario s;
  s.shield.number = 77;
  std::string error;
  ASSERT_TRUE(sim::scenario_save(dir.file("shield.state"), s, error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("shield.state")));
  EXPECT_NE(read_file(dir.file("real.state")).find("\nnumber=77\n"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "a temporary file was left";
  const sim::StandConfig stand{.scenario = {}, .state_path = dir.file("shield.state")};
  for (int signal : {SIGTERM, SIGINT})
    EXPECT_EXIT((sim::stand_start(stand), sim::clock_delay_us(1500), raise(signal)), testing::KilledBySignal(signal),
                "");
  EXPECT_EQ(read_file(dir.file("stand.time")), "3000\n");
}

}  // namespace
