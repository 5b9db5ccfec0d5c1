#include "flashing.h"

#include <bcm2835.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "child.h"
#include "exit_codes.h"
#include "gpio.h"
#include "prompts.h"
#include "recorder.h"

namespace {

constexpr const char* kMissingFiles = "Error: Отсутствую файлы для прошивки шилда\n";
constexpr const char* kUnderway = "Идет прошивка, ожидайте...\n";
constexpr std::string_view kErrorWords[] = {"ERROR", "Invalid"};
constexpr size_t kLongestErrorWord = 7;

[[noreturn]] void missing_files() {
  record_stopping(pass_end::tool_missing);
  std::printf("%s", kMissingFiles);
  std::exit(EXIT_STAND_DONE);
}

// The end of a word seen so far holds an error word.
bool ends_with_error_word(std::string_view tail) {
  for (auto word : kErrorWords)
    if (tail.ends_with(word)) return true;
  return false;
}

// One run of the tool; the count of errors in it. A run that did not end
// well (a non-zero status, a signal) is an error even when no word says so.
int stlink_run() {
  bcm2835_gpio_write(PIN_STM_INT, LOW);
  bcm2835_gpio_write(PIN_RST, HIGH);
  bcm2835_delay(_STLINK_RELEASE_MS);
  ShellCommand tool(_STLINK_COMMAND, ShellCommand::Pipe::from_child);
  if (!tool.started()) missing_files();
  std::printf("%s", kUnderway);
  int error = stlink_countErrorWords(tool.stream());
  ChildEnd end = child_end(tool.wait());
  GPIO_hardReset();
  GPIO_hardReset();
  record_flashing("st-link", error == 0 && end.code == 0, error, end);
  if (end.not_started) missing_files();
  if (end.signal)
    std::printf("st-flash остановлен сигналом %d\n", end.signal);
  else if (end.code != 0)
    std::printf("Код завершения st-flash %d\n", end.code);
  return end.code != 0 && error == 0 ? 1 : error;
}

}  // namespace

int stlink_countErrorWords(std::FILE* output) {
  int error = 0;
  char tail[kLongestErrorWord] = {};  // the word's last characters
  size_t length = 0;
  bool found = false;
  for (int c = std::getc(output);; c = std::getc(output)) {
    if (c == EOF || std::isspace(c)) {
      if (found) ++error;
      if (c == EOF) return error;
      length = 0;
      found = false;
      continue;
    }
    if (length == kLongestErrorWord) std::memmove(tail, tail + 1, --length);
    tail[length++] = static_cast<char>(c);
    found = found || ends_with_error_word({tail, length});
  }
}

uint8_t menu_block_stlink_update() {
  for (;;) {
    int error = stlink_run();
    if (error == 0) {
      std::printf("\nПрошивка выполнена успешно\n\n");
      return 1;
    }
    std::printf("Количество ошибок: %d\n", error);
    std::printf(
        "Во время прошивки возникли ошибки:\n1) Проверьте подключение STLink;\n2) Попробуйте повторно подключить "
        "STLink и повторить;\n3) Проверьте наличие Dump.bin в папке /home/pi;\n4) Если советы выше не помогли - "
        "проблема в шилде (микроконтроллер)\n\n");
    if (!warning_question_yn("Повторить прошивку или продолжить без прошивки? (y/n)\n")) return 0;
  }
}

void menu_block_FirmwareUpgrade() {
  ShellCommand flasher(_FLASHER_COMMAND, ShellCommand::Pipe::from_child);
  if (!flasher.started()) missing_files();
  std::printf("%s", kUnderway);
  // Its log is read and dropped: a flasher whose pipe filled or closed would
  // stop half-way through the shield's flash.
  char drained[BUFSIZ];
  while (std::fread(drained, 1, sizeof drained, flasher.stream()) > 0) {
  }
  ChildEnd end = child_end(flasher.wait());
  record_flashing("flasher", end.code == _FLASHER_SUCCESS, 0, end);
  std::printf("Код завершения flasher %d\n", end.code);
  if (end.not_started) missing_files();
  if (end.signal) std::printf("Flasher остановлен сигналом %d\n", end.signal);
  if (end.code == _FLASHER_NO_BOOTLOADER) {
    std::printf(
        "Error: Проблема с обновлением по SPI:\n       1) Проверьте наличие бутлоадера;\n       2) Проверьте "
        "наличие наличие reset;\n       3) Проверьте SPI;\n");
    return;
  }
  if (end.code == _FLASHER_SUCCESS) {
    std::printf("Прошивка переписана успешно");
    return;
  }
  if (end.code > _FLASHER_STATUS_MAX && !end.signal) return;
  record_stopping(pass_end::flasher_failed);
  std::printf("Error: Ошибка перезаписи прошивки\n");
  std::exit(EXIT_STAND_DONE);
}
