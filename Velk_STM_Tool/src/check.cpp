#include "check.h"

#include <bcm2835.h>

#include "Stand.h"
#include "prompts.h"

namespace {

// Only a count that moved during the wait means the shield answered while this
// request was out; without that, stend_signal holds an older reply's values
// (or none at all), and those are not this step's answer.
bool ask(void (*request)(), const std::atomic<uint32_t>& replies) {
  uint32_t before = replies;
  request();
  bcm2835_delay(kCheckReplyWaitMs);
  return replies != before;
}

}  // namespace

bool check_askDI() { return ask(stand_ReadSignalShield_DI, linkEvents.repliesDI); }

bool check_askAI() { return ask(stand_ReadSignalShield_AI, linkEvents.repliesAI); }

bool check_failed(error_codes code, const char* message) {
  error_set(code);
  return warning_continue_break_repeat(message) == 1;
}
