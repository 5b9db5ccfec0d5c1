// Exit statuses of the stand program. 0 and 1 are the operator's; the others
// tell a calling script why the stand could not work.
#pragma once

inline constexpr int EXIT_STAND_DONE = 0;      // a pass ended the run, or the operator stopped it
inline constexpr int EXIT_OPERATOR_EXIT = 1;   // "exit" in the main menu
inline constexpr int EXIT_NO_PERIPHERALS = 2;  // the library cannot reach GPIO or SPI0
inline constexpr int EXIT_NO_LINK_THREAD = 3;  // the exchange thread cannot be started
inline constexpr int EXIT_INPUT_CLOSED = 4;    // standard input ended at a question
