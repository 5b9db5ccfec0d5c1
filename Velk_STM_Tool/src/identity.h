// The shield's identity: reading its firmware version, number and identifier,
// and giving it a new number.
#pragma once
#include <cstdint>

inline constexpr uint16_t _FIRMWARE_OUTDATED_MAX = 321;  // this and older cannot change the number
inline constexpr uint16_t _FIRMWARE_WITH_ID = 325;       // from this version on the identifier is read
inline constexpr uint8_t _SHIELD_NUMBER_MIN = 1;
inline constexpr uint8_t _SHIELD_NUMBER_MAX = 99;

void menu_block_ReadShieldOnly();
void menu_block_ChangeShield();

// True when all three identifier words were answered during the last read.
bool shield_idComplete();
