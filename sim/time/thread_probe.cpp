#include "time/thread_probe.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "time/stand_file.h"

namespace sim {
namespace {

bool is_futex(long nr) {
#ifdef SYS_futex_time64
  // 32-bit systems with 64-bit time (armhf) may wait through this one.
  if (nr == SYS_futex_time64) return true;
#endif
  return nr == SYS_futex;
}

}  // namespace

Blocked blocked_in_syscall_line(std::string_view line, const void* except) {
  std::string text(line);
  char* end = nullptr;
  long nr = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return text.starts_with("running") ? Blocked::other : Blocked::unknown;
  if (!is_futex(nr)) return Blocked::other;
  char* word_end = nullptr;
  auto word = std::strtoull(end, &word_end, 16);
  if (word_end == end) return Blocked::unknown;
  return word == reinterpret_cast<uintptr_t>(except) ? Blocked::other : Blocked::lock;
}

Blocked thread_blocked_in(pid_t tid, const void* except) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/syscall", static_cast<int>(tid));
  UniqueFd in{::open(path, O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) return Blocked::unknown;
  char buf[256];
  auto n = ::read(in.fd, buf, sizeof buf - 1);
  if (n <= 0) return Blocked::unknown;
  return blocked_in_syscall_line(std::string_view(buf, static_cast<size_t>(n)), except);
}

}  // namespace sim
