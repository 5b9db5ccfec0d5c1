#include "prompts.h"

#include <gtest/gtest.h>

#include <string>

#include "console_capture.h"
#include "exit_output.h"
#include "records.h"

namespace {

std::string times(int n, const std::string& text) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

const std::string kFlashQuestion = "\nПрошивать дамп памяти у каждого шилда? (y/n):\n";
const std::string kEditionList = "\nВведите номер шилда:\n1: Общий;\n2: Kordent Edition;\n";
const std::string kChoiceList = "Введите 1,2 или 3:\n1 - Повторить\n2 - Продолжить\n3 - Прервать\n";
const char* const kMessage = "Желаете повторить испытания? y/n \n";

// Cyrillic answers are never taken, not even "н" (the y key in the Russian
// layout) or "у", which looks like y.
TEST(FlashQuestion, SetsOrClearsTheFlashBitOnTheFirstLatinYOrNAndAsksAgainOtherwise) {
  struct Case {
    const char* answers;
    uint8_t flags_before, flags_after;
    int questions;
    const char* verdict;
  };
  const char* yes = "Шилд будет прошиваться каждый раз при повторе испытаний\n";
  const char* no = "Прошивка шилда отключена\n";
  const Case cases[] = {
      {"y\n", 0b00, 0b01, 1, yes},          {"Yes\n", 0b10, 0b11, 1, yes},  // the harmonic bit is left alone
      {"N\n", 0b11, 0b10, 1, no},           {"nope\n", 0b01, 0b00, 1, no},
      {"н\nу\nд\nY\n", 0b00, 0b01, 4, yes}, {"x\n?\nn\n", 0b01, 0b00, 3, no},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    feed_stdin(c.answers);
    menu_flag_settings = c.flags_before;
    StdoutCapture out;
    warning_stlinkon();
    EXPECT_EQ(menu_flag_settings, c.flags_after);
    EXPECT_EQ(out.text(), times(c.questions, kFlashQuestion) + c.verdict + "\n");
  }
}

TEST(EditionQuestion, SetsTheEditionAndItsNominalAdcValuesAndShowsTheListAgainOtherwise) {
  struct Case {
    const char* answers;
    typeShield type;
    uint16_t br, imit, od;
    int lists;
    const char* verdict;
  };
  const Case cases[] = {
      {"1\n", TYPESHIELD_TALVO, 2600, 1850, 2500, 1, "Выбран общий\n"},
      {"2\n", TYPESGIELD_KORDENT, 2600, 2100, 2350, 1, "Выбран Kordent Edition\n"},
      {"21\n", TYPESGIELD_KORDENT, 2600, 2100, 2350, 1, "Выбран Kordent Edition\n"},
      {"3\n1\n", TYPESHIELD_TALVO, 2600, 1850, 2500, 2, "Выбран общий\n"},
      {"д\n0\ny\n2\n", TYPESGIELD_KORDENT, 2600, 2100, 2350, 4, "Выбран Kordent Edition\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    feed_stdin(c.answers);
    shieldSt.type = c.type == TYPESHIELD_TALVO ? TYPESGIELD_KORDENT : TYPESHIELD_TALVO;
    stand_ADC = {};
    StdoutCapture out;
    warning_SelectTypeShield();
    EXPECT_EQ(shieldSt.type, c.type);
    EXPECT_EQ(stand_ADC.BR, c.br);
    EXPECT_EQ(stand_ADC.IMIT, c.imit);
    EXPECT_EQ(stand_ADC.OD, c.od);
    EXPECT_EQ(out.text(), times(c.lists, kEditionList) + c.verdict + "\n");
  }
}

TEST(YesNoQuestion, ReturnsTheAnswerAndPrintsAnEmptyLineAfterEveryAnswerAcceptedOrNot) {
  struct Case {
    const char* answers;
    uint8_t result;
    int questions;
  };
  const Case cases[] = {{"y\n", 1, 1}, {"No\n", 0, 1}, {"н\n1\nYES\n", 1, 3}, {"у\nn\n", 0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    feed_stdin(c.answers);
    StdoutCapture out;
    EXPECT_EQ(warning_question_yn(kMessage), c.result);
    EXPECT_EQ(out.text(), times(c.questions, std::string("\nWarning: ") + kMessage + "\n"));
  }
}

TEST(ContinueQuestion, ReturnsOnYesWithAnEmptyLineOnlyAfterTheYes) {
  feed_stdin("д\nq\ny\n");
  StdoutCapture out;
  warning_continue(kMessage);
  EXPECT_EQ(out.text(), times(3, std::string("\nWarning: ") + kMessage) + "\n");
}

TEST(ContinueQuestion, EndsTheProgramWithStatusZeroOnNoPrintingNothingMore) {
  EXPECT_EXIT(
      {
        feed_stdin("n\n");
        stdout_to_stderr();
        warning_continue(kMessage);
      },
      testing::ExitedWithCode(0), "^\nWarning: Желаете повторить испытания\\? y/n \n$");
}

TEST(RepeatContinueAbortChoice, ReturnsOneOrTwoAfterAnEmptyLineAndShowsMessageAndListAgainOtherwise) {
  struct Case {
    const char* answers;
    uint8_t result;
    int lists;
  };
  const Case cases[] = {{"1\n", 1, 1}, {"2\n", 2, 1}, {"12\n", 1, 1}, {"д\ny\n0\n2\n", 2, 4}};
  const std::string shown = "\nWarning: Ошибка реле REL0\n" + kChoiceList;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    feed_stdin(c.answers);
    StdoutCapture out;
    EXPECT_EQ(warning_continue_break_repeat("Ошибка реле REL0"), c.result);
    EXPECT_EQ(out.text(), times(c.lists, shown) + "\n");
  }
}

TEST(RepeatContinueAbortChoice, EndsTheProgramWithStatusZeroOnThree) {
  EXPECT_EXIT(
      {
        feed_stdin("3\n");
        stdout_to_stderr();
        warning_continue_break_repeat("Ошибка реле REL0");
      },
      testing::ExitedWithCode(0), "3 - Прервать\n\n$");
}

}  // namespace
