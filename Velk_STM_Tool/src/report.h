// The end of a test pass: the list of failed checks, their number, the upload
// of the shield's identifier and the failure register, and a clean register
// for the next shield.
#pragma once
#include <cstdint>

inline constexpr uint16_t _FIRMWARE_UPLOAD_MIN = 325;  // older firmware gives no identifier to upload
inline constexpr const char* _UPLOADER = "./Sendrik/Sendrik";

void menu_block_StandReport();
