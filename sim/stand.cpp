#include "stand.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "clock.h"
#include "trace.h"

namespace sim {
namespace {

StandConfig& config() {
  static auto* c = new StandConfig;
  return *c;
}

bool started = false;

std::string env(const char* name, const char* fallback = "") {
  const char* v = std::getenv(name);
  return v ? v : fallback;
}

}  // namespace

bool stand_config_from_environment(StandConfig& c, std::string& error) {
  c.state_path = env("VELK_SIM_STATE", "shield.state");
  std::ifstream in(c.state_path);
  if (in) {
    std::stringstream text;
    text << in.rdbuf();
    auto state = shield_state_parse(text.str(), error);
    if (!state) {
      error = c.state_path + ": " + error;
      return false;
    }
    c.shield = *state;
  }
  auto mapping = env("VELK_SIM_MAPPING", "full");
  c.mapping = mapping == "none" ? Mapping::none : mapping == "gpio-only" ? Mapping::gpio_only : Mapping::full;
  c.speed = std::atof(env("VELK_SIM_SPEED", "0").c_str());
  c.fail_thread_creation = env("VELK_SIM_THREADS") == "fail";
  c.vcd_path = env("VELK_SIM_VCD");
  c.log_path = env("VELK_SIM_LOG");
  return true;
}

bool stand_start(const StandConfig& c) {
  if (started) return true;
  started = true;
  config() = c;
  clock_set_speed(c.speed);
  clock_fail_thread_creation(c.fail_thread_creation);
  shield_install(c.shield, c.state_path);
  auto trace = c.vcd_path.empty() ? c.log_path : c.vcd_path;
  if (trace.empty()) return true;
  auto path = std::filesystem::path(trace);
  std::string error;
  if (trace_open(path.parent_path().string(), path.stem().string(), error)) return true;
  std::fprintf(stderr, "simulated stand: no trace: %s\n", error.c_str());
  return false;
}

bool stand_started() { return started; }

const StandConfig& stand_config() { return config(); }

}  // namespace sim
