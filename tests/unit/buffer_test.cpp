#include "Buffer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Runs a script on a fresh queue: "cN" puts the cursor at N, "wN" stages a
// frame with code N (led by a zero byte for N = 0) and writes it, "W" writes
// the staging frame as it is, "r" reads. Each read shows the code in `read`,
// after "-" when nothing was taken, and "!" when `backup` holds another.
std::string run(const std::string& script) {
  buffer_st q{};
  std::istringstream ops(script);
  std::string op, out;
  while (ops >> op) {
    int n = op.size() > 1 ? std::stoi(op.substr(1)) : 0;
    if (op[0] == 'c') q.pointer = static_cast<uint8_t>(n);
    if (op[0] == 'w') q.write[0] = n ? 0xA1 : 0, q.write[1] = static_cast<uint8_t>(n);
    if (op[0] == 'w' || op[0] == 'W') buffer_write(&q);
    if (op[0] != 'r') continue;
    bool took = buffer_read(&q) == 1;
    out += (took ? "" : "-") + std::to_string(q.read[1]) + (q.backup[1] == q.read[1] ? " " : "! ");
  }
  return out;
}

TEST(FrameQueue, KeepsFiveFramesInOrderAndDropsWhatDoesNotFit) {
  const std::pair<const char*, const char*> cases[] = {
      {"r r", "-0 -0 "},                                             // an empty queue gives nothing
      {"w1 w2 w3 w4 w5 w6 r r r r r r", "1 2 3 4 5 -5 "},            // five kept, the sixth dropped
      {"w7 r r w8 r", "7 -7 8 "},                                    // taken once, and still there to resend
      {"c3 w1 w2 w3 r r r r", "1 2 3 -3 "},                          // the cursor near the end wraps
      {"c4 w1 w2 r w3 w4 w5 w6 r r r r r", "1 2 3 4 5 6 "},          // writing and reading in turns
      {"c1 w1 w2 w3 w4 w5 r w6 w7 r r r r r r", "1 2 3 4 5 6 -6 "},  // a full queue drops until read
      {"w9 W r r r", "9 9 -9 "},                                     // the staging frame is kept
      {"w0 w7 r r", "7 -7 "},  // a zero-led frame is ready to read but looks free to a writer
  };
  for (auto& [script, taken] : cases) EXPECT_EQ(run(script), taken) << script;
}

}  // namespace
