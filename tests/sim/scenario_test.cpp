// The scenario: one rule for every value, the file as a stand engineer writes
// it, and the files every program of a stand shares.
#include "scenario.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "program_run.h"
#include "stand_files.h"

namespace {

using sim::Scenario;

TEST(ScenarioValues, FollowOneRuleWhereverTheyAreGiven) {
  struct Case {
    const char* key;
    const char* text;
    const char* stored;  // as the file writes it back; nullptr = refused
  };
  const Case cases[] = {
      {"number", "011", "11"},  // decimal, leading zeros and all
      {"number", "255", "255"},
      {"number", "256", nullptr},
      {"number", "0x1f", nullptr},
      {"number", " 31", nullptr},
      {"number", "+31", nullptr},
      {"number", "-18446744073709551615", nullptr},
      {"number", "", nullptr},
      {"firmware", "65535", "65535"},
      {"firmware", "65536", nullptr},
      {"link.count", "4294967295", "4294967295"},
      {"link.count", "18446744073709551616", nullptr},
      {"link.code", "0x1A", "0x1a"},
      {"link.code", "24", "0x18"},
      {"link.code", "0x100", nullptr},
      {"id", "1,0xABC,0", "00000001,00000abc,00000000"},
      {"id", "1,2", nullptr},
      {"id", "1,2,3,4", nullptr},
      {"id", "1,,3", nullptr},
      {"id", "123456789,0,0", nullptr},
      {"edition", "kordent", "kordent"},
      {"edition", "talvo", nullptr},
      {"link.fault", "wrong-address", "wrong-address"},
      {"link.fault", "flaky", nullptr},
      {"speed", "0", "0"},
      {"speed", "0.1", "0.1"},
      {"speed", "50", "50"},
      {"speed", "700", nullptr},
      {"speed", "0.0001", nullptr},
      {"speed", "1e20", nullptr},
      {"speed", "1e-400", nullptr},
      {"speed", "inf", nullptr},
      {"speed", "-1", nullptr},
      {"mapping", "gpio-only", "gpio-only"},
      {"threads", "sometimes", nullptr},
      {"colour", "red", nullptr},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << "=\"" << c.text << "\"");
    Scenario s;
    std::string error;
    bool ok = sim::scenario_set(s, c.key, c.text, error);
    EXPECT_EQ(ok, c.stored != nullptr) << error;
    if (ok) {
      EXPECT_EQ(sim::scenario_key(c.key)->print(s), c.stored);
    } else {
      EXPECT_TRUE(error.starts_with(c.key) || error.starts_with("unknown key")) << error;
    }
  }
}

TEST(ScenarioFile, ReadsBackWhatItWritesAndNamesTheLineItCannotUse) {
  Scenario s;
  std::string error;
  for (auto [key, value] : {std::pair{"number", "42"},
                            {"edition", "kordent"},
                            {"id", "ffffffff,1,2"},
                            {"link.fault", "late"},
                            {"link.count", "3"},
                            {"link.code", "0x18"}})
    ASSERT_TRUE(sim::scenario_set(s, key, value, error)) << error;
  Scenario back;
  ASSERT_TRUE(sim::scenario_parse(sim::scenario_text(s), "f", back, error)) << error;
  EXPECT_EQ(sim::scenario_text(back), sim::scenario_text(s));

  const std::pair<const char*, const char*> broken[] = {
      {"number=31\ncolour=red\n", "f, line 2: unknown key \"colour\""},
      {"# a shield\n\nnumber=300\n", "f, line 3: number: \"300\" is not a decimal number in 0..255"},
      {"number=1\nnumber=2\n", "f, line 2: \"number\" is given twice"},
      {"firmware\n", "f, line 1: expected key=value, found \"firmware\""},
      {"speed=1\n", "f, line 1: unknown key \"speed\""},  // a setting of one run, not of the shield
  };
  for (auto [text, message] : broken) {
    Scenario t;
    EXPECT_FALSE(sim::scenario_parse(text, "f", t, error)) << text;
    EXPECT_TRUE(error.starts_with(message)) << error;
  }
  Scenario crlf;
  EXPECT_TRUE(sim::scenario_parse("number=31\r\nedition=kordent\r\n", "f", crlf, error)) << error;
  EXPECT_EQ(crlf.shield.number, 31);
}

TEST(StandFiles, RefuseWhatIsNoShieldStateAndReplaceThroughALink) {
  TempDir dir;
  auto path = [&](const char* name) { return dir.file(name); };
  std::filesystem::create_directory(path("a-directory"));
  std::ofstream(path("empty")).flush();
  std::filesystem::create_symlink(path("nowhere"), path("dangling"));
  const std::pair<const char*, const char*> refused[] = {
      {"a-directory", "a directory, not a shield state"},
      {"empty", "empty"},
      {"dangling", "a symbolic link to a missing file"},
  };
  for (auto [name, reason] : refused) {
    Scenario s;
    bool found = true;
    std::string error;
    EXPECT_FALSE(sim::scenario_load(path(name), s, found, error)) << name;
    EXPECT_TRUE(error.starts_with(path(name) + ": " + reason)) << error;
  }
  Scenario s;
  bool found = true;
  std::string error;
  EXPECT_TRUE(sim::scenario_load(path("missing"), s, found, error));
  EXPECT_FALSE(found);

  // A state file that is a link stays one; the file it names gets the new state.
  std::ofstream(path("real.state")) << "number=1\n";
  std::filesystem::create_symlink(path("real.state"), path("shield.state"));
  s.shield.number = 77;
  ASSERT_TRUE(sim::scenario_save(path("shield.state"), s, error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(path("shield.state")));
  EXPECT_NE(read_file(path("real.state")).find("\nnumber=77\n"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 5) << "a temporary file was left";

  chmod(dir.path().c_str(), 0555);
  if (access(dir.path().c_str(), W_OK) != 0) {  // root writes anywhere
    EXPECT_FALSE(sim::scenario_save(path("shield.state"), s, error));
  }
  chmod(dir.path().c_str(), 0755);
}

}  // namespace
