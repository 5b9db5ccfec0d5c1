#include "program_run.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string temp_file(const std::string& dir, const char* name, const std::string& content) {
  std::string path = dir + "/" + name;
  std::ofstream(path) << content;
  return path;
}

}  // namespace

ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir, const std::string& input,
                       const Env& env, int timeout_s) {
  TempDir io;
  std::string in_path = temp_file(io.path(), "stdin", input);
  std::string out_path = io.file("stdout"), err_path = io.file("stderr");
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    for (auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
    if (!freopen(in_path.c_str(), "r", stdin) || !freopen(out_path.c_str(), "w", stdout) ||
        !freopen(err_path.c_str(), "w", stderr))
      _exit(126);
    alarm(static_cast<unsigned>(timeout_s));
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  ProgramRun run;
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  run.out = read_file(out_path);
  run.err = read_file(err_path);
  return run;
}

TempDir::TempDir() {
  std::string pattern = "/tmp/velk_test_XXXXXX";
  path_ = mkdtemp(pattern.data());
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Only these two know how a run is asked for its trace and where it goes.
ProgramRun run_stand(const TempDir& dir, const std::string& input, std::vector<std::string> args, Env env) {
  args.insert(args.begin(), VELK_STM_TOOL_PATH);
  env.emplace_back("VELK_SIM_LOG", dir.file("run.log"));
  return run_program(args, dir.path(), input, env);
}

std::optional<std::string> stand_trace(const TempDir& dir) {
  if (!std::filesystem::exists(dir.file("run.log"))) return std::nullopt;
  return read_file(dir.file("run.log"));
}
