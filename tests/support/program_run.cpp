#include "program_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_stand.h"

ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir, const std::string& input,
                       const Env& env, int timeout_s) {
  TempDir io;
  std::ofstream(io.file("stdin")) << input;
  std::string command = "cd '" + dir + "' && env";
  for (auto& [key, value] : env) command += " '" + key + "=" + value + "'";
  // A free-running clock under ThreadSanitizer keeps a real pace, many times slower.
  if (clock_runs_free()) timeout_s *= 8;
  command += " timeout -s KILL " + std::to_string(timeout_s);
  for (auto& arg : argv) command += " '" + arg + "'";
  command += " <" + io.file("stdin") + " >" + io.file("stdout") + " 2>" + io.file("stderr");
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(io.file("stdout")), read_file(io.file("stderr"))};
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

std::string trace_lines(const std::string& log, const std::string& names) {
  std::istringstream in(log);
  std::string out;
  for (std::string time, ms, name, rest; in >> time >> ms >> name && std::getline(in, rest);)
    if (names.find(" " + name + " ") != names.npos)
      out += time + " " + name + (name == "--" ? "" : " " + rest.substr(rest.size() - 1)) + "\n";
  return out;
}

void install_uploader(const TempDir& dir) {
  namespace fs = std::filesystem;
  fs::create_directories(dir.file("Sendrik"));
  fs::create_symlink(fs::path(VELK_LAUNCHER_PATH).parent_path() / "velk-sendrik", dir.file("Sendrik/Sendrik"));
}
