// The files through which every program on one simulated stand shares it: the
// shield's lasting state (shield.state) and the stand time reached so far
// (stand.time, beside it). Readers and writers take the stand's lock; a file is
// written whole and atomically (time/stand_file.h), so that no program ever
// reads half a file and a program killed half-way leaves the previous state.
#pragma once
#include <cstdint>
#include <string>

#include "stand/scenario.h"
#include "time/stand_file.h"

namespace sim {

// The latest stand time a stand file may hold, in microseconds (some 31
// years): far beyond any session, far from overflowing the clock.
inline constexpr uint64_t kLatestStandTime = 1'000'000'000'000'000;

// Removes the temporary files (NAME.XXXXXX) that killed writers left beside
// the state file, those of every stand file. Every writer of a stand file
// holds the stand's lock, so with the exclusive lock held every one is stale.
void stand_files_clear_stale(const std::string& state_path);

// Reads the scenario file at `path` over `s`. A missing file leaves `s` as it
// is and sets `found` false. A file that is not a regular file (a directory, a
// dangling link), cannot be read, is empty or does not parse gives false with
// `error` naming the file and the reason. Takes no lock (callers hold one).
bool scenario_load(const std::string& path, Scenario& s, bool& found, std::string& error);

// Writes the lasting keys of `s` to `path`, whole and atomically, and clears
// stale temporary files. Takes no lock (callers hold the exclusive one).
bool scenario_save(const std::string& path, const Scenario& s, std::string& error);

// The stand time file beside a state file ("dir/shield.state" -> "dir/stand.time").
std::string stand_time_path(const std::string& state_path);

// The stand time recorded there (0 when there is none). The file holds decimal
// microseconds up to kLatestStandTime and a line end; anything else (a sign, a
// FIFO, a link the stand does not follow) gives false with `error` naming it.
bool stand_time_load(const std::string& path, uint64_t& time_us, std::string& error);
// Call with the stand's lock held (shared will do).
bool stand_time_save(const std::string& path, uint64_t time_us, std::string& error);

// The text stand.time holds for `time_us`, written into `text` (at least 21
// bytes) without allocating, so that a signal handler can use it; its length.
size_t stand_time_text(uint64_t time_us, char* text);

}  // namespace sim
