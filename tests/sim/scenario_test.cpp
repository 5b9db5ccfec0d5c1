// The scenario: one rule for every value, and the files every program of a
// stand shares.
#include "stand/scenario.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "program_run.h"
#include "stand/stand_files.h"
#include "test_stand.h"

namespace {

using sim::Scenario;
using namespace std::chrono_literals;

// The speeds a person can watch, to their ends, are taken and written back as
// given (the stand runs free at them, which no session of the catalogue does;
// the values refused, and those of the other keys, are played there:
// launcher-refuses-*, launcher-takes-values-in-every-written-form).
TEST(ScenarioValues, TakeAWatchableSpeedToItsEnds) {
  for (const char* speed : {"0.1", "50"}) {
    Scenario s;
    std::string error;
    EXPECT_TRUE(sim::scenario_set(s, "speed", speed, error)) << error;
    EXPECT_EQ(sim::scenario_key("speed")->print(s), speed);
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
