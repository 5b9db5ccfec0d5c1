// What every check block shares: asking the shield and knowing whether it
// answered this very request, and the failure procedure (bit first, then the
// operator's choice).
#pragma once
#include <atomic>
#include <cstdint>

#include "records.h"

inline constexpr unsigned kCheckReplyWaitMs = 1500;  // after every DI and AI request

// Queues the DI request and waits; true when a DI reply was decoded meanwhile.
bool check_askDI();

// Queues the AI request and waits; true when an AI reply was decoded meanwhile.
bool check_askAI();

// Sets `code` in the failure register and asks the operator with `message`.
// True when the block is to start again from its first step (answer 1); false
// to go on (answer 2). Answer 3 ends the program inside the prompt.
bool check_failed(error_codes code, const char* message);
