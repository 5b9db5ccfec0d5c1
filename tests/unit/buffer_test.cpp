#include "Buffer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "queued_frames.h"

namespace {

// A whole frame record told apart by its function code; every byte differs,
// so a byte lost or moved in a copy shows.
QueuedFrame frame(uint8_t code) { return {code ? uint8_t{0xA1} : uint8_t{0}, code, 3, 4, 5, 6, 7, 8, 1}; }

// Runs a script on a fresh queue whose cursor starts at `cursor`: "wN" stages
// the frame with code N and writes it, "W" writes the staging frame as it is,
// "r" reads. Returns what each read took: the code, or "-" for nothing.
// A taken frame must be whole in both `read` and `backup`, and a read that
// takes nothing must leave them as they were; a breach shows as "!".
std::string run(const std::string& script, uint8_t cursor = 0) {
  buffer_st q{};
  q.pointer = cursor;
  QueuedFrame last{};
  std::istringstream ops(script);
  std::string op, out;
  while (ops >> op) {
    if (op[0] == 'w') {
      auto f = frame(static_cast<uint8_t>(std::stoi(op.substr(1))));
      std::copy(f.begin(), f.end(), q.write);
    }
    if (op[0] != 'r') {
      buffer_write(&q);
      continue;
    }
    bool took = buffer_read(&q) == 1;
    if (took) last = frame(q.read[1]);
    bool intact = as_frame(q.read) == last && as_frame(q.backup) == last;
    out += (out.empty() ? "" : " ") + (took ? std::to_string(q.read[1]) : "-") + (intact ? "" : "!");
  }
  return out;
}

TEST(FrameQueue, KeepsFiveFramesInOrderAndDropsWhatDoesNotFit) {
  struct Case {
    const char* what;
    const char* script;
    uint8_t cursor;
    const char* taken;
  };
  const Case cases[] = {
      {"an empty queue gives nothing", "r r", 0, "- -"},
      {"five kept, the sixth dropped", "w1 w2 w3 w4 w5 w6 r r r r r r", 0, "1 2 3 4 5 -"},
      {"a frame is taken once", "w7 r r w8 r", 0, "7 - 8"},
      {"the cursor near the end wraps", "w1 w2 w3 r r r r", 3, "1 2 3 -"},
      {"writing and reading in turns", "w1 w2 r w3 w4 w5 w6 r r r r r", 4, "1 2 3 4 5 6"},
      {"a full queue drops until read", "w1 w2 w3 w4 w5 r w6 w7 r r r r r r", 1, "1 2 3 4 5 6 -"},
      {"the staging frame is kept", "w9 W r r r", 0, "9 9 -"},
      // A frame led by a zero byte is ready to read but looks free to a writer.
      {"a zero-led frame is lost to the next write", "w0 w7 r r", 0, "7 -"},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.script, c.cursor), c.taken) << c.what;
}

}  // namespace
