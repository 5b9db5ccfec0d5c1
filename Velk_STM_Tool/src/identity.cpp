#include "identity.h"

#include <bcm2835.h>

#include <cstdio>

#include "console.h"
#include "link_codes.h"
#include "recorder.h"
#include "records.h"
#include "spi.h"

namespace {

constexpr unsigned kShieldReadWaitMs = 1000;
constexpr unsigned kIdReadWaitMs = 300;
constexpr unsigned kShieldWriteWaitMs = 2000;
constexpr unsigned kPollMs = 10;

void read_identifier() {
  SPI_command_IdRead_1();
  bcm2835_delay(kIdReadWaitMs);
  SPI_command_IdRead_2();
  bcm2835_delay(kIdReadWaitMs);
  SPI_command_IdRead_3();
  bcm2835_delay(kIdReadWaitMs);
  // The replies drift behind the fixed waits (a cycle is a little over 300 ms):
  // give the last one at most one more cycle, so the line shows this shield's id.
  for (unsigned waited = 0; !shieldSt.idAnswered[2] && waited < _SPI_REPLY_WAIT_MS; waited += kPollMs)
    bcm2835_delay(kPollMs);
}

}  // namespace

bool shield_idComplete() { return shieldSt.idAnswered[0] && shieldSt.idAnswered[1] && shieldSt.idAnswered[2]; }

void menu_block_ReadShieldOnly() {
  shieldSt.firmware = 0;
  shieldSt.shield = 0;
  for (auto& answered : shieldSt.idAnswered) answered = false;
  SPI_command_ShieldRead();
  bcm2835_delay(kShieldReadWaitMs);
  if (shieldSt.firmware >= _FIRMWARE_WITH_ID) read_identifier();
  std::printf("Параметры шилда\n---------------\n");
  std::printf("Firmware : %d\n", shieldSt.firmware.load());
  std::printf("Shield   : %d\n", shieldSt.shield.load());
  if (shieldSt.firmware >= _FIRMWARE_WITH_ID)
    std::printf("Shield ID: %x%x%x\n\n", shieldSt.id[0].load(), shieldSt.id[1].load(), shieldSt.id[2].load());
  record_shieldRead();
}

void menu_block_ChangeShield() {
  menu_block_ReadShieldOnly();
  if (shieldSt.firmware <= _FIRMWARE_OUTDATED_MAX) {
    std::printf("ERROR: Прошивка не позволяет менять номер shield. Обновите firmware.\n");
    return;
  }
  std::printf("Новый номер shield:\n");
  auto number = console_readNumber();
  if (!number) {
    std::printf("ERROR: Номер шилда должен быть числом.\n");
    return;
  }
  if (*number < _SHIELD_NUMBER_MIN || *number > _SHIELD_NUMBER_MAX) {
    std::printf("ERROR: Такого шилда не существует.\n");
    return;
  }
  auto newShield = static_cast<uint8_t>(*number);
  SPI_command_ShieldWrite(newShield);
  bcm2835_delay(kShieldWriteWaitMs);
  // Cleared only while it still holds the acknowledgement: a link failure mark
  // the exchange thread sets meanwhile must stay for the next pass to see.
  uint8_t acknowledged = _FUNC_SHIELDWRITE;
  if (menuSt.functionRead.compare_exchange_strong(acknowledged, 0)) {
    std::printf("Номер шилда изменен!\n");
  } else {
    std::printf("ERROR: Проблема записи шилда.\n");
  }
}
