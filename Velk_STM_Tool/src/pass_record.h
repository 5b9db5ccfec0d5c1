// What the recorder holds: the database it writes, and what it has seen of the
// pass under way until the pass ends and is written in one transaction. It is
// the recorder's only state, one record like the program's shared records,
// because the program can end from anywhere in a pass (an exit in a prompt, in
// a block) and what was seen until then must still be written at the exit.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "record_db.h"

// Why a pass ended. The text of each is written into the pass's row.
enum class pass_end : uint8_t {
  none,               // still under way (at an exit: the program's own end)
  next_pass,          // the operator asked for another pass
  operator_no,        // "n" to another pass
  operator_abort,     // "3" at a failed check
  input_closed,       // the operator's input ended at a question
  link_failed,        // the shield link failed
  outdated_firmware,  // three reads found outdated firmware
  flashing_refused,   // the dump was not written and the operator went no further
  tool_missing,       // st-flash or the flasher could not be run
  flasher_failed,     // the flasher failed an update
  recorder_missing,   // the audio recorder could not be started
};

struct recorded_read {
  int64_t number, firmware, id[3];
  bool idComplete;
};

struct recorded_flashing {
  const char* tool;
  bool written;
  int errorWords, status, signal;
  bool notStarted;
};

struct recorded_measurement {
  uint8_t check;  // its failure code (records.h)
  std::string quantity;
  std::optional<int64_t> value, low, high;
  std::optional<bool> ok;
};

struct recorded_prompt {
  std::string question, answer;
};

struct recorded_report {
  uint32_t failures;
  int count;
  const char* upload;
};

struct pass_record_st {
  Database db;     // closed: nothing is recorded (never opened, or given up)
  int64_t id = 0;  // the row of the pass under way; 0 between passes
  bool reading = false;  // a spectrum reading pass
  std::vector<recorded_read> reads;
  std::vector<recorded_flashing> flashings;
  std::vector<recorded_measurement> measurements;
  std::vector<recorded_prompt> prompts;
  std::optional<recorded_report> report;
  pass_end end = pass_end::none;
};
extern pass_record_st passRecord;
