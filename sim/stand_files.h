// The files through which every program on one simulated stand shares it: the
// shield's lasting state (shield.state) and the stand time reached so far
// (stand.time, beside it). Readers and writers take an advisory lock
// (<state>.lock); a file is written whole to a fresh temporary name, synced (but
// the stand time) and renamed over the old one, so that no program ever reads
// half a file and a program killed half-way leaves the previous state. A state
// file that is a symbolic link stays one: the file it points at is replaced.
#pragma once
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
inline constexpr int kExitBadScenario = 78;  // the scenario file or a VELK_SIM_ setting is unusable

// Holds the stand's advisory lock while it lives (exclusive for writers). A
// lock file that cannot be created (a read-only directory) leaves it unlocked:
// a writer then fails on the state file itself and says so.
class StandFileLock {
 public:
  StandFileLock(const std::string& state_path, bool exclusive);
  ~StandFileLock();
  StandFileLock(const StandFileLock&) = delete;
  StandFileLock& operator=(const StandFileLock&) = delete;

 private:
  int fd_ = -1;
};

// Reads the scenario file at `path` over `s`. A missing file leaves `s` as it
// is and sets `found` false. A file that is not a regular file (a directory, a
// dangling link), cannot be read, is empty or does not parse gives false with
// `error` naming the file and the reason. Takes no lock (callers hold one).
bool scenario_load(const std::string& path, Scenario& s, bool& found, std::string& error);

// Writes the lasting keys of `s` to `path`, whole and atomically. Takes no lock.
bool scenario_save(const std::string& path, const Scenario& s, std::string& error);

// Writes `bytes` to `path` whole and atomically (a fresh temporary file beside
// it, synced and renamed over it). A symbolic link at `path` is replaced by the
// file, never written through. False with `error` naming the file and the
// reason. Takes no lock.
bool stand_file_write(const std::string& path, std::string_view bytes, std::string& error);

// The stand time file beside a state file ("dir/shield.state" -> "dir/stand.time").
std::string stand_time_path(const std::string& state_path);

// The stand time recorded there, or 0 when there is none (or it is unreadable).
uint64_t stand_time_load(const std::string& path);
void stand_time_save(const std::string& path, uint64_t time_us);

// The board's file beside a state file ("dir/shield.state" -> "dir/board.lines").
std::string board_lines_path(const std::string& state_path);

// Maps the board's file into `lines`, writing it from `initial` first when it
// is missing. A file that is not the board's lines gives false with `error`
// saying why.
bool board_lines_map(const std::string& state_path, const BoardLines& initial, BoardLines& lines, std::string& error);

}  // namespace sim
