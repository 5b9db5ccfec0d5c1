// Looking at the shield link from a test: the requests that went out on the
// bus and the replies that came back, read from the stand's trace.
#pragma once
#include <cstdint>
#include <vector>

#include "trace.h"

// Windows in which the stand sent a request with this function code.
std::vector<sim::SpiWindow> requests_sent(uint8_t function);

// Waits (in stand time) until the reply code becomes `code`, at most `limit_ms`.
// Returns true when it did.
bool wait_for_reply_code(uint8_t code, unsigned limit_ms);
