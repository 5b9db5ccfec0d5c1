// The link's frame queue: five slots of one 9-byte frame record each (8 bytes
// on the wire and the send type), with a staging frame for the producer and the
// taken frame plus a backup copy for the consumer. Frames leave in the order
// they came as long as no more than five are pending; a full queue drops.
//
// The request queue is shared by both threads: a producer holds the queue's
// lock from the first byte written into `write` to the end of buffer_write
// (buffer_compose), and buffer_read takes the same lock.
#pragma once
#include <cstdint>
#include <mutex>

inline constexpr uint8_t _BUFFER_SIZE = 5;
inline constexpr uint8_t _BUFFER_ELEMENTS = 9;
inline constexpr uint8_t _BUFFER_READY = _BUFFER_ELEMENTS;  // index of the ready flag in a slot
inline constexpr uint8_t _FRAME_BYTES = _BUFFER_ELEMENTS - 1;
inline constexpr uint8_t _FRAME_SENDTYPE = _BUFFER_ELEMENTS - 1;

struct buffer_st {
  const uint8_t size = _BUFFER_SIZE;
  const uint8_t elements = _BUFFER_ELEMENTS;
  uint8_t data[_BUFFER_SIZE][_BUFFER_ELEMENTS + 1];
  uint8_t write[_BUFFER_ELEMENTS];
  uint8_t read[_BUFFER_ELEMENTS];
  uint8_t backup[_BUFFER_ELEMENTS];
  uint8_t pointer;
  std::mutex lock;
};

extern buffer_st bufferSPI_MOSI;
extern buffer_st bufferSPI_MISO;

void buffer_write(buffer_st* bufferStruct);
uint8_t buffer_read(buffer_st* bufferStruct);
bool buffer_empty(const buffer_st* bufferStruct);  // no frame waits to be read

// Composes one frame in `write` and queues it, atomically against the other thread.
template <typename Compose>
void buffer_compose(buffer_st* bufferStruct, Compose compose) {
  std::lock_guard guard(bufferStruct->lock);
  compose(bufferStruct->write);
  buffer_write(bufferStruct);
}
