// Frames as they sit in the link's queues (8 bytes on the wire, then the send
// type), for comparing what a queue holds with what a test expects.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "Buffer.h"

using QueuedFrame = std::array<uint8_t, _BUFFER_ELEMENTS>;

inline QueuedFrame as_frame(const uint8_t (&bytes)[_BUFFER_ELEMENTS]) {
  QueuedFrame f;
  std::copy_n(bytes, f.size(), f.begin());
  return f;
}

// Takes every frame waiting in the queue, in the order they come out.
inline std::vector<QueuedFrame> take_all(buffer_st& queue) {
  std::vector<QueuedFrame> out;
  while (buffer_read(&queue)) out.push_back(as_frame(queue.read));
  return out;
}
