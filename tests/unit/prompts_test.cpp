// The operator's answers as the console reads them. The prompts that ask for
// them are played in the catalogue of sessions (prompts-*).
#include <gtest/gtest.h>

#include <string>

#include "console.h"
#include "console_capture.h"

namespace {

// A word is kept up to the room given and counted whole; the rest of it is
// skipped, never taken as the next answer. Blank space before a word is skipped.
TEST(ConsoleAnswers, AWordIsOneAnswerCutToTheRoomGivenAndCountedWhole) {
  feed_stdin("abcdefghijk 1234567\n\n  \t\n x 00000042 0123456789012345678901234567890123\n");
  std::string words;
  for (size_t size : {_ANSWER_SIZE, _ANSWER_SIZE, _ANSWER_SIZE, _ANSWER_SIZE, size_t{32}}) {
    char read[32];
    size_t length = console_readWord(read, size);
    words += std::string(read) + "/" + std::to_string(length) + " ";
  }
  EXPECT_EQ(words, "abcdefg/11 1234567/7 x/1 0000004/8 0123456789012345678901234567890/34 ");
}

}  // namespace
