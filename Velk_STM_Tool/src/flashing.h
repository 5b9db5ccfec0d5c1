// The firmware maintenance blocks: the reference dump written through the
// ST-Link programmer, and the update over SPI by Velk_Flasher. Each runs its
// tool through the shell and judges how it went.
#pragma once
#include <cstdint>
#include <cstdio>

inline constexpr const char* _STLINK_COMMAND =
    "./proj/stlink-repo/build/Release/st-flash write /home/pi/Dump.bin 0x8000000 2>&1";
inline constexpr const char* _FLASHER_COMMAND = "sudo ./Velk_Flasher Osmu_v324.bin";
inline constexpr unsigned _STLINK_RELEASE_MS = 600;  // the shield runs in its normal start mode before the tool
inline constexpr int _FLASHER_SUCCESS = 5;
inline constexpr int _FLASHER_NO_BOOTLOADER = 0;
inline constexpr int _FLASHER_STATUS_MAX = 15;  // statuses above are none of the flasher's

// Writes the dump; 1 when it was written without an error word, 0 when it was
// not and the operator chose to go on without it. A tool that cannot be found
// or run ends the program.
uint8_t menu_block_stlink_update();

// Updates the shield through the flasher and reports its exit status; returns
// after success, a missing bootloader or a status the flasher does not have,
// and ends the program after any failure.
void menu_block_FirmwareUpgrade();

// The number of words of `output` holding "ERROR" or "Invalid", each word
// counted once, however long it is.
int stlink_countErrorWords(std::FILE* output);
