// What every floor of the simulated stand uses to keep its files safe: one
// owner of a file descriptor, one of a mapping, one reader of a whole file,
// one whole-and-atomic replace, the rule for following a symbolic link, and
// the stand's advisory lock.
// The programs often run as root in a directory others may write: a stand file
// that is a symbolic link is followed only to a regular file of the same user
// inside the link's directory (the one the stand would have written anyway),
// and stays a link; any other link, device or FIFO is refused by name.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace sim {

// Exit statuses of a program whose stand cannot be set up (and of the launcher).
inline constexpr int kExitUsage = 64;        // a bad option of the launcher
inline constexpr int kExitNoProgram = 66;    // the program to start is missing
inline constexpr int kExitCannotWrite = 73;  // the working or trace directory cannot be written
inline constexpr int kExitBadScenario = 78;  // a stand file or a VELK_SIM_ setting is unusable

// Owns a file descriptor: closed when it goes out of scope (also in a signal
// handler: it only calls close).
struct UniqueFd {
  explicit UniqueFd(int descriptor = -1) : fd(descriptor) {}
  ~UniqueFd() {
    if (fd >= 0) ::close(fd);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int release() { return std::exchange(fd, -1); }
  int fd;
};

// Owns a shared, writable mapping of a file: a byte written there is in the
// file at once. Empty when the mapping failed; unmapped when dropped or
// replaced, unless released to stay for the rest of the program.
class StandFileMapping {
 public:
  StandFileMapping() = default;
  StandFileMapping(int fd, size_t size);
  StandFileMapping(StandFileMapping&& other) noexcept
      : bytes_(std::exchange(other.bytes_, nullptr)), size_(other.size_) {}
  StandFileMapping& operator=(StandFileMapping&& other) noexcept {
    std::swap(bytes_, other.bytes_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~StandFileMapping();
  explicit operator bool() const { return bytes_ != nullptr; }
  std::span<uint8_t> bytes() const { return {bytes_, size_}; }
  uint8_t* release() { return std::exchange(bytes_, nullptr); }

 private:
  uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
};

// The file a write to the stand file at `path` replaces: `path` itself (also
// when missing), or the file a symbolic link there names when that is a
// regular file of this user inside the link's directory. Anything else gives
// false with `error` naming `path` and the reason.
bool stand_file_target(const std::string& path, std::string& target, std::string& error);

enum class Sync : bool { no, yes };

// The one atomic replace: `bytes` written to the fresh temporary file `temp`
// (open in `out`), synced when a crash must not lose it, and renamed over
// `target`; the temporary is removed when any step fails. Plain system calls
// only, so that a signal handler may use it.
bool stand_file_replace(UniqueFd& out, const char* temp, const char* target, const char* bytes, size_t size, Sync sync);

// Writes `bytes` to `path` whole and atomically (a fresh temporary NAME.XXXXXX
// beside it, synced and renamed over it). A symbolic link at `path` is
// replaced by the file, never written through. False with `error` naming the
// file and the reason. When `opened` is given, the new file is left open there
// (to be mapped). Takes no lock.
bool stand_file_write(const std::string& path, std::string_view bytes, std::string& error, UniqueFd* opened = nullptr);

// The same for a stand file that stays a link: written through a link to a
// file the stand may write (stand_file_target), refused at any other.
bool stand_file_update(const std::string& path, std::string_view bytes, std::string& error, Sync sync = Sync::yes);

// At most `limit` bytes of `fd` appended to `text`: a stand file is small,
// whatever was put in its place.
bool stand_file_read(int fd, std::string& text, size_t limit = static_cast<size_t>(-1));

// The stand file at `path` read whole (at most `limit` bytes), a link followed
// only as stand_file_target allows, never blocking on a FIFO. A missing file:
// true with `found` false. False with `error` when it cannot be read.
bool stand_file_load(const std::string& path, std::string& text, bool& found, std::string& error,
                     size_t limit = static_cast<size_t>(-1));

// The directory of `path` ("." for a bare name).
std::string stand_file_directory(const std::string& path);

// The file `name` (a relative path) in the directory of the state file.
std::string stand_file_beside(const std::string& state_path, std::string_view name);

// Holds the stand's advisory lock (<state>.lock) while it lives (exclusive for
// writers). Without the lock two programs could lose each other's changes, so
// a lock that cannot be taken (the lock file a directory, a link, not to be
// opened; the state file a link the stand does not follow) is not skipped:
// held() is false and error() names the file and the reason.
class StandFileLock {
 public:
  StandFileLock(const std::string& state_path, bool exclusive);
  StandFileLock(const StandFileLock&) = delete;
  StandFileLock& operator=(const StandFileLock&) = delete;
  bool held() const { return fd_.fd >= 0; }
  const std::string& error() const { return error_; }

 private:
  UniqueFd fd_;  // closing releases the lock
  std::string error_;
};

}  // namespace sim
