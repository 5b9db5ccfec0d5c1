// Image transfer: one image file sent to the program on the shield four bytes
// per frame, in file order, the last frame filled up with 0xFF.
#pragma once
#include <cstdint>
#include <cstdio>

struct firmware_st {
  FILE* name;        // the open image, read from its current position
  uint32_t version;  // as the shield reports it (only the bootloader's record)
};

extern firmware_st f_trojan;
extern firmware_st f_boot;
extern firmware_st f_firmware;

// 1: the whole file went out and every frame was accepted at its first
// attempt; 0: the transfer stopped at a frame that was not, or at a read error.
uint8_t firmware_send(firmware_st* firmware, uint8_t FirstByte);
