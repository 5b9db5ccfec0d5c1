#include "stand/scenario.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <type_traits>

#include "time/clock.h"

namespace sim {
namespace {

template <typename E>
struct Named {
  E value;
  std::string_view name;
};

constexpr Named<Edition> kEditions[] = {{Edition::general, "general"}, {Edition::kordent, "kordent"}};

constexpr Named<LinkFault> kLinkFaults[] = {
    {LinkFault::none, "none"},       {LinkFault::silent, "silent"},
    {LinkFault::garbled, "garbled"}, {LinkFault::wrong_code, "wrong-code"},
    {LinkFault::late, "late"},       {LinkFault::wrong_address, "wrong-address"},
    {LinkFault::dies, "dies"},
};

constexpr Named<AudioFault> kAudioFaults[] = {{AudioFault::healthy, "healthy"},
                                              {AudioFault::dead, "dead"},
                                              {AudioFault::weak, "weak"},
                                              {AudioFault::distorted, "distorted"}};

constexpr Named<BootFault> kBootFaults[] = {{BootFault::none, "none"},
                                            {BootFault::silent, "silent"},
                                            {BootFault::garbled, "garbled"},
                                            {BootFault::refuse, "refuse"}};

constexpr Named<BootProgram> kBootPrograms[] = {{BootProgram::bootloader, "bootloader"},
                                                {BootProgram::trojan, "trojan"}};

constexpr Named<Mapping> kMappings[] = {
    {Mapping::full, "full"}, {Mapping::gpio_only, "gpio-only"}, {Mapping::none, "none"}};

constexpr Named<BoardStart> kBoardStarts[] = {{BoardStart::power_up, "power-up"},
                                              {BoardStart::adc_aborted, "adc-aborted"},
                                              {BoardStart::flasher_left, "flasher-left"}};

constexpr Named<bool> kThreadModes[] = {{false, "ok"}, {true, "fail"}};

constexpr Named<Stuck> kStuck[] = {{Stuck::none, "ok"}, {Stuck::on, "stuck-on"}, {Stuck::off, "stuck-off"}};

constexpr Named<UploadFault> kUploadFaults[] = {
    {UploadFault::none, "none"}, {UploadFault::missing, "missing"}, {UploadFault::dies, "dies"}};

constexpr Named<StlinkTool> kStlinkTools[] = {{StlinkTool::stand_in, "stand-in"}, {StlinkTool::debian, "debian"}};

constexpr Named<StlinkFault> kStlinkFaults[] = {
    {StlinkFault::none, "none"},
    {StlinkFault::error_words, "error-words"},
    {StlinkFault::no_programmer, "no-programmer"},
    {StlinkFault::missing, "missing"},
    {StlinkFault::killed, "killed"},
    {StlinkFault::no_effect, "no-effect"},
};

constexpr Named<bool> kPresence[] = {{false, "present"}, {true, "missing"}};

std::string quote_value(std::string_view text) { return "\"" + printable(text) + "\""; }

bool parse_hex(std::string_view text, uint64_t max, uint64_t& out) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  if (text.empty() || text.size() > 16) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, 16);
  return ec == std::errc{} && end == text.data() + text.size() && out <= max;
}

// A function code: decimal, or hexadecimal with 0x as on the wire dumps.
bool parse_code(std::string_view text, uint64_t& out) {
  return text.starts_with("0x") || text.starts_with("0X") ? parse_hex(text, 0xFF, out) : decimal_value(text, 0xFF, out);
}

template <typename T>
T& field(Scenario& s, T ShieldState::*f) {
  return s.shield.*f;
}
template <typename T>
T& field(Scenario& s, T RunSettings::*f) {
  return s.run.*f;
}
template <typename T>
T& field(Scenario& s, T Scenario::*f) {
  return s.*f;
}
template <typename T>
const T& field(const Scenario& s, T Scenario::*f) {
  return s.*f;
}
template <typename T>
const T& field(const Scenario& s, T ShieldState::*f) {
  return s.shield.*f;
}
template <typename T>
const T& field(const Scenario& s, T RunSettings::*f) {
  return s.run.*f;
}


