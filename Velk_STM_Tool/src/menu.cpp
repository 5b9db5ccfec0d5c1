#include "menu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "adc.h"
#include "audio.h"
#include "console.h"
#include "exit_codes.h"
#include "flashing.h"
#include "gpio.h"
#include "identity.h"
#include "inputs.h"
#include "link_codes.h"
#include "outputs.h"
#include "prompts.h"
#include "recorder.h"
#include "records.h"
#include "report.h"
#include "spi.h"

namespace {

int numb_repeat_ReadShield = 0;
uint8_t SPI_mumbRepeat = 0;

[[noreturn]] void link_failed() {
  record_stopping(pass_end::link_failed);
  std::printf("Ошибка! Проблема передачи по SPI.\n");
  std::exit(EXIT_STAND_DONE);
}

// Reads the shield until its firmware is recent enough, flashing it after
// every outdated read; gives up after three reads.
void read_recent_shield() {
  for (;;) {
    if (numb_repeat_ReadShield >= _READ_SHIELD_MAX) {
      record_stopping(pass_end::outdated_firmware);
      std::printf("Невозможно проверить шилд, проверти STLINK и микроконтроллер или замените Dump.bin\n");
      std::exit(EXIT_STAND_DONE);
    }
    menu_block_ReadShieldOnly();
    if (shieldSt.firmware > _FIRMWARE_OUTDATED_MAX) return;
    std::printf("Требуется обновление прошивки.\n");
    if (!menu_block_stlink_update()) {
      record_stopping(pass_end::flashing_refused);
      std::exit(EXIT_STAND_DONE);
    }
    ++numb_repeat_ReadShield;
  }
}

}  // namespace

void menu_main() {
  char read[_ANSWER_SIZE];
  for (;;) {
    std::printf(
        "\nВведите номер утилиты и нажмите enter:\n1 - Прочесть шилд\n2 - Тест шилда\n"
        "3 - Смена номера шилда\nexit - Выход\n");
    console_readWord(read);
    std::printf("\n");
    if (read[0] == '1') {
      menu_block_ReadShieldOnly();
    } else if (read[0] == '2') {
      return;
    } else if (read[0] == '3') {
      menu_block_ChangeShield();
    } else if (std::strncmp(read, "exit", 4) == 0) {
      std::exit(EXIT_OPERATOR_EXIT);
    }
  }
}

void menu() {
  record_passBegin();
  numb_repeat_ReadShield = 0;
  // A reply lost before the pass (in the main menu) is still asked for while
  // the operator answers; how that ends is the link's state before the pass.
  SPI_settle();
  if (menuSt.functionRead == _FUNCTIONREAD_LINKFAILED) link_failed();
  report_beginPass();
  if (menu_flag(FLAGSET_STLINKUPDATE)) menu_block_stlink_update();  // its outcome shows at the read
  read_recent_shield();
  if (!menu_flag(FLAGSET_HARMONICREAD)) {
    if (shieldSt.shield <= _SHIELD_THREE_INPUTS_MAX)
      menu_block_EK_S0_S1();
    else
      menu_block_EK_S0_S1_EKS();
    menu_block_OpenDetector();
    menu_block_REL();
    menu_block_BR();
    menu_block_ADC();
    menu_block_AudioTest();
    menu_block_StandReport();
    warning_continue("Желаете повторить испытания? y/n \n");
  } else {
    menu_block_HarmonicRead();
    warning_continue("Желаете повторить считывание? y/n \n");
  }
  GPIO_hardReset();
  record_passEnd();
}

uint8_t menu_repeatBlock(uint8_t function) {
  if (function == menuSt.functionRead) {
    SPI_mumbRepeat = 0;
    return 0;
  }
  if (++SPI_mumbRepeat < SPI_str.maxRepeat) return 1;
  SPI_mumbRepeat = 0;
  link_failed();
}
