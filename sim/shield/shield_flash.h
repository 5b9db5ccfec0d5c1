// The shield's flash as its bootloader and trojan program it: the application
// area and the bootloader area, each erased whole to 0xFF and programmed one
// 32-bit word at a time. With a stand directory each area is a binary file
// beside the scenario file (shield_image.h names it): an erase replaces the
// file whole and atomically, and each word goes into the file as it is
// programmed, so a program killed in the middle of an image leaves what was
// written so far, as a real flash would. A missing file is the factory's
// content: a complete program of the version the scenario names. The shield
// reads the files again whenever it leaves reset.
// Leaves out: page-wise erase, option bytes, read-out protection, programming
// times (the bootloader's model has them), a file changed by another program
// while this one programs it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "time/lock.h"
#include "shield/shield_image.h"

namespace sim {

// Reads both areas again from the files beside `state_path`; with an empty
// path they stay in memory as they are.
void flash_reload_locked(const StandLock&, const std::string& state_path);

// What the area holds; `factory` when it still holds the factory's program.
ImageInfo flash_contents_locked(const StandLock&, FlashArea area, ImageInfo factory);

// Erases the area; false with `error` when its file cannot be written (the
// area in memory is erased all the same).
bool flash_erase_locked(const StandLock&, FlashArea area, std::string& error);

// Programs the 4 bytes at `offset`. A word of four 0xFF bytes is what erased
// flash holds and needs no programming: always true. Any other word: false,
// and nothing written, when it lies outside the area or on a word that is not
// erased.
bool flash_program_locked(const StandLock&, FlashArea area, size_t offset, std::span<const uint8_t, 4> word);

}  // namespace sim
