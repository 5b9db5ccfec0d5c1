// The simulated stand's one lock. Every piece of stand state (clock, lines, SPI0,
// shield, trace) is guarded by it, so the two programs' threads see one
// consistent stand in both clock modes.
#pragma once
#include <condition_variable>
#include <mutex>

namespace sim {

// Never destroyed: the stand program ends with exit() while its exchange thread
// still waits inside the stand, so these must outlive static destruction.
std::mutex& stand_mutex();
std::condition_variable& stand_turn();

using StandLock = std::unique_lock<std::mutex>;

}  // namespace sim
