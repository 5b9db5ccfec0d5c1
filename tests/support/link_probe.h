// Looking at the stand from a test: line changes and requests on the bus (from
// the stand's trace), and what the shield's replies left in the records.
#pragma once
#include <cstdint>
#include <string>

#include "trace.h"

// The function codes of every request sent so far, in order: "02 18 18".
std::string requests_on_bus();

// Waits (in stand time) until the reply code becomes `code`, at most `limit_ms`.
// Returns true when it did.
bool wait_for_reply_code(uint8_t code, unsigned limit_ms);

// Watches the reply code for up to `ms` of stand time, or until it becomes
// `until`, and returns each value it took in order, the present one first:
// "0 2 255".
std::string watch_reply_codes(unsigned ms, int until = -1);

// The line changes from stand time `since` on, one per line, in ms after it:
// "+600 RST 1\n".
std::string line_changes(sim::StandTime since);

// The records the replies fill, on one line:
// "code 2 | fw 322 no 27 | id 1000002 0 0 answered 100 | in 10101 line 2600"
// (inputs in the order Ek S0 S1 EkS door).
std::string link_records();
