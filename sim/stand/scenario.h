// The scenario of a simulated stand: the shield on it, its faults, and how one
// run of a program goes (clock, trace, what the machine allows). One table
// names every key with its values, default and help; the file reader and
// writer, the environment reader, the launcher's options and --help, and the
// test builder all come from it, so a key is added in one place and every
// reader refuses a misspelt one the same way.
//
// Two scopes:
//   lasting  the shield's state, kept in the working directory's shield.state
//            ("key=value" lines, '#' comments) and shared by every program;
//   run      settings of one run, passed in the environment as VELK_SIM_<KEY>
//            (upper case, '.' and '-' as '_'): VELK_SIM_SPEED, VELK_SIM_TRACE...
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "board/board.h"
#include "shield/shield.h"

namespace sim {

// How much of the peripherals the library can map, as on a Pi:
// full (root), gpio_only (/dev/gpiomem without root: no SPI0), none.
enum class Mapping : uint8_t { full, gpio_only, none };

struct RunSettings {
  double speed = 0.0;          // 0 = deterministic turn-taking, else real pace times speed
  std::string trace_dir;       // where each program writes its trace; empty = no trace
  Mapping mapping = Mapping::full;
  bool fail_threads = false;   // thread creation fails
};

struct Scenario {
  ShieldState shield;
  RunSettings run;
  BoardStart board_start = BoardStart::power_up;
};

enum class KeyScope : uint8_t { lasting, run };

struct ScenarioKey {
  std::string_view name;    // as written in the file ("link.fault")
  std::string_view values;  // what it takes, for help and messages ("0..255")
  std::string_view help;
  KeyScope scope;
  // Sets the key from its text form; false with `why` set when the text is not one of `values`.
  bool (*parse)(Scenario&, std::string_view text, std::string& why);
  std::string (*print)(const Scenario&);
};

std::span<const ScenarioKey> scenario_keys();
const ScenarioKey* scenario_key(std::string_view name);

// Sets one key by name; false with `error` ("unknown key ..." or the value's fault).
bool scenario_set(Scenario& s, std::string_view name, std::string_view text, std::string& error);

// The lasting keys as the file holds them, every key on its own line, in table order.
std::string scenario_text(const Scenario& s);

// Applies the lines of a scenario file over `s`. `where` names the source in
// messages; an error names the line: "<where>, line 3: unknown key "colour"".
// Lines end in LF or CR LF; a key may appear once per file.
bool scenario_parse(std::string_view text, const std::string& where, Scenario& s, std::string& error);

// Decimal digits only, leading zeros of any length allowed, at most `max`.
bool decimal_value(std::string_view text, uint64_t max, uint64_t& out);

// `text` as a message shows what it was given: control bytes and NUL escaped
// (\x1b), at most 60 characters and then "...", so that whatever was given,
// the message stays one readable line.
std::string printable(std::string_view text);

// The environment name of a run key ("trace" -> "VELK_SIM_TRACE").
std::string scenario_env_name(std::string_view key);

// Applies every VELK_SIM_<KEY> of the run keys present in the environment.
bool scenario_from_environment(Scenario& s, std::string& error);

// Names of enumerations in the file form.
std::string_view edition_name(Edition e);
std::string_view link_fault_name(LinkFault f);

}  // namespace sim