template <auto Field, uint64_t Max>
constexpr auto decimal_parse = [](Scenario& s, std::string_view text, std::string& why) {
  uint64_t v = 0;
  if (!decimal_value(text, Max, v)) {
    why = quote_value(text) + " is not a decimal number in 0.." + std::to_string(Max);
    return false;
  }
  using T = std::remove_reference_t<decltype(field(s, Field))>;
  field(s, Field) = static_cast<T>(v);
  return true;
};

template <auto Field>
constexpr auto decimal_print = [](const Scenario& s) { return std::to_string(+field(s, Field)); };

template <auto Field, const auto& Names>
constexpr auto enum_parse = [](Scenario& s, std::string_view text, std::string& why) {
  for (auto& n : Names)
    if (n.name == text) return field(s, Field) = n.value, true;
  why = quote_value(text) + " is none of";
  for (auto& n : Names) why += " " + std::string(n.name);
  return false;
};

template <typename E, size_t N>
std::string_view name_of(const Named<E> (&names)[N], E value) {
  for (auto& n : names)
    if (n.value == value) return n.name;
  return names[0].name;
}

template <auto Field, const auto& Names>
constexpr auto enum_print = [](const Scenario& s) { return std::string(name_of(Names, field(s, Field))); };

bool parse_id(Scenario& s, std::string_view text, std::string& why) {
  uint32_t words[3];
  std::string_view rest = text;
  for (int i = 0; i < 3; ++i) {
    auto comma = rest.find(',');
    auto word = rest.substr(0, comma);
    uint64_t v = 0;
    if ((i < 2) == (comma == std::string_view::npos) || !parse_hex(word, 0xFFFFFFFF, v)) {
      why = quote_value(text) + " is not three hexadecimal words W0,W1,W2 of up to 8 digits each";
      return false;
    }
    words[i] = static_cast<uint32_t>(v);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
  }
  std::copy(words, words + 3, s.shield.id);
  return true;
}

std::string print_id(const Scenario& s) {
  char text[32];
  std::snprintf(text, sizeof text, "%08x,%08x,%08x", s.shield.id[0], s.shield.id[1], s.shield.id[2]);
  return text;
}

template <auto Field>
constexpr auto code_parse = [](Scenario& s, std::string_view text, std::string& why) {
  uint64_t v = 0;
  if (!parse_code(text, v)) {
    why = quote_value(text) + " is not a function code 0..255 or 0x00..0xff";
    return false;
  }
  field(s, Field) = static_cast<uint8_t>(v);
  return true;
};

template <auto Field>
constexpr auto code_print = [](const Scenario& s) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", field(s, Field));
  return std::string(text);
};

// An offset: decimal digits, with a minus sign for a negative one.
template <auto Field, uint64_t Max>
constexpr auto signed_parse = [](Scenario& s, std::string_view text, std::string& why) {
  bool negative = text.starts_with('-');
  uint64_t v = 0;
  if (!decimal_value(negative ? text.substr(1) : text, Max, v)) {
    why = quote_value(text) + " is not a decimal number in -" + std::to_string(Max) + ".." + std::to_string(Max);
    return false;
  }
  field(s, Field) = negative ? -static_cast<int32_t>(v) : static_cast<int32_t>(v);
  return true;
};

// Two relay channels "A,B" (0..3, different), or none.
bool parse_together(Scenario& s, std::string_view text, std::string& why) {
  if (text == "none") {
    s.shield.relays_together = 0;
    return true;
  }
  if (text.size() != 3 || text[1] != ',' || text[0] < '0' || text[0] > '3' || text[2] < '0' || text[2] > '3' ||
      text[0] == text[2]) {
    why = quote_value(text) + " is neither none nor two different relay channels A,B of 0..3";
    return false;
  }
  s.shield.relays_together = static_cast<uint8_t>(1u << (text[0] - '0') | 1u << (text[2] - '0'));
  return true;
};

std::string print_together(const Scenario& s) {
  std::string out;
  for (char channel = '0'; channel <= '3'; ++channel)
    if (s.shield.relays_together >> (channel - '0') & 1)
      out += out.empty() ? std::string(1, channel) : std::string{',', channel};
  return out.empty() ? "none" : out;
}

