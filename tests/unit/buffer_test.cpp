#include "Buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "queued_frames.h"

namespace {

using Frame = QueuedFrame;

// A request-shaped frame told apart by its function code; byte 8 is a send type.
Frame frame(uint8_t code) { return {0xA1, code, 0x10, 0x20, 0x30, 0x40, 0x7E, 0x54, 1}; }

class FrameQueue : public testing::Test {
 protected:
  void put(const Frame& f) {
    std::copy(f.begin(), f.end(), q.write);
    buffer_write(&q);
  }

  buffer_st q{};
};

TEST_F(FrameQueue, ReadingAnEmptyQueueTakesNothingAndLeavesReadBackupAndCursorAlone) {
  q.pointer = 2;
  std::fill_n(q.read, _BUFFER_ELEMENTS, 0x55);
  std::fill_n(q.backup, _BUFFER_ELEMENTS, 0x66);

  EXPECT_EQ(buffer_read(&q), 0);

  EXPECT_EQ(q.pointer, 2);
  EXPECT_TRUE(std::all_of(q.read, q.read + _BUFFER_ELEMENTS, [](uint8_t b) { return b == 0x55; }));
  EXPECT_TRUE(std::all_of(q.backup, q.backup + _BUFFER_ELEMENTS, [](uint8_t b) { return b == 0x66; }));
}

TEST_F(FrameQueue, KeepsFiveFramesDropsTheSixthAndHandsThemOutInOrder) {
  for (uint8_t code = 1; code <= 6; ++code) put(frame(code));

  for (uint8_t code = 1; code <= 5; ++code) {
    ASSERT_EQ(buffer_read(&q), 1) << "frame " << int{code};
    EXPECT_EQ(as_frame(q.read), frame(code));
  }
  EXPECT_EQ(buffer_read(&q), 0) << "the sixth frame must have been dropped";
}

TEST_F(FrameQueue, ASecondReadOfOneFrameTakesNothingWhileReadAndBackupKeepTheFrame) {
  put(frame(0xE2));

  ASSERT_EQ(buffer_read(&q), 1);
  EXPECT_EQ(as_frame(q.read), frame(0xE2));
  EXPECT_EQ(as_frame(q.backup), frame(0xE2));
  EXPECT_TRUE(std::all_of(&q.data[0][0], &q.data[0][0] + _BUFFER_ELEMENTS + 1, [](uint8_t b) { return b == 0; }))
      << "a taken slot is all zero, ready flag included";

  EXPECT_EQ(buffer_read(&q), 0);
  EXPECT_EQ(as_frame(q.read), frame(0xE2));
  EXPECT_EQ(as_frame(q.backup), frame(0xE2));
}

// Writing searches from the read cursor, so with the cursor near the end the
// frames wrap round to slot 0 and still come out first-in first-out.
TEST_F(FrameQueue, WithTheCursorAtThreeWritesFillSlotsThreeFourAndZeroAndReadBackInOrder) {
  q.pointer = 3;
  put(frame(0x02));
  put(frame(0x18));
  put(frame(0x19));

  EXPECT_EQ(q.data[3][1], 0x02);
  EXPECT_EQ(q.data[4][1], 0x18);
  EXPECT_EQ(q.data[0][1], 0x19);
  for (int slot : {3, 4, 0}) EXPECT_EQ(q.data[slot][_BUFFER_READY], 1) << "slot " << slot;

  const uint8_t expected_cursor[] = {4, 0, 1};  // the slot after the one just taken, wrapping at five
  const uint8_t expected_code[] = {0x02, 0x18, 0x19};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(buffer_read(&q), 1);
    EXPECT_EQ(q.read[1], expected_code[i]);
    EXPECT_EQ(q.pointer, expected_cursor[i]);
  }
}

// A reply whose address byte is 0 is ready for reading but looks free to a
// writer: a frame written before it is read takes its place.
TEST_F(FrameQueue, AZeroLedFrameCountsAsFreeAndIsLostToTheNextWrite) {
  Frame zero_led = frame(0x02);
  zero_led[0] = 0;
  put(zero_led);
  EXPECT_EQ(q.data[0][_BUFFER_READY], 1);

  put(frame(0xE4));

  ASSERT_EQ(buffer_read(&q), 1);
  EXPECT_EQ(as_frame(q.read), frame(0xE4));
  EXPECT_EQ(buffer_read(&q), 0) << "the zero-led frame must be gone";
}

TEST_F(FrameQueue, WritingTheUnchangedStagingFrameTwiceQueuesItTwice) {
  put(frame(0xE2));
  EXPECT_EQ(as_frame(q.write), frame(0xE2)) << "buffer_write keeps the staging frame";
  buffer_write(&q);

  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(buffer_read(&q), 1) << "read " << i;
    EXPECT_EQ(as_frame(q.read), frame(0xE2));
  }
  EXPECT_EQ(buffer_read(&q), 0);
}

}  // namespace
