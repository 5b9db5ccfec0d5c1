#include "console.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "console_capture.h"
#include "exit_codes.h"
#include "exit_output.h"
#include "prompts.h"

namespace {

std::string next_word() {
  char read[_ANSWER_SIZE];
  console_readWord(read);
  return read;
}

TEST(ConsoleAnswers, ALongWordIsOneAnswerKeepingItsFirstSevenCharactersAndSkippingTheRest) {
  feed_stdin("abcdefghijk 1234567\nx");
  EXPECT_EQ(next_word(), "abcdefg");
  EXPECT_EQ(next_word(), "1234567");
  EXPECT_EQ(next_word(), "x");
}

// Were the tail of the long word a second answer, "yes" would be taken as yes.
TEST(ConsoleAnswers, TheTailOfALongWordIsNeverTakenAsTheNextAnswer) {
  feed_stdin("abcdefgyes\nn\n");
  StdoutCapture out;
  EXPECT_EQ(warning_question_yn("q "), 0);
  EXPECT_EQ(out.text(), "\nWarning: q \n\nWarning: q \n");
}

TEST(ConsoleAnswers, SkipsBlankLinesAndSpacesBeforeAnAnswer) {
  feed_stdin("\n\n  \t\n y\n");
  EXPECT_EQ(next_word(), "y");
}

TEST(ConsoleAnswers, EndOfInputAtAnyPromptEndsTheProgramWithTheInputClosedStatus) {
  const std::function<void()> prompts[] = {
      [] { warning_stlinkon(); },     [] { warning_SelectTypeShield(); },         [] { warning_question_yn("q "); },
      [] { warning_continue("q "); }, [] { warning_continue_break_repeat("q"); },
  };
  for (size_t i = 0; i < std::size(prompts); ++i) {
    SCOPED_TRACE(testing::Message() << "prompt " << i);
    // An unaccepted answer first, then only blank space before the end.
    EXPECT_EXIT(
        {
          feed_stdin("x\n  \n");
          stdout_to_stderr();
          prompts[i]();
          std::exit(99);
        },
        testing::ExitedWithCode(EXIT_INPUT_CLOSED), "Ошибка: ввод оператора закрыт");
  }
}

// A second call of the same prompt may find the first answer, "y", still in
// its buffer's place on the stack; it must not act on it.
TEST(ConsoleAnswers, AnAnswerIsNeverReusedOnceInputHasEnded) {
  EXPECT_EXIT(
      {
        feed_stdin("y\n");
        stdout_to_stderr();
        if (warning_question_yn("q ") == 1) warning_question_yn("q ");
        std::exit(99);
      },
      testing::ExitedWithCode(EXIT_INPUT_CLOSED), "ввод оператора закрыт");
}

}  // namespace