// The dump: the firmware version it installs, or a word for one that holds no program or is not there.
bool parse_dump(Scenario& s, std::string_view text, std::string& why) {
  uint64_t v = 0;
  if (text == "garbage" || text == "missing") {
    s.shield.dump = text == "garbage" ? DumpKind::garbage : DumpKind::missing;
  } else if (decimal_value(text, 65535, v)) {
    s.shield.dump = DumpKind::firmware;
    s.shield.dump_version = static_cast<uint16_t>(v);
  } else {
    why = quote_value(text) + " is neither a firmware version 0..65535 nor garbage or missing";
    return false;
  }
  return true;
}

std::string print_dump(const Scenario& s) {
  auto kind = s.shield.dump;
  return kind == DumpKind::garbage   ? "garbage"
         : kind == DumpKind::missing ? "missing"
                                     : std::to_string(s.shield.dump_version);
}

bool parse_speed(Scenario& s, std::string_view text, std::string& why) {
  // Plain decimal notation only: no sign, exponent, blanks, inf or nan.
  auto dot = text.find('.');
  auto whole = text.substr(0, dot);
  auto fraction = dot == std::string_view::npos ? std::string_view("0") : text.substr(dot + 1);
  uint64_t unused = 0;
  bool plain = !whole.empty() && whole.size() <= 6 && !fraction.empty() && fraction.size() <= 6 &&
               decimal_value(whole, UINT64_MAX, unused) && decimal_value(fraction, UINT64_MAX, unused);
  double v = plain ? std::strtod(std::string(text).c_str(), nullptr) : -1.0;
  if (!plain || (v != 0.0 && (v < kMinSpeed || v > kMaxSpeed))) {
    why = quote_value(text) + " is not 0 (as fast as possible) or a pace from 0.1 to 50";
    return false;
  }
  s.run.speed = v;
  return true;
}

std::string print_speed(const Scenario& s) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", s.run.speed);
  return text;
}

bool parse_trace(Scenario& s, std::string_view text, std::string&) {
  s.run.trace_dir = text;
  return true;
}

std::string print_trace(const Scenario& s) { return s.run.trace_dir; }

using S = ShieldState;
using R = RunSettings;

