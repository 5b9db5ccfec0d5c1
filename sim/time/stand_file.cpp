#include "time/stand_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace {

std::string reason() { return std::strerror(errno); }

// The directory of `path` with every link resolved, ending in '/'.
std::string resolved_directory(const std::string& path) {
  char resolved[PATH_MAX];
  if (!::realpath(stand_file_directory(path).c_str(), resolved)) return {};
  std::string dir = resolved;
  return dir.ends_with('/') ? dir : dir + "/";
}

bool write_all(int fd, const char* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool stand_file_replace(UniqueFd& out, const char* temp, const char* target, const char* bytes, size_t size,
                        Sync sync) {
  bool ok = out.fd >= 0 && ::fchmod(out.fd, 0644) == 0 && write_all(out.fd, bytes, size) &&
            (sync == Sync::no || ::fsync(out.fd) == 0) && ::rename(temp, target) == 0;
  if (!ok && out.fd >= 0) {
    int kept = errno;
    ::unlink(temp);
    errno = kept;
  }
  return ok;
}

namespace {

// Whole and atomically at `target`; `path` names it in the message.
bool write_at(const std::string& target, const std::string& path, std::string_view bytes, std::string& error,
              Sync sync, UniqueFd* opened = nullptr) {
  std::string temp = target + ".XXXXXX";
  UniqueFd out{::mkostemp(temp.data(), O_CLOEXEC)};
  if (!stand_file_replace(out, temp.c_str(), target.c_str(), bytes.data(), bytes.size(), sync)) {
    error = "cannot write " + path + ": " + reason();
    return false;
  }
  if (opened) std::swap(opened->fd, out.fd);
  return true;
}

}  // namespace

bool stand_file_write(const std::string& path, std::string_view bytes, std::string& error, UniqueFd* opened) {
  return write_at(path, path, bytes, error, Sync::yes, opened);
}

bool stand_file_update(const std::string& path, std::string_view bytes, std::string& error, Sync sync) {
  std::string target;
  return stand_file_target(path, target, error) && write_at(target, path, bytes, error, sync);
}

bool stand_file_read(int fd, std::string& text, size_t limit) {
  char chunk[4096];
  while (text.size() < limit) {
    ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, limit - text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

bool stand_file_load(const std::string& path, std::string& text, bool& found, std::string& error, size_t limit) {
  found = false;
  std::string target;
  if (!stand_file_target(path, target, error)) return false;
  UniqueFd in{::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  if (in.fd < 0 && errno == ENOENT) return true;
  if (in.fd < 0 || !stand_file_read(in.fd, text, limit)) {
    error = path + ": cannot be read: " + reason();
    return false;
  }
  found = true;
  return true;
}

StandFileMapping::StandFileMapping(int fd, size_t size) : size_(size) {
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p != MAP_FAILED) bytes_ = static_cast<uint8_t*>(p);
}

StandFileMapping::~StandFileMapping() {
  if (bytes_) ::munmap(bytes_, size_);
}

std::string stand_file_directory(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string stand_file_beside(const std::string& state_path, std::string_view name) {
  auto slash = state_path.rfind('/');
  return (slash == std::string::npos ? std::string() : state_path.substr(0, slash + 1)) + std::string(name);
}

bool stand_file_target(const std::string& path, std::string& target, std::string& error) {
  target = path;
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return true;
    error = path + ": " + reason();
    return false;
  }
  if (!S_ISLNK(info.st_mode)) {
    if (S_ISREG(info.st_mode)) return true;
    error = path + ": " + (S_ISDIR(info.st_mode) ? "a directory" : "not a regular file") + ", not a stand file";
    return false;
  }
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) {
    error = path + ": " + (errno == ENOENT ? std::string("a symbolic link to a missing file") : reason());
    return false;
  }
  std::string dir = resolved_directory(path);
  bool own = ::stat(resolved, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && !dir.empty() &&
             std::string_view(resolved).starts_with(dir);
  if (!own) {
    error = path + ": a symbolic link to " + resolved +
            ", not a regular file of this user in the working directory: refused, never written through";
    return false;
  }
  target = resolved;
  return true;
}

StandFileLock::StandFileLock(const std::string& state_path, bool exclusive) {
  std::string target;
  if (!stand_file_target(state_path, target, error_)) return;
  std::string lock_path = target + ".lock";
  // Never through a link, never blocking on a FIFO; read-only will do for a
  // reader in a directory it may not write.
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  UniqueFd lock{::open(lock_path.c_str(), O_RDWR | O_CREAT | kFlags, 0644)};
  if (lock.fd < 0 && errno == EACCES && !exclusive) lock.fd = ::open(lock_path.c_str(), O_RDONLY | kFlags);
  struct stat info;
  if (lock.fd < 0 || ::fstat(lock.fd, &info) != 0) {
    error_ = lock_path + ": cannot be used as the stand's lock: " + (errno == ELOOP ? "a symbolic link" : reason());
    return;
  }
  if (!S_ISREG(info.st_mode)) {
    error_ = lock_path + ": cannot be used as the stand's lock: not a regular file";
    return;
  }
  int taken;
  while ((taken = ::flock(lock.fd, exclusive ? LOCK_EX : LOCK_SH)) != 0 && errno == EINTR) {
  }
  if (taken != 0) {
    error_ = lock_path + ": cannot be used as the stand's lock: " + reason();
    return;
  }
  std::swap(fd_.fd, lock.fd);
}

}  // namespace sim
