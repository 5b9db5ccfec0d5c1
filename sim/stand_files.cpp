#include "stand_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace {

std::string reason() { return std::strerror(errno); }

// The file a path finally names: a link is followed, a missing file is itself.
std::string target_of(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) return resolved;
  return path;
}

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

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

bool read_all(int fd, std::string& text) {
  char chunk[4096];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    text.append(chunk, static_cast<size_t>(n));
  }
}

enum class Sync : bool { no, yes };

// Whole and atomically at `target`, synced before the rename when a crash must
// not lose it; `path` names it in the message.
bool replace_at(const std::string& target, const std::string& path, std::string_view bytes, std::string& error,
                Sync sync = Sync::yes) {
  std::string temp = target + ".XXXXXX";
  Fd out{::mkostemp(temp.data(), O_CLOEXEC)};
  bool ok = out.fd >= 0 && ::fchmod(out.fd, 0644) == 0 && write_all(out.fd, bytes) &&
            (sync == Sync::no || ::fsync(out.fd) == 0) && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    error = "cannot write " + path + ": " + reason();
    if (out.fd >= 0) ::unlink(temp.c_str());
  }
  return ok;
}

// Whole and atomically, through a link to the file it names.
bool file_replace(const std::string& path, const std::string& text, std::string& error, Sync sync = Sync::yes) {
  return replace_at(target_of(path), path, text, error, sync);
}

std::string beside(const std::string& state_path, const char* name) {
  auto slash = state_path.rfind('/');
  return (slash == std::string::npos ? std::string() : state_path.substr(0, slash + 1)) + name;
}

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

bool stand_file_write(const std::string& path, std::string_view bytes, std::string& error) {
  return replace_at(path, path, bytes, error);
}

StandFileLock::StandFileLock(const std::string& state_path, bool exclusive) {
  std::string lock_path = target_of(state_path) + ".lock";
  fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) return;
  while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
  }
}

StandFileLock::~StandFileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool scenario_load(const std::string& path, Scenario& s, bool& found, std::string& error) {
  found = false;
  struct stat link_info, info;
  if (::lstat(path.c_str(), &link_info) != 0) {
    if (errno == ENOENT) return true;
    error = path + ": " + reason();
    return false;
  }
  if (::stat(path.c_str(), &info) != 0) {
    error = path + ": " + (errno == ENOENT ? std::string("a symbolic link to a missing file") : reason());
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = path + ": " + (S_ISDIR(info.st_mode) ? "a directory" : "not a regular file") + ", not a shield state";
    return false;
  }
  Fd in{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
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
  return file_replace(path, scenario_text(s), error);
}

std::string stand_time_path(const std::string& state_path) { return beside(state_path, "stand.time"); }

uint64_t stand_time_load(const std::string& path) {
  Fd in{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  std::string text;
  if (in.fd < 0 || !read_all(in.fd, text)) return 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  return end != text.c_str() && (*end == '\n' || *end == '\0') ? v : 0;
}

void stand_time_save(const std::string& path, uint64_t time_us) {
  std::string error;
  // Written at every start of a child program, so not synced: a time lost in
  // a crash only restarts the axis.
  file_replace(path, std::to_string(time_us) + "\n", error, Sync::no);
}

std::string board_lines_path(const std::string& state_path) { return beside(state_path, "board.lines"); }

bool board_lines_map(const std::string& state_path, const BoardLines& initial, BoardLines& lines, std::string& error) {
  std::string path = board_lines_path(state_path);
  StandFileLock lock(state_path, true);
  if (::access(path.c_str(), F_OK) != 0 && !file_replace(path, board_text(initial), error)) return false;
  Fd file{::open(path.c_str(), O_RDWR | O_CLOEXEC)};
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
