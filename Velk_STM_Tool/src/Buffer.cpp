#include "Buffer.h"

#include <cstring>

buffer_st bufferSPI_MOSI;
buffer_st bufferSPI_MISO;

namespace {

int free_slot(const buffer_st* b) {
  for (int i = b->pointer; i < b->size; ++i)
    if (b->data[i][0] == 0) return i;
  for (int i = 0; i < b->pointer; ++i)
    if (b->data[i][0] == 0) return i;
  return -1;
}

}  // namespace

void buffer_write(buffer_st* b) {
  int slot = free_slot(b);
  if (slot < 0) return;  // full: the frame is dropped
  std::memcpy(b->data[slot], b->write, b->elements);
  b->data[slot][_BUFFER_READY] = 1;
}

uint8_t buffer_read(buffer_st* b) {
  uint8_t result = 0;
  for (int looked = 0; looked < _BUFFER_SIZE && !result; ++looked) {
    auto* slot = b->data[b->pointer];
    if (slot[_BUFFER_READY] == 1) {
      slot[_BUFFER_READY] = 0;
      std::memcpy(b->read, slot, b->elements);
      std::memcpy(b->backup, slot, b->elements);
      std::memset(slot, 0, b->elements);
      result = 1;
    }
    b->pointer = static_cast<uint8_t>((b->pointer + 1) % b->size);
  }
  return result;
}

bool buffer_empty(const buffer_st* b) {
  for (auto& slot : b->data)
    if (slot[_BUFFER_READY] == 1) return false;
  return true;
}
