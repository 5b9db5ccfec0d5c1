#include "shield.h"

#include <cstdio>
#include <sstream>

#include "board.h"
#include "shield_firmware.h"
#include "spi0.h"

namespace sim {
namespace {

constexpr uint8_t kRstGpio = 14;
constexpr uint8_t kStmIntGpio = 15;

struct Shield {
  ShieldState state;
  std::string path;
  uint8_t stm_int = 0;
  ShieldFirmware firmware;
};

Shield& shield() {
  static auto* s = new Shield;
  return *s;
}

struct FaultName {
  LinkFault fault;
  const char* name;
};

constexpr FaultName kFaultNames[] = {
    {LinkFault::none, "none"},       {LinkFault::silent, "silent"},
    {LinkFault::garbled, "garbled"}, {LinkFault::wrong_code, "wrong-code"},
    {LinkFault::late, "late"},       {LinkFault::wrong_address, "wrong-address"},
    {LinkFault::dies, "dies"},
};

bool parse_number(const std::string& text, uint32_t max, uint32_t& out) {
  try {
    size_t used = 0;
    unsigned long v = std::stoul(text, &used, 0);
    if (used != text.size() || v > max) return false;
    out = static_cast<uint32_t>(v);
    return true;
  } catch (...) {
    return false;
  }
}

bool parse_ids(const std::string& text, uint32_t (&id)[3]) {
  std::stringstream in(text);
  std::string word;
  for (auto& w : id) {
    if (!std::getline(in, word, ',') || !parse_number("0x" + word, 0xFFFFFFFFu, w)) return false;
  }
  return !std::getline(in, word, ',');
}

bool apply_key(ShieldState& s, const std::string& key, const std::string& value) {
  uint32_t v = 0;
  if (key == "number" && parse_number(value, 255, v)) return s.number = static_cast<uint8_t>(v), true;
  if (key == "firmware" && parse_number(value, 65535, v)) return s.firmware = static_cast<uint16_t>(v), true;
  if (key == "edition" && (value == "general" || value == "kordent"))
    return s.edition = value == "general" ? Edition::general : Edition::kordent, true;
  if (key == "id") return parse_ids(value, s.id);
  if (key == "link_fault") {
    auto f = link_fault_from_name(value);
    if (f) s.link_fault = *f;
    return f.has_value();
  }
  if (key == "link_fault_code" && parse_number(value, 255, v)) return s.link_fault_code = static_cast<uint8_t>(v), true;
  if (key == "link_fault_count" && parse_number(value, 0xFFFFFFFFu, v)) return s.link_fault_count = v, true;
  return false;
}

// Whole and atomic: a program killed half-way never leaves an unreadable shield.
void save_locked() {
  auto& s = shield();
  if (s.path.empty()) return;
  std::string tmp = s.path + ".tmp";
  std::FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) return;
  std::string text = shield_state_text(s.state);
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  if (ok) std::rename(tmp.c_str(), s.path.c_str());
}

}  // namespace

const char* link_fault_name(LinkFault fault) {
  for (auto& f : kFaultNames)
    if (f.fault == fault) return f.name;
  return "none";
}

std::optional<LinkFault> link_fault_from_name(const std::string& name) {
  for (auto& f : kFaultNames)
    if (name == f.name) return f.fault;
  return std::nullopt;
}

std::string shield_state_text(const ShieldState& s) {
  char id[40];
  std::snprintf(id, sizeof id, "%08x,%08x,%08x", s.id[0], s.id[1], s.id[2]);
  std::ostringstream out;
  out << "# the shield on the simulated stand\n"
      << "number=" << unsigned{s.number} << "\n"
      << "edition=" << (s.edition == Edition::general ? "general" : "kordent") << "\n"
      << "firmware=" << s.firmware << "\n"
      << "id=" << id << "\n"
      << "link_fault=" << link_fault_name(s.link_fault) << "\n"
      << "link_fault_code=" << unsigned{s.link_fault_code} << "\n"
      << "link_fault_count=" << s.link_fault_count << "\n";
  return out.str();
}

std::optional<ShieldState> shield_state_parse(const std::string& text, std::string& error) {
  ShieldState s;
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] == '#') continue;
    auto eq = line.find('=');
    if (eq == std::string::npos || !apply_key(s, line.substr(0, eq), line.substr(eq + 1))) {
      error = "line " + std::to_string(n) + ": cannot use \"" + line + "\"";
      return std::nullopt;
    }
  }
  return s;
}

void shield_install(const ShieldState& state, const std::string& state_path) {
  spi0_attach(0, &shield().firmware);
  StandLock lock(stand_mutex());
  shield().state = state;
  shield().path = state_path;
}

ShieldState shield_state() {
  StandLock lock(stand_mutex());
  return shield().state;
}

ShieldState& shield_state_locked(const StandLock&) { return shield().state; }

void shield_set_number_locked(const StandLock&, uint8_t number) {
  shield().state.number = number;
  save_locked();
}

void shield_line_changed_locked(const StandLock& lock, uint8_t gpio, uint8_t level) {
  auto& s = shield();
  if (gpio == kStmIntGpio) s.stm_int = level;
  if (gpio != kRstGpio) return;
  if (level == 0)
    s.firmware.hold_reset(lock);
  else if (s.stm_int == 0)
    s.firmware.start(lock);  // normal start; the bootloader start is not modelled yet
}

uint8_t shield_readback_locked(uint8_t, uint8_t healthy_level) { return healthy_level; }

}  // namespace sim
