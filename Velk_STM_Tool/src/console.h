// The operator's console: answers are whitespace-delimited words on standard
// input, messages go to standard output.
#pragma once
#include <cstddef>

// Room for 7 characters of an answer and the terminator.
inline constexpr size_t _ANSWER_SIZE = 8;

// Reads the next word into `read`. A longer word keeps its first 7 characters
// and the rest of it is skipped, so it counts as one answer. When standard
// input has ended, says so and ends the program (it never acts on a stale answer).
void console_readWord(char (&read)[_ANSWER_SIZE]);
