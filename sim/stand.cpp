#include "stand.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board.h"
#include "clock.h"
#include "stand_audio.h"
#include "stand_files.h"
#include "trace.h"

namespace sim {
namespace {

StandConfig& config() {
  static auto* c = new StandConfig;
  return *c;
}

bool started = false;
std::string time_path;  // the stand time shared with other programs; empty in tests

[[noreturn]] void refuse(int status, const std::string& why) {
  std::fprintf(stderr, "simulated stand: %s\n", why.c_str());
  std::exit(status);
}

void publish_time() {
  if (!time_path.empty()) stand_time_save(time_path, clock_now());
}

// The child may have changed the board's lines as well.
void catch_up_with_child() {
  if (time_path.empty()) return;
  clock_catch_up(stand_time_load(time_path));
  board_refresh();
}

}  // namespace

void stand_start_from_environment() {
  StandConfig c;
  const char* state = std::getenv("VELK_SIM_STATE");
  c.state_path = state && *state ? state : "shield.state";
  std::string error;
  bool found = false;
  {
    StandFileLock lock(c.state_path, false);
    if (!scenario_load(c.state_path, c.scenario, found, error)) refuse(kExitBadScenario, error);
  }
  if (!scenario_from_environment(c.scenario, error)) refuse(kExitBadScenario, error);
  if (!c.scenario.run.trace_dir.empty() && !trace_open(c.scenario.run.trace_dir, program_invocation_short_name, error))
    refuse(kExitCannotWrite, "cannot write the trace: " + error);
  stand_start(c);
}

bool stand_start(const StandConfig& c) {
  if (started) return true;
  auto& run = c.scenario.run;
  if (!clock_set_speed(run.speed)) return false;  // the scenario's reader keeps it in range
  started = true;
  config() = c;
  clock_fail_thread_creation(run.fail_threads);
  if (!c.state_path.empty()) {
    time_path = stand_time_path(c.state_path);
    clock_start_at(stand_time_load(time_path));
    std::atexit(publish_time);
  }
  trace_keep_in_memory(c.keep_trace);
  shield_install(c.scenario.shield, c.state_path);
  return true;
}

bool stand_started() { return started; }

const StandConfig& stand_config() { return config(); }

}  // namespace sim

// A program the stand program starts (through the shell, as on the stand)
// begins at its parent's stand time; once it has ended, the parent's clock
// moves on to where the child's ended. Routed here by the link step
// (--wrap=popen, --wrap=pclose, --wrap=system).
extern "C" {
int __real_posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                       const posix_spawnattr_t* attr, char* const argv[], char* const envp[]);
pid_t __real_waitpid(pid_t pid, int* status, int options);
FILE* __real_popen(const char* command, const char* type);
int __real_pclose(FILE* stream);
int __real_system(const char* command);

FILE* __wrap_popen(const char* command, const char* type) {
  sim::stand_audio_before_command(command);
  sim::publish_time();
  return __real_popen(command, type);
}

// The stand program starts its tools as "sh -c COMMAND".
int __wrap_posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                       const posix_spawnattr_t* attr, char* const argv[], char* const envp[]) {
  const char* command = argv && argv[0] && argv[1] && std::strcmp(argv[1], "-c") == 0 ? argv[2] : nullptr;
  char** before = environ;
  sim::stand_audio_before_command(command);
  if (envp == before) envp = environ;  // the audio set-up may have moved the environment it adds to
  sim::publish_time();
  int failed = __real_posix_spawn(pid, path, actions, attr, argv, envp);
  if (!failed && pid) sim::stand_audio_started(command, *pid);
  return failed;
}

pid_t __wrap_waitpid(pid_t pid, int* status, int options) {
  pid_t ended = __real_waitpid(pid, status, options);
  if (ended > 0) sim::catch_up_with_child();
  return ended;
}

int __wrap_pclose(FILE* stream) {
  int status = __real_pclose(stream);
  sim::catch_up_with_child();
  return status;
}

int __wrap_system(const char* command) {
  sim::publish_time();
  int status = __real_system(command);
  sim::catch_up_with_child();
  return status;
}
}
