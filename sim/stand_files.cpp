#include "stand_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "shield_image.h"

namespace sim {
namespace {

std::string reason() { return std::strerror(errno); }

std::string directory_of(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The directory itself with every link resolved, ending in '/'.
std::string resolved_directory(const std::string& path) {
  char resolved[PATH_MAX];
  if (!::realpath(directory_of(path).c_str(), resolved)) return {};
  std::string dir = resolved;
  return dir.ends_with('/') ? dir : dir + "/";
}

bool write_all(int fd, std::string_view text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// At most `limit` bytes: a stand file is small, whatever was put in its place.
bool read_all(int fd, std::string& text, size_t limit = SIZE_MAX) {
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

enum class Sync : bool { no, yes };

// Whole and atomically at `target`, synced before the rename when a crash must
// not lose it; `path` names it in the message.
bool replace_at(const std::string& target, const std::string& path, std::string_view bytes, std::string& error,
                Sync sync = Sync::yes, UniqueFd* opened = nullptr) {
  std::string temp = target + ".XXXXXX";
  UniqueFd out{::mkostemp(temp.data(), O_CLOEXEC)};
  bool ok = out.fd >= 0 && ::fchmod(out.fd, 0644) == 0 && write_all(out.fd, bytes) &&
            (sync == Sync::no || ::fsync(out.fd) == 0) && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    error = "cannot write " + path + ": " + reason();
    if (out.fd >= 0) ::unlink(temp.c_str());
  } else if (opened) {
    std::swap(opened->fd, out.fd);
  }
  return ok;
}

// Whole and atomically, through a link to a file the stand may write.
bool file_replace(const std::string& path, std::string_view text, std::string& error, Sync sync = Sync::yes) {
  std::string target;
  return stand_file_target(path, target, error) && replace_at(target, path, text, error, sync);
}

// NAME.XXXXXX, as mkostemp names the temporary file of NAME.
bool is_temporary_of(std::string_view file, std::string_view name) {
  constexpr size_t kSuffix = 6;
  if (file.size() != name.size() + 1 + kSuffix || !file.starts_with(name) || file[name.size()] != '.') return false;
  return std::all_of(file.end() - kSuffix, file.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::string stand_file_beside(const std::string& state_path, std::string_view name) {
  auto slash = state_path.rfind('/');
  return (slash == std::string::npos ? std::string() : state_path.substr(0, slash + 1)) + std::string(name);
}

namespace {

// board.lines: a fixed layout, so that a program can keep it mapped and
// change one digit in place.
constexpr std::string_view kBoardHeader =
    "# The Pi's GPIO lines 0..53 as the board keeps them until power-off:\n"
    "# function select (0 input, 1 output, 4 ALT0...) and output latch (0 LOW, 1 HIGH).\n";
constexpr std::string_view kFselRow = "fsel  ";
constexpr std::string_view kLatchRow = "latch ";
constexpr size_t kFselAt = kBoardHeader.size() + kFselRow.size();
constexpr size_t kLatchAt = kFselAt + kBoardLines + 1 + kLatchRow.size();
constexpr size_t kBoardFileSize = kLatchAt + kBoardLines + 1;

std::string board_text(const BoardLines& lines) {
  return std::string(kBoardHeader) + std::string(kFselRow) + std::string(lines.fsel, kBoardLines) + "\n" +
         std::string(kLatchRow) + std::string(lines.latch, kBoardLines) + "\n";
}

bool digits_in(const char* row, char highest) {
  for (size_t g = 0; g < kBoardLines; ++g)
    if (row[g] < '0' || row[g] > highest) return false;
  return true;
}

bool is_board_text(std::string_view text) {
  return text.size() == kBoardFileSize && text.starts_with(kBoardHeader) &&
         text.substr(kBoardHeader.size(), kFselRow.size()) == kFselRow &&
         text.substr(kFselAt + kBoardLines, 1 + kLatchRow.size()) == std::string("\n") + std::string(kLatchRow) &&
         text.back() == '\n' && digits_in(text.data() + kFselAt, '7') && digits_in(text.data() + kLatchAt, '1');
}

}  // namespace

bool stand_file_write(const std::string& path, std::string_view bytes, std::string& error, UniqueFd* opened) {
  return replace_at(path, path, bytes, error, Sync::yes, opened);
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

void stand_files_clear_stale(const std::string& state_path) {
  std::string dir = directory_of(state_path), target;
  std::string error;
  std::string state = base_name(stand_file_target(state_path, target, error) ? target : state_path);
  const std::string names[] = {state, "shield.state", "stand.time", "board.lines", base_name(
      flash_area_path(state_path, FlashArea::application)), base_name(flash_area_path(state_path, FlashArea::bootloader))};
  constexpr time_t kLeftBehind = 60;  // seconds: no write of a stand file takes that long
  DIR* listing = ::opendir(dir.c_str());
  if (!listing) return;
  time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(listing)) {
    std::string_view file = entry->d_name;
    struct stat info;
    std::string path = dir + "/" + entry->d_name;
    if (std::any_of(std::begin(names), std::end(names), [&](auto& n) { return is_temporary_of(file, n); }) &&
        ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && now - info.st_mtime >= kLeftBehind)
      ::unlink(path.c_str());
  }
  ::closedir(listing);
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

bool scenario_load(const std::string& path, Scenario& s, bool& found, std::string& error) {
  found = false;
  std::string target;
  if (!stand_file_target(path, target, error)) return false;
  UniqueFd in{::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  if (in.fd < 0 && errno == ENOENT) return true;
  std::string text;
  if (in.fd < 0 || !read_all(in.fd, text)) {
    error = path + ": cannot be read: " + reason();
    return false;
  }
  if (text.empty()) {
    error = path + ": empty (a shield state holds key=value lines; remove the file for the default shield)";
    return false;
  }
  found = true;
  return scenario_parse(text, path, s, error);
}

bool scenario_save(const std::string& path, const Scenario& s, std::string& error) {
  if (!file_replace(path, scenario_text(s), error)) return false;
  stand_files_clear_stale(path);
  return true;
}

std::string stand_time_path(const std::string& state_path) { return stand_file_beside(state_path, "stand.time"); }

bool stand_time_load(const std::string& path, uint64_t& time_us, std::string& error) {
  time_us = 0;
  std::string target;
  if (!stand_file_target(path, target, error)) return false;
  UniqueFd in{::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  if (in.fd < 0 && errno == ENOENT) return true;
  std::string text;
  constexpr size_t kLongest = 32;  // more than any stand time's digits
  if (in.fd < 0 || !read_all(in.fd, text, kLongest)) {
    error = path + ": cannot be read: " + reason();
    return false;
  }
  std::string_view digits = text;
  if (digits.ends_with('\n')) digits.remove_suffix(1);
  if (!decimal_value(digits, kLatestStandTime, time_us)) {
    error = path + ": \"" + printable(text) + "\" is not a stand time (decimal microseconds in 0.." +
            std::to_string(kLatestStandTime) + " and a line end; remove the file to start at 0)";
    return false;
  }
  return true;
}

size_t stand_time_text(uint64_t time_us, char* text) {
  char reversed[20];
  size_t n = 0;
  do reversed[n++] = static_cast<char>('0' + time_us % 10);
  while ((time_us /= 10) != 0);
  for (size_t i = 0; i < n; ++i) text[i] = reversed[n - 1 - i];
  text[n] = '\n';
  return n + 1;
}

bool stand_time_save(const std::string& path, uint64_t time_us, std::string& error) {
  char text[21];
  // Written at every start of a child program, so not synced: a time lost in
  // a crash only restarts the axis.
  return file_replace(path, {text, stand_time_text(time_us, text)}, error, Sync::no);
}

std::string board_lines_path(const std::string& state_path) { return stand_file_beside(state_path, "board.lines"); }

bool board_lines_map(const std::string& state_path, const BoardLines& initial, BoardLines& lines, std::string& error) {
  std::string path = board_lines_path(state_path);
  StandFileLock lock(state_path, true);
  std::string target;
  if (!lock.held()) {
    error = lock.error();
    return false;
  }
  if (!stand_file_target(path, target, error)) return false;
  if (::access(target.c_str(), F_OK) != 0 && !file_replace(path, board_text(initial), error)) return false;
  UniqueFd file{::open(target.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
  struct stat info;
  if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
    error = path + ": cannot be opened: " + reason();
    return false;
  }
  void* map = MAP_FAILED;
  if (S_ISREG(info.st_mode) && static_cast<size_t>(info.st_size) == kBoardFileSize)
    map = ::mmap(nullptr, kBoardFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, file.fd, 0);
  auto* text = static_cast<char*>(map);
  if (map == MAP_FAILED || !is_board_text({text, kBoardFileSize})) {
    if (map != MAP_FAILED) ::munmap(map, kBoardFileSize);
    error = path + ": not the board's lines (remove it to power the board up)";
    return false;
  }
  lines = {text + kFselAt, text + kLatchAt};  // mapped for the rest of the program
  return true;
}

}  // namespace sim
