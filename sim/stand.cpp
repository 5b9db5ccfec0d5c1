#include "stand.h"

#include <cstdio>
#include <cstdlib>
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

void write_traces_at_exit() {
  auto& c = config();
  if (!c.vcd_path.empty() && !trace_write_vcd(c.vcd_path))
    std::fprintf(stderr, "simulated stand: cannot write %s\n", c.vcd_path.c_str());
  if (!c.log_path.empty() && !trace_write_log(c.log_path))
    std::fprintf(stderr, "simulated stand: cannot write %s\n", c.log_path.c_str());
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
  if (!c.vcd_path.empty() || !c.log_path.empty()) std::atexit(write_traces_at_exit);
  return true;
}

bool stand_started() { return started; }

const StandConfig& stand_config() { return config(); }

}  // namespace sim
