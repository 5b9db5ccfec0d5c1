// The scenario file reader against any file: it refuses with the file and the
// line, or what it read is written back in a form that reads the same; one
// key set from the command line or the environment reads back as it prints.
#include "fuzz.h"
#include "stand/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  sim::Scenario read;
  if (sim::scenario_parse(text, "shield.state", read, error)) {
    std::string written = sim::scenario_text(read);
    sim::Scenario again;
    FUZZ_CHECK(sim::scenario_parse(written, "written", again, error) && sim::scenario_text(again) == written);
  } else {
    FUZZ_CHECK(error.starts_with("shield.state, line "));
  }
  auto eq = text.find('=');
  const sim::ScenarioKey* key = sim::scenario_key(text.substr(0, eq));
  sim::Scenario set;
  if (eq == std::string_view::npos || !key || !sim::scenario_set(set, key->name, text.substr(eq + 1), error)) return 0;
  std::string printed = key->print(set);
  sim::Scenario again;
  FUZZ_CHECK(sim::scenario_set(again, key->name, printed, error) && key->print(again) == printed);
  return 0;
}
