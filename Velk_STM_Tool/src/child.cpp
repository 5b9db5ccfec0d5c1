#include "child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

constexpr int kShellCannotRun = 126;
constexpr int kShellNotFound = 127;
constexpr int kShellSignalBase = 128;  // the shell reports a child ended by signal n as 128 + n
constexpr int kSignalMax = 64;
constexpr unsigned kPollMs = 2;  // most children are done within a few ms
constexpr int kNoStatus = -1;    // never started, or its end could not be collected

int wait_blocking(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) != pid)
    if (errno != EINTR) return kNoStatus;
  return status;
}

// The child's status once it has ended within `limit_ms`, or nothing.
std::optional<int> wait_polling(pid_t pid, unsigned limit_ms) {
  for (unsigned waited = 0;; waited += kPollMs) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0) return kNoStatus;  // with WNOHANG it never waits, so is never interrupted
    if (waited >= limit_ms) return std::nullopt;
    // Real time: the child runs in real time, whatever clock the program's delays follow.
    ::poll(nullptr, 0, static_cast<int>(kPollMs));
  }
}

// How "sh -c COMMAND" is started: `fd` as its standard input or output, in a
// process group of its own or not.
class ShellStart {
 public:
  ShellStart(int fd, int as, bool own_group) {
    posix_spawn_file_actions_init(&actions_);
    posix_spawn_file_actions_adddup2(&actions_, fd, as);
    posix_spawnattr_init(&attributes_);
    posix_spawnattr_setflags(&attributes_, own_group ? POSIX_SPAWN_SETPGROUP : 0);
  }
  ~ShellStart() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  ShellStart(const ShellStart&) = delete;
  ShellStart& operator=(const ShellStart&) = delete;

  // The child's pid into `pid`; false, and `pid` none, when it could not be started.
  bool run(const char* command, pid_t& pid) {
    char sh[] = "sh", dash_c[] = "-c";
    char* argv[] = {sh, dash_c, const_cast<char*>(command), nullptr};
    bool started = posix_spawn(&pid, "/bin/sh", &actions_, &attributes_, argv, environ) == 0;
    if (!started) pid = 0;
    return started;
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

ShellCommand::ShellCommand(const char* command, Pipe pipe) {
  std::fflush(stdout);  // standard error has no buffer
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  const bool from_child = pipe == Pipe::from_child;
  const int ours = from_child ? ends[0] : ends[1], theirs = from_child ? ends[1] : ends[0];
  stream_ = fdopen(ours, from_child ? "r" : "w");
  if (!stream_) close(ours);
  // A child fed by us never reads the terminal, so it gets a process group of
  // its own: stopping it then stops whatever it started as well.
  group_ = !from_child;
  if (stream_ && !ShellStart(theirs, from_child ? STDOUT_FILENO : STDIN_FILENO, group_).run(command, pid_))
    close_pipe();
  close(theirs);
}

ShellCommand::~ShellCommand() {
  if (pid_ > 0) wait();
}

void ShellCommand::close_pipe() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
}

int ShellCommand::wait() {
  close_pipe();
  int status = pid_ > 0 ? wait_blocking(pid_) : kNoStatus;
  pid_ = 0;
  return status;
}

std::optional<int> ShellCommand::wait_for(unsigned limit_ms) {
  close_pipe();
  std::optional<int> status = pid_ > 0 ? wait_polling(pid_, limit_ms) : kNoStatus;
  if (!status) {
    kill(group_ ? -pid_ : pid_, SIGKILL);  // it had its time; what it started goes too
    wait_blocking(pid_);
  }
  pid_ = 0;
  return status;
}

ChildEnd child_end(int status) {
  if (status == kNoStatus) return {true, 0, kNoStatus};
  if (WIFSIGNALED(status)) return {false, WTERMSIG(status), kShellSignalBase + WTERMSIG(status)};
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : kNoStatus;
  bool by_signal = code > kShellSignalBase && code <= kShellSignalBase + kSignalMax;
  return {code == kShellCannotRun || code == kShellNotFound, by_signal ? code - kShellSignalBase : 0, code};
}
