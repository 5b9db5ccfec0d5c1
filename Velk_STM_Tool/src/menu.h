// The operator's road: the main menu, and one test pass per shield.
#pragma once
#include <cstdint>

inline constexpr uint8_t _SHIELD_THREE_INPUTS_MAX = 26;  // up to this number: Ek, S0, S1 only
inline constexpr int _READ_SHIELD_MAX = 3;               // reads of one shield per pass

// Runs the main menu until the operator starts the test ("2"); "exit" ends the program.
void menu_main();

// One test pass of the shield on the stand.
void menu();

// 0 when the awaited reply `function` has come; 1 to keep waiting. After
// maxRepeat misses in a row the link is reported broken and the program ends.
uint8_t menu_repeatBlock(uint8_t function);
