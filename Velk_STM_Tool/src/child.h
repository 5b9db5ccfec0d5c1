// An outside program started through the shell ("sh -c COMMAND"), with one end
// of a pipe to it, as popen gives it. Unlike popen it knows its child, so that
// a wait can be bounded and a child that never ends can be stopped.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <optional>

class ShellCommand {
 public:
  enum class Pipe : uint8_t { from_child, to_child };  // its standard output, or its standard input

  // Flushes the program's own output first, so that it stays ahead of the child's.
  ShellCommand(const char* command, Pipe pipe);
  ~ShellCommand();  // a child still running is waited for
  ShellCommand(const ShellCommand&) = delete;
  ShellCommand& operator=(const ShellCommand&) = delete;

  bool started() const { return stream_ != nullptr; }
  std::FILE* stream() const { return stream_; }

  // Closes the pipe and waits for the child's end: its status as waitpid
  // gives it, or -1 when it never started.
  int wait();
  // As wait(), for at most `limit_ms` of real time; a child still running then
  // is killed, with what it started when it is fed by us, and nothing is returned.
  std::optional<int> wait_for(unsigned limit_ms);

 private:
  void close_pipe();
  pid_t pid_ = 0;       // none
  bool group_ = false;  // the child leads a process group of its own
  std::FILE* stream_ = nullptr;
};

// How an outside program ended, from a status of ShellCommand::wait.
struct ChildEnd {
  bool not_started;  // never started, or the shell could not find (127) or run (126) it
  int signal;        // the signal that ended it (also as the shell reports it: 128 + n); 0 if none
  int code;          // its exit status; 128 + n for a signal
};
ChildEnd child_end(int status);
