#include "Buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

namespace {

// Runs a script on a fresh queue: "cN" puts the cursor at N, "wN" stages a
// frame told apart by its code N (every byte differs, so a byte lost or moved
// shows) and writes it, "W" writes the staging frame as it is, "r" reads.
// Returns what each read took: the code, or "-" for nothing. A taken frame
// must be whole in both `read` and `backup`, and a read that takes nothing must
// leave them as they were; a breach shows as "!".
std::string run(const std::string& script) {
  buffer_st q{};
  uint8_t last[_BUFFER_ELEMENTS] = {};
  auto frame = [](uint8_t* f, int code) {
    const uint8_t bytes[] = {uint8_t(code ? 0xA1 : 0), uint8_t(code), 3, 4, 5, 6, 7, 8, 1};
    std::copy_n(bytes, _BUFFER_ELEMENTS, f);
  };
  std::istringstream ops(script);
  std::string op, out;
  while (ops >> op) {
    int n = op.size() > 1 ? std::stoi(op.substr(1)) : 0;
    if (op[0] == 'c') q.pointer = static_cast<uint8_t>(n);
    if (op[0] == 'w') frame(q.write, n);
    if (op[0] == 'w' || op[0] == 'W') buffer_write(&q);
    if (op[0] != 'r') continue;
    bool took = buffer_read(&q) == 1;
    if (took) frame(last, q.read[1]);
    bool whole =
        std::equal(last, last + _BUFFER_ELEMENTS, q.read) && std::equal(last, last + _BUFFER_ELEMENTS, q.backup);
    out += (took ? std::to_string(q.read[1]) : "-") + (whole ? " " : "! ");
  }
  return out;
}

TEST(FrameQueue, KeepsFiveFramesInOrderAndDropsWhatDoesNotFit) {
  const std::pair<const char*, const char*> cases[] = {
      {"r r", "- - "},                                              // an empty queue gives nothing
      {"w1 w2 w3 w4 w5 w6 r r r r r r", "1 2 3 4 5 - "},            // five kept, the sixth dropped
      {"w7 r r w8 r", "7 - 8 "},                                    // a frame is taken once
      {"c3 w1 w2 w3 r r r r", "1 2 3 - "},                          // the cursor near the end wraps
      {"c4 w1 w2 r w3 w4 w5 w6 r r r r r", "1 2 3 4 5 6 "},         // writing and reading in turns
      {"c1 w1 w2 w3 w4 w5 r w6 w7 r r r r r r", "1 2 3 4 5 6 - "},  // a full queue drops until read
      {"w9 W r r r", "9 9 - "},                                     // the staging frame is kept
      {"w0 w7 r r", "7 - "},  // a zero-led frame is ready to read but looks free to a writer
  };
  for (auto& [script, taken] : cases) EXPECT_EQ(run(script), taken) << script;
}

}  // namespace