constexpr ScenarioKey kKeys[] = {
    {"number", "0..255", "the shield's number, as its firmware keeps it", KeyScope::lasting,
     decimal_parse<&S::number, 255>, decimal_print<&S::number>},
    {"edition", "general|kordent", "the shield's edition: which nominal line values it gives", KeyScope::lasting,
     enum_parse<&S::edition, kEditions>, enum_print<&S::edition, kEditions>},
    {"firmware", "0..65535", "the version of the firmware in the shield's flash", KeyScope::lasting,
     decimal_parse<&S::firmware, 65535>, decimal_print<&S::firmware>},
    {"id", "W0,W1,W2", "the 96-bit unique identifier, three hexadecimal words", KeyScope::lasting, parse_id,
     print_id},
    {"link.fault", "none|silent|garbled|wrong-code|late|wrong-address|dies",
     "a fault of the link's replies: no reply, a bad checksum, another code, answered late, another "
     "address, falls silent",
     KeyScope::lasting, enum_parse<&S::link_fault, kLinkFaults>, enum_print<&S::link_fault, kLinkFaults>},
    {"link.count", "0..4294967295", "for late: receipts left unanswered; for dies: replies before silence",
     KeyScope::lasting, decimal_parse<&S::link_fault_count, 0xFFFFFFFF>, decimal_print<&S::link_fault_count>},
    {"link.code", "0..255|0x00..0xff", "the function code the link fault hits; 0 = every code", KeyScope::lasting,
     code_parse<&S::link_fault_code>, code_print<&S::link_fault_code>},
    {"input.ek", "ok|stuck-on|stuck-off", "the Ek input: stuck asserted or never asserted", KeyScope::lasting,
     enum_parse<&S::input_ek, kStuck>, enum_print<&S::input_ek, kStuck>},
    {"input.s0", "ok|stuck-on|stuck-off", "the S0 input", KeyScope::lasting, enum_parse<&S::input_s0, kStuck>,
     enum_print<&S::input_s0, kStuck>},
    {"input.s1", "ok|stuck-on|stuck-off", "the S1 input", KeyScope::lasting, enum_parse<&S::input_s1, kStuck>,
     enum_print<&S::input_s1, kStuck>},
    {"input.eks", "ok|stuck-on|stuck-off", "the EkS input", KeyScope::lasting, enum_parse<&S::input_eks, kStuck>,
     enum_print<&S::input_eks, kStuck>},
    {"input.door", "ok|stuck-on|stuck-off", "the door-open detector input", KeyScope::lasting,
     enum_parse<&S::input_door, kStuck>, enum_print<&S::input_door, kStuck>},
    {"relay.rel0", "ok|stuck-on|stuck-off", "relay channel 0 as read back: stuck on or never switching",
     KeyScope::lasting, enum_parse<&S::relay_rel0, kStuck>, enum_print<&S::relay_rel0, kStuck>},
    {"relay.rel1", "ok|stuck-on|stuck-off", "relay channel 1", KeyScope::lasting, enum_parse<&S::relay_rel1, kStuck>,
     enum_print<&S::relay_rel1, kStuck>},
    {"relay.rel2", "ok|stuck-on|stuck-off", "relay channel 2", KeyScope::lasting, enum_parse<&S::relay_rel2, kStuck>,
     enum_print<&S::relay_rel2, kStuck>},
    {"relay.rel3", "ok|stuck-on|stuck-off", "relay channel 3", KeyScope::lasting, enum_parse<&S::relay_rel3, kStuck>,
     enum_print<&S::relay_rel3, kStuck>},
    {"relay.line", "ok|stuck-on|stuck-off", "the line relay as read back (the ADC's sources are not affected)",
     KeyScope::lasting, enum_parse<&S::relay_line, kStuck>, enum_print<&S::relay_line, kStuck>},
    {"relay.together", "none|A,B", "two relay channels (0..3) that switch together", KeyScope::lasting, parse_together,
     print_together},
    {"adc.br", "-65535..65535", "offset of the BR source's reading from its nominal value, in ADC counts",
     KeyScope::lasting, signed_parse<&S::adc_br, 65535>, decimal_print<&S::adc_br>},
    {"adc.imit", "-65535..65535", "offset of the IMIT source's reading", KeyScope::lasting,
     signed_parse<&S::adc_imit, 65535>, decimal_print<&S::adc_imit>},
    {"adc.od", "-65535..65535", "offset of the OD source's reading", KeyScope::lasting, signed_parse<&S::adc_od, 65535>,
     decimal_print<&S::adc_od>},
    {"lose.code", "0..255|0x00..0xff", "the function code whose reply is lost (0xe2 inputs, 0xe4 line value)",
     KeyScope::lasting, code_parse<&S::lose_code>, code_print<&S::lose_code>},
    {"lose.at", "0..4294967295", "which request of that code (from 1) gets no reply; 0 = none", KeyScope::lasting,
     decimal_parse<&S::lose_at, 0xFFFFFFFF>, decimal_print<&S::lose_at>},
    {"lose.count", "0..4294967295", "how many of its requests in a row, resends included, get no reply",
     KeyScope::lasting, decimal_parse<&S::lose_count, 0xFFFFFFFF>, decimal_print<&S::lose_count>},
    {"upload.fault", "none|missing|dies", "the uploader ./Sendrik/Sendrik: not there, or killed early",
     KeyScope::lasting, enum_parse<&S::upload_fault, kUploadFaults>, enum_print<&S::upload_fault, kUploadFaults>},
    {"upload.count", "0..4294967295", "for dies: the lines it reads before it is killed", KeyScope::lasting,
     decimal_parse<&S::upload_count, 0xFFFFFFFF>, decimal_print<&S::upload_count>},
    {"stlink.tool", "stand-in|debian",
     "the ST-Link tool ./proj/stlink-repo/build/Release/st-flash: the stand's stand-in, or Debian's st-flash "
     "(stlink-tools), which finds no programmer here",
     KeyScope::lasting, enum_parse<&S::stlink_tool, kStlinkTools>, enum_print<&S::stlink_tool, kStlinkTools>},
    {"stlink.fault", "none|error-words|no-programmer|missing|killed|no-effect",
     "a fault of the ST-Link tool: errors in its output, no programmer found, not there, killed before "
     "writing, success reported but nothing written (Debian's tool: only missing)",
     KeyScope::lasting, enum_parse<&S::stlink_fault, kStlinkFaults>, enum_print<&S::stlink_fault, kStlinkFaults>},
    {"stlink.count", "0..4294967295", "the runs of the tool the fault hits, from the stand's first; 0 = every run",
     KeyScope::lasting, decimal_parse<&S::stlink_count, 0xFFFFFFFF>, decimal_print<&S::stlink_count>},
    {"stlink.runs", "0..4294967295", "the runs of the stand-in so far (it counts them; stlink.count is measured on it)",
     KeyScope::lasting, decimal_parse<&S::stlink_runs, 0xFFFFFFFF>, decimal_print<&S::stlink_runs>},
    {"dump", "0..65535|garbage|missing",
     "the reference dump home/pi/Dump.bin: the firmware version it installs, a file holding no program, or none",
     KeyScope::lasting, parse_dump, print_dump},
    {"flasher", "present|missing", "./Velk_Flasher, which the stand program starts through sudo", KeyScope::lasting,
     enum_parse<&S::flasher_missing, kPresence>, enum_print<&S::flasher_missing, kPresence>},
    {"boot.version", "0..4294967295", "the version the shield's resident bootloader reports", KeyScope::lasting,
     decimal_parse<&S::boot_version, 0xFFFFFFFF>, decimal_print<&S::boot_version>},
    {"boot.fault", "none|silent|garbled|refuse",
     "a fault of the bootloader protocol: no reply, a bad checksum, the command refused", KeyScope::lasting,
     enum_parse<&S::boot_fault, kBootFaults>, enum_print<&S::boot_fault, kBootFaults>},
    {"boot.program", "bootloader|trojan", "the program whose replies the boot fault hits", KeyScope::lasting,
     enum_parse<&S::boot_program, kBootPrograms>, enum_print<&S::boot_program, kBootPrograms>},
    {"boot.code", "0..255|0x00..0xff",
     "the command the boot fault hits (0x01 presence, 0x64 version, 0x04 erase, 0x02 programming start, 0x05 "
     "image word, 0x06 programming end); 0 = every command",
     KeyScope::lasting, code_parse<&S::boot_code>, code_print<&S::boot_code>},
    {"boot.skip", "0..4294967295", "requests the boot fault targets that are answered first, counted from the start",
     KeyScope::lasting, decimal_parse<&S::boot_skip, 0xFFFFFFFF>, decimal_print<&S::boot_skip>},
    {"boot.count", "0..4294967295", "requests the boot fault then hits; 0 = every one after", KeyScope::lasting,
     decimal_parse<&S::boot_count, 0xFFFFFFFF>, decimal_print<&S::boot_count>},
    {"audio", "healthy|dead|weak|distorted",
     "the shield's audio path: the test tone comes back as it should, not at all, too quiet, or clipped",
     KeyScope::lasting, enum_parse<&S::audio, kAudioFaults>, enum_print<&S::audio, kAudioFaults>},
    {"audio.player", "present|missing", "aplay, which plays the test tone: missing, the shell cannot find it",
     KeyScope::lasting, enum_parse<&S::player_missing, kPresence>, enum_print<&S::player_missing, kPresence>},
    {"audio.recorder", "present|missing", "arecord, which records the shield's audio: missing, the shell cannot find it",
     KeyScope::lasting, enum_parse<&S::recorder_missing, kPresence>, enum_print<&S::recorder_missing, kPresence>},
    {"board.start", "power-up|adc-aborted|flasher-left",
     "how a fresh working directory's GPIO lines stand before the first program: as after power-on, or as "
     "left by an aborted ADC check or by the flasher",
     KeyScope::lasting, enum_parse<&Scenario::board_start, kBoardStarts>,
     enum_print<&Scenario::board_start, kBoardStarts>},
    {"speed", "0|0.1..50", "0 = as fast as possible, deterministic; else real pace times this", KeyScope::run,
     parse_speed, print_speed},
    {"trace", "DIR", "write each program's waveforms (NAME.vcd) and text log (NAME.log) into DIR",
     KeyScope::run, parse_trace, print_trace},
    {"mapping", "full|gpio-only|none",
     "what the peripheral library can map: all, GPIO only (as without root), nothing (no /dev/mem)", KeyScope::run,
     enum_parse<&R::mapping, kMappings>, enum_print<&R::mapping, kMappings>},
    {"threads", "ok|fail", "fail: creating a thread fails", KeyScope::run, enum_parse<&R::fail_threads, kThreadModes>,
     enum_print<&R::fail_threads, kThreadModes>},
};

}  // namespace

