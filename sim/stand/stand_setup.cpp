#include "stand/stand_setup.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/board.h"
#include "board/trace.h"
#include "shield/shield.h"
#include "stand/stand_audio.h"
#include "stand/stand_files.h"
#include "time/clock.h"
#include "time/lock.h"

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

// The stand time last published or read, for a signal that comes while the
// clock cannot be read.
std::atomic<uint64_t> last_time{0};

void publish_time() {
  if (time_path.empty()) return;
  std::string error;
  last_time = clock_now();
  StandFileLock lock(config().state_path, false);  // so that a writer clearing stale temporaries waits
  if (!lock.held()) error = lock.error();
  if (!lock.held() || !stand_time_save(time_path, last_time, error))
    std::fprintf(stderr, "simulated stand: %s\n", error.c_str());
}

uint64_t load_time() {
  uint64_t t = 0;
  std::string error;
  if (!stand_time_load(time_path, t, error)) refuse(kExitBadScenario, error);
  last_time = t;
  return t;
}

// The child may have changed the board's lines as well.
void catch_up_with_child() {
  if (time_path.empty()) return;
  clock_catch_up(load_time());
  board_refresh();
}

// What a handler of SIGTERM or SIGINT needs to publish the stand time, made
// beforehand: in a handler only plain system calls are safe.
struct SignalPublish {
  std::string target;  // stand.time, or the file a link there names
  std::string temp;    // a temporary name beside it, NAME.XXXXXX as every writer's
};
SignalPublish* on_signal = nullptr;

// The clock, unless its lock stays taken (by the thread the signal interrupted,
// perhaps): then the time last published.
uint64_t time_at_signal() {
  for (int tries = 0; tries < 100; ++tries) {
    if (stand_mutex().try_lock()) {
      StandLock lock(stand_mutex(), std::adopt_lock);
      uint64_t now = clock_now_locked(lock);
      lock.release();  // kept: the program ends here
      return now;
    }
    timespec pause{0, 1'000'000};
    ::nanosleep(&pause, nullptr);
  }
  return last_time;
}

// Publishes the stand time, then ends the program by the signal's default
// action (the handler is installed to be reset once it runs).
void publish_and_end(int signal) {
  char text[32];
  size_t size = stand_time_text(time_at_signal(), text);
  {
    UniqueFd out{::open(on_signal->temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644)};
    stand_file_replace(out, on_signal->temp.c_str(), on_signal->target.c_str(), text, size, Sync::no);
  }
  ::raise(signal);
}

void publish_on_signals() {
  std::string error;
  on_signal = new SignalPublish;  // never freed: a handler may use it to the end
  if (!stand_file_target(time_path, on_signal->target, error)) return;
  std::string suffix = std::to_string(::getpid() % 1'000'000);
  on_signal->temp = on_signal->target + "." + std::string(6 - suffix.size(), '0') + suffix;
  struct sigaction action {};
  action.sa_handler = publish_and_end;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  struct sigaction before {};
  for (int signal : {SIGTERM, SIGINT})  // one ignored (a background job's SIGINT) stays ignored
    if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_DFL) ::sigaction(signal, &action, nullptr);
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
    if (!lock.held()) refuse(kExitBadScenario, lock.error());
    if (!scenario_load(c.state_path, c.scenario, found, error)) refuse(kExitBadScenario, error);
  }
  if (!scenario_from_environment(c.scenario, error)) refuse(kExitBadScenario, error);
  if (!c.scenario.run.trace_dir.empty() && !trace_open(c.scenario.run.trace_dir, program_invocation_short_name, error))
    refuse(kExitCannotWrite, "cannot write the trace: " + error);
  stand_start(c);
}

namespace {

// The shield's lasting state in the stand's state file. Called with the stand
// lock held, so a file that no longer reads ends the program at once: the usual
// exit, whose handlers use the stand, would hang.
class StateFileStore : public ShieldStore {
 public:
  explicit StateFileStore(std::string path) : path_(std::move(path)) {}

  void load(ShieldState& state) override {
    StandFileLock lock(path_, false);
    if (!lock.held()) stop(lock.error());  // unlocked, another program's write could be read half
    Scenario latest;
    bool found = false;
    std::string error;
    if (!scenario_load(path_, latest, found, error)) stop(error);
    if (found) state = latest.shield;
  }

  bool change(const ShieldState& current, const std::function<void(ShieldState&)>& change,
              std::string& error) override {
    StandFileLock lock(path_, true);
    if (!lock.held()) stop(lock.error());  // unlocked, another program's change could be lost
    Scenario latest;
    latest.shield = current;
    bool found = false;
    if (!scenario_load(path_, latest, found, error)) return false;
    change(latest.shield);
    return scenario_save(path_, latest, error);
  }

 private:
  [[noreturn]] static void stop(const std::string& error) {
    std::fprintf(stderr, "simulated stand: %s\n", error.c_str());
    std::fflush(nullptr);
    std::_Exit(kExitBadScenario);
  }

  std::string path_;
};

}  // namespace

bool stand_start(const StandConfig& c) {
  if (started) return true;
  auto& run = c.scenario.run;
  if (!clock_set_speed(run.speed)) return false;  // the scenario's reader keeps it in range
  started = true;
  config() = c;
  clock_fail_thread_creation(run.fail_threads);
  if (!c.state_path.empty()) {
    time_path = stand_time_path(c.state_path);
    clock_start_at(load_time());
    std::atexit(publish_time);
    publish_on_signals();
  }
  trace_keep_in_memory(c.keep_trace);
  static StateFileStore* store = c.state_path.empty() ? nullptr : new StateFileStore(c.state_path);  // kept to the end
  shield_install(c.scenario.shield, c.state_path, store);
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
