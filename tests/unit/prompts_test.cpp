#include "prompts.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "console.h"
#include "console_capture.h"
#include "exit_codes.h"
#include "exit_output.h"
#include "records.h"

namespace {

const char* const kMessage = "Желаете повторить испытания? y/n \n";
const char* const kFailure = "Ошибка реле REL0";
const std::string kFlash = "\nПрошивать дамп памяти у каждого шилда? (y/n):\n";
const std::string kFlashOn = "Шилд будет прошиваться каждый раз при повторе испытаний\n\n";
const std::string kFlashOff = "Прошивка шилда отключена\n\n";
const std::string kEditions = "\nВведите номер шилда:\n1: Общий;\n2: Kordent Edition;\n";
const std::string kWarning = std::string("\nWarning: ") + kMessage;
const std::string kChoice =
    std::string("\nWarning: ") + kFailure + "\nВведите 1,2 или 3:\n1 - Повторить\n2 - Продолжить\n3 - Прервать\n";

std::string times(int n, const std::string& text) {
  std::string out;
  while (n-- > 0) out += text;
  return out;
}

// Each asks its prompt and says what the answer left behind.
std::function<std::string()> flash(uint8_t flags_before) {
  return [=] {
    menu_flag_settings = flags_before;
    warning_stlinkon();
    return "flags " + std::to_string(menu_flag_settings);
  };
}
std::string edition() {
  shieldSt.type = static_cast<typeShield>(9);
  warning_SelectTypeShield();
  return "type " + std::to_string(shieldSt.type) + " adc " + std::to_string(stand_ADC.BR) + " " +
         std::to_string(stand_ADC.IMIT) + " " + std::to_string(stand_ADC.OD);
}
std::string yes_no() { return "answer " + std::to_string(warning_question_yn(kMessage)); }
std::string go_on() { return warning_continue(kMessage), "went on"; }
std::string choice() { return "choice " + std::to_string(warning_continue_break_repeat(kFailure)); }

// Only the first character counts, and only a Latin one: Cyrillic "н" (the y
// key in the Russian layout), "у" and "д" are never taken.
TEST(Prompts, AcceptOnlyTheirAnswersByTheFirstCharacterAndAskAgainOtherwise) {
  struct Case {
    const char* answers;
    std::function<std::string()> ask;
    std::string shown, outcome;
  };
  const Case cases[] = {
      {"y\n", flash(0b00), kFlash + kFlashOn, "flags 1"},
      {"Yes\n", flash(0b10), kFlash + kFlashOn, "flags 3"},  // the harmonic bit is left alone
      {"N\n", flash(0b11), kFlash + kFlashOff, "flags 2"},
      {"н\nу\nx\nnope\n", flash(0b01), times(4, kFlash) + kFlashOff, "flags 0"},
      {"1\n", edition, kEditions + "Выбран общий\n\n", "type 0 adc 2600 1850 2500"},
      {"21\n", edition, kEditions + "Выбран Kordent Edition\n\n", "type 1 adc 2600 2100 2350"},
      {"3\nд\n0\ny\n2\n", edition, times(5, kEditions) + "Выбран Kordent Edition\n\n", "type 1 adc 2600 2100 2350"},
      {"y\n", yes_no, kWarning + "\n", "answer 1"},
      {"н\n1\nNo\n", yes_no, times(3, kWarning + "\n"), "answer 0"},
      {"у\nq\nYES\n", yes_no, times(3, kWarning + "\n"), "answer 1"},
      {"д\nq\nY\n", go_on, times(3, kWarning) + "\n", "went on"},
      {"1\n", choice, kChoice + "\n", "choice 1"},
      {"2\n", choice, kChoice + "\n", "choice 2"},
      {"12\n", choice, kChoice + "\n", "choice 1"},
      {"д\ny\n0\n2\n", choice, times(4, kChoice) + "\n", "choice 2"},
  };
  for (const Case& c : cases) {
    feed_stdin(c.answers);
    StdoutCapture out;
    EXPECT_EQ(c.ask(), c.outcome) << c.answers;
    EXPECT_EQ(out.text(), c.shown) << c.answers;
  }
}

// No to going on and 3 to the choice end the program at once, printing nothing more.
TEST(Prompts, NoToGoingOnAndAbortEndTheProgramWithStatusZero) {
  const std::function<void()> enders[] = {
      [] { feed_stdin("q\nnein\n"), go_on(); },
      [] { feed_stdin("3\n"), choice(); },
  };
  const char* last_words[] = {"\nWarning: Желаете повторить испытания\\? y/n \n$", "3 - Прервать\n\n$"};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EXIT(
        {
          stdout_to_stderr();
          enders[i]();
          std::exit(99);
        },
        testing::ExitedWithCode(0), last_words[i]);
  }
}

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
