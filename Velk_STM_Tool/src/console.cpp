#include "console.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "exit_codes.h"
#include "recorder.h"

namespace {

bool is_space(int c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

constexpr size_t kNumberEntrySize = 32;  // a longer word is no number the stand asks for

// The whole word, by its length: a NUL byte inside it (piped input can carry
// one) must not end the number early.
std::optional<long> parse_number(std::string_view word) {
  auto digits = word.substr(!word.empty() && (word[0] == '+' || word[0] == '-'));
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  return std::strtol(word.data(), nullptr, 10);
}

}  // namespace

size_t console_readWord(char* read, size_t size) {
  std::fflush(stdout);  // the question is on screen before the program waits
  int c = std::getchar();
  while (c != EOF && is_space(c)) c = std::getchar();
  if (c == EOF) {
    std::printf("\nОшибка: ввод оператора закрыт, работа программы завершена.\n");
    record_stopping(pass_end::input_closed);
    std::exit(EXIT_INPUT_CLOSED);
  }
  size_t length = 0;
  for (; c != EOF && !is_space(c); c = std::getchar(), ++length)
    if (length < size - 1) read[length] = static_cast<char>(c);
  read[std::min(length, size - 1)] = '\0';
  return length;
}

std::optional<long> console_readNumber() {
  char read[kNumberEntrySize];
  size_t length = console_readWord(read, sizeof read);
  return length < sizeof read ? parse_number({read, length}) : std::nullopt;
}
