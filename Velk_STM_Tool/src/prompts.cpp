#include "prompts.h"

#include <cstdio>
#include <cstdlib>

#include "console.h"
#include "exit_codes.h"
#include "recorder.h"
#include "records.h"

namespace {

bool is_yes(const char* read) { return read[0] == 'y' || read[0] == 'Y'; }
bool is_no(const char* read) { return read[0] == 'n' || read[0] == 'N'; }

struct Edition {
  char answer;
  typeShield type;
  stand_adc_st nominal;
  const char* chosen;
};

constexpr Edition kEditions[] = {
    {'1', TYPESHIELD_TALVO, {ADC_TALVO_BR, ADC_TALVO_IMIT, ADC_TALVO_OD}, "Выбран общий"},
    {'2', TYPESGIELD_KORDENT, {ADC_KORDENT_BR, ADC_KORDENT_IMIT, ADC_KORDENT_OD}, "Выбран Kordent Edition"},
};

}  // namespace

void warning_stlinkon() {
  char read[_ANSWER_SIZE];
  for (;;) {
    std::printf("\nПрошивать дамп памяти у каждого шилда? (y/n):\n");
    console_readWord(read);
    if (is_yes(read)) {
      menu_flag_settings |= 1u << FLAGSET_STLINKUPDATE;
      std::printf("Шилд будет прошиваться каждый раз при повторе испытаний\n");
      break;
    }
    if (is_no(read)) {
      menu_flag_settings &= static_cast<uint8_t>(~(1u << FLAGSET_STLINKUPDATE));
      std::printf("Прошивка шилда отключена\n");
      break;
    }
  }
  std::printf("\n");
}

void warning_SelectTypeShield() {
  char read[_ANSWER_SIZE];
  for (;;) {
    std::printf("\nВведите номер шилда:\n1: Общий;\n2: Kordent Edition;\n");
    console_readWord(read);
    for (auto& e : kEditions) {
      if (read[0] != e.answer) continue;
      shieldSt.type = e.type;
      stand_ADC = e.nominal;
      std::printf("%s\n\n", e.chosen);
      return;
    }
  }
}

uint8_t warning_question_yn(const char* message) {
  char read[_ANSWER_SIZE];
  for (;;) {
    std::printf("\nWarning: %s", message);
    console_readWord(read);
    record_prompt(message, read);
    std::printf("\n");
    if (is_yes(read)) return 1;
    if (is_no(read)) return 0;
  }
}

void warning_continue(const char* message) {
  char read[_ANSWER_SIZE];
  for (;;) {
    std::printf("\nWarning: %s", message);
    console_readWord(read);
    record_prompt(message, read);
    if (is_yes(read)) {
      std::printf("\n");
      return;
    }
    if (is_no(read)) {
      record_stopping(pass_end::operator_no);
      std::exit(EXIT_STAND_DONE);
    }
  }
}

uint8_t warning_continue_break_repeat(const char* message) {
  char read[_ANSWER_SIZE];
  for (;;) {
    std::printf("\nWarning: %s\n", message);
    std::printf("Введите 1,2 или 3:\n1 - Повторить\n2 - Продолжить\n3 - Прервать\n");
    console_readWord(read);
    record_prompt(message, read);
    switch (read[0]) {
      case '1':
        std::printf("\n");
        return 1;
      case '2':
        std::printf("\n");
        return 2;
      case '3':
        std::printf("\n");
        record_stopping(pass_end::operator_abort);
        std::exit(EXIT_STAND_DONE);
      default:
        break;
    }
  }
}