std::span<const ScenarioKey> scenario_keys() { return kKeys; }

const ScenarioKey* scenario_key(std::string_view name) {
  for (auto& k : kKeys)
    if (k.name == name) return &k;
  return nullptr;
}

bool scenario_set(Scenario& s, std::string_view name, std::string_view text, std::string& error) {
  const ScenarioKey* key = scenario_key(name);
  if (!key) {
    error = "unknown key " + quote_value(name) + " (velk-stand --help lists the keys)";
    return false;
  }
  std::string why;
  if (key->parse(s, text, why)) return true;
  error = std::string(name) + ": " + why;
  return false;
}

std::string scenario_text(const Scenario& s) {
  std::string out = "# the shield on the simulated stand (velk-stand --help lists the keys)\n";
  for (auto& k : kKeys)
    if (k.scope == KeyScope::lasting) out += std::string(k.name) + "=" + k.print(s) + "\n";
  return out;
}

bool scenario_parse(std::string_view text, const std::string& where, Scenario& s, std::string& error) {
  std::set<std::string_view> seen;
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    auto eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.starts_with('#')) continue;
    auto fail = [&](const std::string& what) {
      error = where + ", line " + std::to_string(number) + ": " + what;
      return false;
    };
    auto eq = line.find('=');
    if (eq == std::string_view::npos) return fail("expected key=value, found " + quote_value(line));
    auto name = line.substr(0, eq);
    const ScenarioKey* key = scenario_key(name);
    if (!key || key->scope != KeyScope::lasting)
      return fail("unknown key " + quote_value(name) + " (velk-stand --help lists the keys)");
    if (!seen.insert(key->name).second) return fail(quote_value(name) + " is given twice");
    std::string why;
    if (!scenario_set(s, name, line.substr(eq + 1), why)) return fail(why);
  }
  return true;
}

