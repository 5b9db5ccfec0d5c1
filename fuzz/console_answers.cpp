// The operator's prompts and the number entry against any standard input:
// each prompt acts on the first whole word it accepts, judged by its first
// character, and consumes no more than that word; an ended input stops the
// program with its own status; a number is only ever what was typed.
#include <cctype>
#include <sstream>
#include <string>

#include "console.h"
#include "exit_codes.h"
#include "fuzz.h"
#include "prompts.h"
#include "records.h"

namespace {

struct Prompt {
  std::string_view accepts;  // first characters, y and n in either case
  std::string_view ends;     // those of them that end the program
  char (*run)();             // what the prompt did, as the answer that does it
};

constexpr Prompt kPrompts[] = {
    {"yn", "", [] { return (warning_stlinkon(), menu_flag(FLAGSET_STLINKUPDATE)) ? 'y' : 'n'; }},
    {"12", "",
     [] {
       warning_SelectTypeShield();
       bool kordent = shieldSt.type == TYPESGIELD_KORDENT;
       FUZZ_CHECK(stand_ADC.IMIT == (kordent ? ADC_KORDENT_IMIT : ADC_TALVO_IMIT));
       return kordent ? '2' : '1';
     }},
    {"yn", "", [] { return warning_question_yn("?\n") ? 'y' : 'n'; }},
    {"yn", "n", [] { return (warning_continue("?\n"), 'y'); }},
    {"123", "3", [] { return static_cast<char>('0' + warning_continue_break_repeat("?")); }},
};

std::vector<std::string> words_of(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string unread() {
  std::string rest;
  for (int c; (c = std::getchar()) != EOF;) rest += static_cast<char>(c);
  return rest;
}

void number_entry(std::string_view text) {
  std::optional<long> number;
  auto status = fuzz::catch_exit([&] { number = console_readNumber(); });
  auto words = words_of(text);
  FUZZ_CHECK(status == (words.empty() ? std::optional{EXIT_INPUT_CLOSED} : std::nullopt));
  if (words.empty()) return;
  FUZZ_CHECK(words_of(unread()) == std::vector(words.begin() + 1, words.end()));
  if (!number) return;
  std::string typed = words[0];
  if (typed[0] == '+' || typed[0] == '-') typed.erase(0, 1);
  typed.erase(0, std::min(typed.find_first_not_of('0'), typed.size() - 1));
  if (*number > 0 && *number < 100) FUZZ_CHECK(typed == std::to_string(*number));
  FUZZ_CHECK(typed.find_first_not_of("0123456789") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  size_t which = in.byte() % (std::size(kPrompts) + 1);
  fuzz::FedStdin stdin_text(in.rest());
  if (which == std::size(kPrompts)) return number_entry(in.rest()), 0;
  const Prompt& p = kPrompts[which];
  char did = 0;
  auto status = fuzz::catch_exit([&] { did = p.run(); });
  auto words = words_of(in.rest());
  size_t taken = 0;
  char expected = 0;
  for (; taken < words.size() && !expected; ++taken) {
    char first = static_cast<char>(std::tolower(static_cast<unsigned char>(words[taken][0])));
    if (p.accepts.find(first) != std::string_view::npos) expected = first;
  }
  if (!expected) return FUZZ_CHECK(status == EXIT_INPUT_CLOSED), 0;
  if (p.ends.find(expected) != std::string_view::npos)
    FUZZ_CHECK(status == EXIT_STAND_DONE);
  else
    FUZZ_CHECK(!status && did == expected);
  FUZZ_CHECK(words_of(unread()) == std::vector(words.begin() + static_cast<long>(taken), words.end()));
  return 0;
}
