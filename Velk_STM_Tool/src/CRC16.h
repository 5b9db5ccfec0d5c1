// CRC-16/MODBUS of link frames, placed high byte first at the frame's end.
#pragma once
#include <cstdint>

uint16_t ModRTU_CRC(const uint8_t* buf, uint16_t len);
void ModRTU_CRC_Wrap(uint8_t* buf, uint16_t len);
uint8_t ModRTU_CRC_True(const uint8_t* buf, uint16_t len);