// Decimal digits only: no sign, no blanks, no base prefix; leading zeros are
// fine ("011" is eleven, however many zeros lead), as everywhere on the stand.
bool decimal_value(std::string_view text, uint64_t max, uint64_t& out) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc{} && end == text.data() + text.size() && out <= max;
}

std::string printable(std::string_view text) {
  constexpr size_t kShown = 60;  // characters
  std::string out;
  size_t shown = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    bool continuation = (byte & 0xC0) == 0x80;  // of a UTF-8 character already counted
    if (!continuation && shown++ == kShown) return out + "...";
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string scenario_env_name(std::string_view key) {
  std::string name = "VELK_SIM_";
  for (char c : key) name += c == '.' || c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

bool scenario_from_environment(Scenario& s, std::string& error) {
  for (auto& k : kKeys) {
    if (k.scope != KeyScope::run) continue;
    std::string env = scenario_env_name(k.name);
    const char* value = std::getenv(env.c_str());
    if (!value) continue;
    std::string why;
    if (!k.parse(s, value, why)) {
      error = env + ": " + why;
      return false;
    }
  }
  return true;
}

std::string_view edition_name(Edition e) { return name_of(kEditions, e); }

std::string_view link_fault_name(LinkFault f) { return name_of(kLinkFaults, f); }

}  // namespace sim
