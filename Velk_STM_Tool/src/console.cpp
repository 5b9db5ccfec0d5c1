#include "console.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "exit_codes.h"

namespace {

bool is_space(int c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

size_t console_readWord(char* read, size_t size) {
  std::fflush(stdout);  // the question is on screen before the program waits
  int c = std::getchar();
  while (c != EOF && is_space(c)) c = std::getchar();
  if (c == EOF) {
    std::printf("\nОшибка: ввод оператора закрыт, работа программы завершена.\n");
    std::exit(EXIT_INPUT_CLOSED);
  }
  size_t length = 0;
  for (; c != EOF && !is_space(c); c = std::getchar(), ++length)
    if (length < size - 1) read[length] = static_cast<char>(c);
  read[std::min(length, size - 1)] = '\0';
  return length;
}
