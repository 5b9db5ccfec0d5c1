// Stand signals: the shield's inputs and line value, asked for over the link,
// and the read-back lines the Pi samples itself.
#pragma once
#include <cstdint>

inline constexpr uint8_t _BYTE_DI_0 = 5;
inline constexpr uint8_t _BIT_EK = 0;
inline constexpr uint8_t _BIT_S0 = 1;
inline constexpr uint8_t _BIT_S1 = 2;
inline constexpr uint8_t _BIT_EKS = 3;
inline constexpr uint8_t _BYTE_DI_1 = 4;
inline constexpr uint8_t _BIT_OPENDETECTED = 0;
inline constexpr uint8_t _BYTE_DO_0 = 5;
inline constexpr uint8_t _BIT_REL0 = 0;
inline constexpr uint8_t _BIT_REL1 = 1;
inline constexpr uint8_t _BIT_REL2 = 2;
inline constexpr uint8_t _BIT_REL3 = 3;
inline constexpr uint8_t _BYTE_DO_1 = 4;
inline constexpr uint8_t _BIT_BR = 0;
inline constexpr uint8_t _BIT_IMIT = 1;
inline constexpr uint8_t _BIT_OD = 2;

void stand_ReadSignalShield_DI();
void stand_ReadSignalShield_AI();

// Decodes a DI or AI reply (`reply` is the checked frame) into stend_signal.
void stand_parser(uint8_t function, const uint8_t* reply);

// Samples the relay and line-relay read-back inputs into stend_signal.
void stand_ReadSignalPi();
