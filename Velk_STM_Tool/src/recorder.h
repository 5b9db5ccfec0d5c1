// The record of every pass in stand-records.sqlite, in the program's working
// directory. The blocks report what they see through these calls; the record
// never stops or changes a pass: when the file cannot be used, one line on
// standard error says why and the calls do nothing from then on.
#pragma once
#include <cstdint>

#include "Harmonic.h"
#include "child.h"
#include "pass_record.h"
#include "records.h"

// Opens (or starts) the file, brings its schema up to date, marks passes left
// unfinished by an earlier run as cut off, and has a pass under way at the
// program's end written then.
void record_open();

// A pass begins: its row is written at once, with the set-up answers.
void record_passBegin();
// The pass is over and the next may begin: all of it is written in one transaction.
void record_passEnd();
// The program is about to end inside a pass, for this reason.
void record_stopping(pass_end why);

// What the pass saw.
void record_shieldRead();  // the read just made, from shieldSt
void record_flashing(const char* tool, bool written, int errorWords, const ChildEnd& end);
// A level compared: `answered` false when no reply came to this request.
void record_level(error_codes check, bool answered, GPIO_Digital seen, GPIO_Digital failsWhen);
void record_reading(error_codes check, bool answered, uint16_t value, uint16_t nominal);
// The averaged spectrum against `reference` (none: no window); `judged` false in the reading mode.
void record_spectrum(const uint32_t* amplitudes, const harmonic_st* reference, bool judged);
void record_prompt(const char* question, const char* answer);
void record_report(uint32_t failures, int count, const char* upload);
