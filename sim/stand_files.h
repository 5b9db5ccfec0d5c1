// The files through which every program on one simulated stand shares it: the
// shield's lasting state (shield.state) and the stand time reached so far
// (stand.time, beside it). Readers and writers take an advisory lock
// (<state>.lock); a file is written whole to a fresh temporary name, synced (but
// the stand time) and renamed over the old one, so that no program ever reads
// half a file and a program killed half-way leaves the previous state. The
// programs often run as root in a directory others may write: a stand file
// that is a symbolic link is followed only to a regular file of the same user
// inside the working directory (the one the stand would have written anyway),
// and stays a link; any other link, device or FIFO is refused by name.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "scenario.h"

namespace sim {

// The Pi's GPIO function selects and output latches as the board keeps them
// until power-off, one digit per line 0..53 (function select 0 input, 1
// output, 4 ALT0...; latch 0 or 1). Kept in board.lines beside the state file,
// mapped into every program of the stand: a change is in the file the moment
// it is made, as in the real block, and the next program finds it.
inline constexpr size_t kBoardLines = 54;

struct BoardLines {
  char* fsel;
  char* latch;
};

// Exit statuses of a program whose stand cannot be set up (and of the launcher).
inline constexpr int kExitUsage = 64;        // a bad option of the launcher
inline constexpr int kExitNoProgram = 66;    // the program to start is missing
inline constexpr int kExitCannotWrite = 73;  // the working or trace directory cannot be written
inline constexpr int kExitBadScenario = 78;  // a stand file or a VELK_SIM_ setting is unusable

// The latest stand time a stand file may hold, in microseconds (some 31
// years): far beyond any session, far from overflowing the clock.
inline constexpr uint64_t kLatestStandTime = 1'000'000'000'000'000;

// Owns a file descriptor: closed when it goes out of scope.
struct UniqueFd {
  explicit UniqueFd(int descriptor = -1) : fd(descriptor) {}
  ~UniqueFd() {
    if (fd >= 0) ::close(fd);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int fd;
};

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

// The file a write to the stand file at `path` replaces: `path` itself (also
// when missing), or the file a symbolic link there names when that is a
// regular file of this user inside the link's directory. Anything else gives
// false with `error` naming `path` and the reason.
bool stand_file_target(const std::string& path, std::string& target, std::string& error);

// Removes the temporary files (NAME.XXXXXX) that killed writers left beside
// the state file, those of every stand file. Call with the exclusive lock held.
// Stand time is written without the lock, so only temporaries older than a
// minute count as left behind.
void stand_files_clear_stale(const std::string& state_path);

// Reads the scenario file at `path` over `s`. A missing file leaves `s` as it
// is and sets `found` false. A file that is not a regular file (a directory, a
// dangling link), cannot be read, is empty or does not parse gives false with
// `error` naming the file and the reason. Takes no lock (callers hold one).
bool scenario_load(const std::string& path, Scenario& s, bool& found, std::string& error);

// Writes the lasting keys of `s` to `path`, whole and atomically, and clears
// stale temporary files. Takes no lock (callers hold the exclusive one).
bool scenario_save(const std::string& path, const Scenario& s, std::string& error);

// Writes `bytes` to `path` whole and atomically (a fresh temporary file beside
// it, synced and renamed over it). A symbolic link at `path` is replaced by the
// file, never written through. False with `error` naming the file and the
// reason. When `opened` is given, the new file is left open there (to be
// mapped). Takes no lock.
bool stand_file_write(const std::string& path, std::string_view bytes, std::string& error, UniqueFd* opened = nullptr);

// The file `name` (a relative path) in the directory of the state file.
std::string stand_file_beside(const std::string& state_path, std::string_view name);

// The stand time file beside a state file ("dir/shield.state" -> "dir/stand.time").
std::string stand_time_path(const std::string& state_path);

// The stand time recorded there (0 when there is none). The file holds decimal
// microseconds up to kLatestStandTime and a line end; anything else (a sign, a
// FIFO, a link the stand does not follow) gives false with `error` naming it.
bool stand_time_load(const std::string& path, uint64_t& time_us, std::string& error);
bool stand_time_save(const std::string& path, uint64_t time_us, std::string& error);

// The text stand.time holds for `time_us`, written into `text` (at least 21
// bytes) without allocating, so that a signal handler can use it; its length.
size_t stand_time_text(uint64_t time_us, char* text);

// The board's file beside a state file ("dir/shield.state" -> "dir/board.lines").
std::string board_lines_path(const std::string& state_path);

// Maps the board's file into `lines`, writing it from `initial` first when it
// is missing. A file that is not the board's lines gives false with `error`
// saying why.
bool board_lines_map(const std::string& state_path, const BoardLines& initial, BoardLines& lines, std::string& error);

}  // namespace sim
