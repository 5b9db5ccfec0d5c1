#include "console.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "exit_codes.h"

namespace {

bool is_space(int c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

void console_readWord(char (&read)[_ANSWER_SIZE]) {
  std::fflush(stdout);  // the question is on screen before the program waits
  int c = std::getchar();
  while (c != EOF && is_space(c)) c = std::getchar();
  if (c == EOF) {
    std::printf("\nОшибка: ввод оператора закрыт, работа программы завершена.\n");
    std::exit(EXIT_INPUT_CLOSED);
  }
  size_t n = 0;
  for (; c != EOF && !is_space(c); c = std::getchar())
    if (n < _ANSWER_SIZE - 1) read[n++] = static_cast<char>(c);
  read[n] = '\0';
}
