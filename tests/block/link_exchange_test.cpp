// The exchange thread and the parser against the simulated shield, with link
// faults. These tests judge outcomes only, so they also run free-running
// under ThreadSanitizer, where the two threads really run side by side.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include "link_codes.h"
#include "link_probe.h"
#include "records.h"
#include "spi.h"
#include "test_stand.h"

namespace {

constexpr unsigned kCycleMs = 310;  // a cycle with a request, with room for the transfers

// Watches the reply code for up to `ms` of stand time, or until it becomes
// `until`: each value it took in order, the present one first ("0 2 255").
std::string watch_reply_codes(unsigned ms, int until) {
  int last = menuSt.functionRead;
  std::string out = std::to_string(last);
  for (unsigned waited = 0; waited < ms && last != until; waited += 5) {
    bcm2835_delay(5);
    if (menuSt.functionRead != last) out += " " + std::to_string(last = menuSt.functionRead);
  }
  return out;
}

// The fifth receipt of each request is answered: the rejections of the first
// request are forgiven by its accepted reply, so the second request's four do
// not make a fifth in a row.
TEST(LinkExchange, AnAcceptedReplyStartsTheCountOfRejectionsAgain) {
  TestStand("number=9 link.fault=late link.count=4").start_program();
  RecordWatch records;
  SPI_command_ShieldRead();
  std::string codes = watch_reply_codes(6 * kCycleMs, _FUNC_SHIELDREAD);
  SPI_command_IdRead_1();
  EXPECT_EQ(codes + " " + watch_reply_codes(6 * kCycleMs, _FUNC_IDREAD_1), "0 2 2 24");
  EXPECT_EQ(requests_on_bus(), "02 02 02 02 02 18 18 18 18 18");
  EXPECT_EQ(records.changes(), "code=24 fw=325 no=9 id0=32001F answered=100");
}

// A reply that never comes is a rejection: the request goes out again, and the
// fifth rejection in a row marks the link; the limit does not stop the
// resending, and five more rejections mark it again.
TEST(LinkExchange, UnansweredRequestsKeepGoingOutAndEveryFifthMissMarksTheLink) {
  TestStand("link.fault=silent").start_program();
  SPI_command_ShieldRead();
  EXPECT_EQ(watch_reply_codes(6 * kCycleMs, _FUNCTIONREAD_LINKFAILED), "0 255");
  menuSt.functionRead = 0;
  EXPECT_EQ(watch_reply_codes(6 * kCycleMs, _FUNCTIONREAD_LINKFAILED), "0 255");
  EXPECT_EQ(requests_on_bus(), "02 02 02 02 02 02 02 02 02 02");
}

}  // namespace
