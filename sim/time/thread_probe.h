// What a thread of this process is blocked in, as Linux shows it in
// /proc/self/task/<tid>/syscall. Models: telling a wait for a lock from any
// other wait (input, a child program, a sleep). Leaves out: which lock, and who
// holds it; other systems than Linux (there the answer is always `unknown`).
#pragma once
#include <sys/types.h>

#include <string_view>

namespace sim {

enum class Blocked {
  unknown,  // the thread cannot be looked at
  lock,     // a futex wait on a word other than the one excepted
  other,    // running, or in any other system call
};

// `except` is a futex word that does not count as a lock (the stand's own mutex:
// it is only ever held for a moment).
Blocked thread_blocked_in(pid_t tid, const void* except);

// The same for one line of that file ("202 0x7f3a... 0x80 ..." or "running").
Blocked blocked_in_syscall_line(std::string_view line, const void* except);

}  // namespace sim
