// The shield link's frame address and function codes. A request carries its
// code in byte 1 and the reply echoes it; the reply code the link leaves in
// menuSt.functionRead is one of these, or the link failure mark.
#pragma once
#include <cstdint>

inline constexpr uint8_t _SPI_ADDRESS = 0xA1;

inline constexpr uint8_t _FUNC_SHIELDREAD = 0x02;    // firmware version and shield number
inline constexpr uint8_t _FUNC_SHIELDWRITE = 0x14;   // a new shield number
inline constexpr uint8_t _FUNC_IDREAD_1 = 0x18;      // identifier word 0
inline constexpr uint8_t _FUNC_IDREAD_2 = 0x19;      // identifier word 1
inline constexpr uint8_t _FUNC_IDREAD_3 = 0x1A;      // identifier word 2
inline constexpr uint8_t _FUNC_DI = 0xE2;            // the shield's digital inputs
inline constexpr uint8_t _FUNC_AI = 0xE4;            // the value on the stand's line
inline constexpr uint8_t _FUNC_PLEASEREPEAT = 0xFF;  // the other side asks for the last frame again

// Reply code of a link that failed repeatedly.
inline constexpr uint8_t _FUNCTIONREAD_LINKFAILED = 255;
