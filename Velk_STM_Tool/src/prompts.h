// The operator's prompts. Each repeats until it gets an answer it accepts;
// only the first character of the answer counts.
#pragma once
#include <cstdint>

void warning_stlinkon();
void warning_SelectTypeShield();
uint8_t warning_question_yn(const char* message);            // 1 yes, 0 no
void warning_continue(const char* message);                  // returns on yes; no ends the program
uint8_t warning_continue_break_repeat(const char* message);  // 1 repeat, 2 continue; 3 ends the program
