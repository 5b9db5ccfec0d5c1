// The operator's console: answers are whitespace-delimited words on standard
// input, messages go to standard output.
#pragma once
#include <cstddef>
#include <optional>

// Room for 7 characters of an answer and the terminator.
inline constexpr size_t _ANSWER_SIZE = 8;

// Reads the next word, keeps its first `size` - 1 characters in `read` and
// returns the length of the whole word; the rest of a longer word is skipped,
// so it counts as one answer. When standard input has ended, says so and ends
// the program (it never acts on a stale answer).
size_t console_readWord(char* read, size_t size);

inline void console_readWord(char (&read)[_ANSWER_SIZE]) { console_readWord(read, _ANSWER_SIZE); }

// Reads the next word as a decimal number: digits, perhaps after a sign,
// leading zeros allowed. Nothing when the word is anything else, so a typing
// slip is never taken for a number. Beyond the range of long it saturates.
std::optional<long> console_readNumber();
