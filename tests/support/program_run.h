// Running a built program as the operator would: in a working directory, with
// answers on standard input, standard output and the exit status kept.
#pragma once
#include <string>
#include <utility>
#include <vector>

using Env = std::vector<std::pair<std::string, std::string>>;

struct ProgramRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `argv` (argv[0] is the program's path) in `dir` with the extra
// environment variables, feeding `input` and then closing standard input.
// Killed after `timeout_s` seconds (status 128 + SIGKILL).
ProgramRun run_program(const std::vector<std::string>& argv, const std::string& dir, const std::string& input,
                       const Env& env = {}, int timeout_s = 30);

// A new empty directory under /tmp, removed by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole file, or "" when it cannot be read.
std::string read_file(const std::string& path);

// Puts the uploader's stand-in at ./Sendrik/Sendrik in `dir`, as the launcher does.
void install_uploader(const TempDir& dir);

// The changes of the trace's lines named in `names` (" RST REL2_OUT "), one
// "TIME NAME LEVEL" a line; its remarks too ("TIME --") when `names` has "--".
std::string trace_lines(const std::string& log, const std::string& names);
