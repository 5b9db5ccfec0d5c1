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

// Also after an answer that was not accepted, or one already taken: a prompt
// never acts on an answer left in its place from before.
TEST(ConsoleAnswers, EndOfInputAtAnyPromptEndsTheProgramWithTheInputClosedStatus) {
  const std::function<void()> prompts[] = {
      [] { warning_stlinkon(); },
      [] { warning_SelectTypeShield(); },
      [] { warning_question_yn("q "); },
      [] { warning_continue("q "); },
      [] { warning_continue_break_repeat("q"); },
      [] {
        if (warning_question_yn("q ") == 1) warning_question_yn("q ");
      },
  };
  for (auto& prompt : prompts) {
    EXPECT_EXIT(
        {
          feed_stdin(&prompt == &prompts[5] ? "y\n" : "x\n  \n");
          stdout_to_stderr();
          prompt();
          std::exit(99);
        },
        testing::ExitedWithCode(EXIT_INPUT_CLOSED), "\nОшибка: ввод оператора закрыт, работа программы завершена.\n$");
  }
}

}  // namespace
