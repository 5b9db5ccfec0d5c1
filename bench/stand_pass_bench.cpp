// One complete healthy test pass as the operator starts it: the launcher on a
// fresh working directory, answers on standard input (main menu 2, flashing
// every shield no or yes, edition 1, one pass, no repeat). Reports the stand
// time the pass reached (stand.time after the program's end), the wall time of
// the whole run (launcher, program, every tool it starts), their ratio, and the
// CPU time of all those processes, which a busy machine stretches less.
// Aim: at least 200 times faster than the stand.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "stand/stand_files.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A new directory of the benchmark's own, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "velk_bench_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
      std::perror("stand_pass_bench: a temporary directory");
      std::exit(1);
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Where the launcher puts the ST-Link tool the program flashes with.
constexpr const char* kStFlash = "proj/stlink-repo/build/Release/st-flash";
constexpr const char* kPassed = "Количество ошибок: 0";
constexpr const char* kFlashed = "Прошивка выполнена успешно";

double children_cpu_s() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The launcher with `args`, standard input from `in`, output and errors to `out`;
// its exit status, or -1.
int launch(std::vector<std::string> args, const std::string& in, const std::string& out) {
  args.insert(args.begin(), VELK_LAUNCHER_PATH);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (failed != 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The launcher prepares the directory, then starts a program that does nothing.
bool launcher_provides_st_flash(const TempDir& dir) {
  std::string stand = dir.file("probe");
  launch({"--dir", stand, "--fresh", "--program", "/bin/true"}, "/dev/null", dir.file("probe.out"));
  return ::access((stand + "/" + kStFlash).c_str(), X_OK) == 0;
}

bool healthy(const std::string& printed, bool flashing) {
  return printed.find(kPassed) != std::string::npos && (!flashing || printed.find(kFlashed) != std::string::npos);
}

void BM_StandPass(benchmark::State& state, const char* answers, bool flashing) {
  TempDir dir;
  if (flashing && !launcher_provides_st_flash(dir)) {
    state.SkipWithError("no st-flash stand-in: the launcher puts none at DIR/proj/stlink-repo/build/Release/st-flash");
    return;
  }
  std::string in = dir.file("answers"), out = dir.file("out"), stand = dir.file("stand");
  std::ofstream(in) << answers;
  double stand_s = 0, wall_s = 0, cpu_s = 0;
  for (auto _ : state) {
    const double cpu_start = children_cpu_s();
    const auto wall_start = std::chrono::steady_clock::now();
    int status = launch({"--dir", stand, "--fresh"}, in, out);
    wall_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
    cpu_s += children_cpu_s() - cpu_start;
    uint64_t stand_us = 0;
    std::string error;
    if (!sim::stand_time_load(stand + "/stand.time", stand_us, error)) state.SkipWithError(error.c_str());
    stand_s += static_cast<double>(stand_us) / 1e6;
    std::string printed = read_file(out);
    if (status != 0 || !healthy(printed, flashing)) {
      // The directory goes with the benchmark: its last words go into the message, on one line.
      size_t from = printed.size() > 300 ? printed.size() - 300 : 0;
      while (from < printed.size() && (printed[from] & 0xC0) == 0x80) ++from;  // not inside a UTF-8 letter
      std::string last = printed.substr(from);
      std::replace(last.begin(), last.end(), '\n', ' ');
      state.SkipWithError(("the pass did not end healthy (status " + std::to_string(status) + "): ..." + last).c_str());
      return;
    }
  }
  state.counters["stand_s"] = benchmark::Counter(stand_s, benchmark::Counter::kAvgIterations);
  state.counters["wall_ms"] = benchmark::Counter(wall_s * 1000, benchmark::Counter::kAvgIterations);
  state.counters["cpu_ms"] = benchmark::Counter(cpu_s * 1000, benchmark::Counter::kAvgIterations);
  state.counters["stand/wall"] = stand_s / wall_s;
  state.counters["stand/cpu"] = stand_s / cpu_s;
}
BENCHMARK_CAPTURE(BM_StandPass, no_flashing, "2\nn\n1\nn\n", false)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_StandPass, st_link_flashing, "2\ny\n1\nn\n", true)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
