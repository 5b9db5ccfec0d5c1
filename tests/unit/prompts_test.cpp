#include "prompts.h"

#include <gtest/gtest.h>

#include <string>

#include "console.h"
#include "console_capture.h"
#include "records.h"

namespace {

const char* const kMessage = "Желаете повторить испытания? y/n \n";
const char* const kFailure = "Ошибка реле REL0";
const std::string kFlash = "\nПрошивать дамп памяти у каждого шилда? (y/n):\n";
const std::string kEditions = "\nВведите номер шилда:\n1: Общий;\n2: Kordent Edition;\n";
const std::string kWarning = std::string("\nWarning: ") + kMessage;
const std::string kChoice =
    std::string("\nWarning: ") + kFailure + "\nВведите 1,2 или 3:\n1 - Повторить\n2 - Продолжить\n3 - Прервать\n";

// Every prompt in turn, each first given answers it does not take: only the
// first character counts, and only a Latin one (Cyrillic "н" is on the y key
// of the Russian layout; "у" and "д" look like y and a digit's neighbours).
TEST(Prompts, TakeOnlyTheirAnswersByTheFirstCharacterAndAskAgainOtherwise) {
  feed_stdin("н\nу\nx\nYes\n nope\n 3\nд\n0\n21\n 1\n н\n1\nNo\n YES\n д\nq\ny\n д\ny\n0\n2\n 12\n");
  menu_flag_settings = 0b10;  // the spectrum mode's bit is left alone
  std::string got;
  std::string out = printed([&] {
    for (int i = 0; i < 2; ++i) warning_stlinkon(), got += "flags " + std::to_string(menu_flag_settings) + ", ";
    for (int i = 0; i < 2; ++i)
      warning_SelectTypeShield(), got += "type " + std::to_string(shieldSt.type) + " adc " +
                                         std::to_string(stand_ADC.BR) + " " + std::to_string(stand_ADC.IMIT) + " " +
                                         std::to_string(stand_ADC.OD) + ", ";
    for (int i = 0; i < 2; ++i) got += std::to_string(warning_question_yn(kMessage));
    warning_continue(kMessage);
    for (int i = 0; i < 2; ++i) got += std::to_string(warning_continue_break_repeat(kFailure));
  });
  EXPECT_EQ(got, "flags 3, flags 2, type 1 adc 2600 2100 2350, type 0 adc 2600 1850 2500, 0121");
  EXPECT_EQ(out, times(4, kFlash) + "Шилд будет прошиваться каждый раз при повторе испытаний\n\n" + kFlash +
                     "Прошивка шилда отключена\n\n" + times(4, kEditions) + "Выбран Kordent Edition\n\n" + kEditions +
                     "Выбран общий\n\n" + times(4, kWarning + "\n") + times(3, kWarning) + "\n" + times(4, kChoice) +
                     "\n" + kChoice + "\n");
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

}  // namespace
