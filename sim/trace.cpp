#include "trace.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>

namespace sim {
namespace {

struct TraceState {
  std::vector<LineEvent> lines;
  std::vector<SpiWindow> windows;
};

TraceState& state() {
  static auto* s = new TraceState;
  return *s;
}

struct PinName {
  uint8_t gpio;
  const char* name;
};

constexpr PinName kPinNames[] = {
    {2, "EK_OUT"},   {3, "SEL0_OUT"},  {4, "SEL1_OUT"},  {5, "REL0_IN"},   {6, "REL0_OUT"}, {7, "REL1_IN_CE1"},
    {8, "CE0"},      {9, "MISO"},      {10, "MOSI"},     {11, "SCLK"},     {13, "REL3_IN"}, {14, "RST"},
    {15, "STM_INT"}, {16, "REL2_OUT"}, {17, "BR_IN"},    {21, "REL2_IN"},  {22, "LN_IMIT"}, {23, "LN_OD"},
    {24, "LN_BR"},   {25, "REL1_OUT"}, {26, "REL3_OUT"}, {27, "DOOR_OUT"},
};

std::string hex_bytes(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (auto b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

// A window's bytes as one VCD vector, first byte in the most significant place.
std::string vcd_bits(const std::vector<uint8_t>& bytes) {
  std::string bits;
  for (size_t i = 0; i < 8; ++i) {
    uint8_t b = i < bytes.size() ? bytes[i] : 0;
    for (int bit = 7; bit >= 0; --bit) bits += (b >> bit) & 1 ? '1' : '0';
  }
  return bits;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

void trace_line_locked(StandTime time, uint8_t gpio, uint8_t level) { state().lines.push_back({time, gpio, level}); }

void trace_window_locked(SpiWindow window) { state().windows.push_back(std::move(window)); }

std::vector<LineEvent> trace_lines() {
  StandLock lock(stand_mutex());
  return state().lines;
}

std::vector<SpiWindow> trace_windows() {
  StandLock lock(stand_mutex());
  return state().windows;
}

std::string trace_line_name(uint8_t gpio) {
  for (auto& p : kPinNames)
    if (p.gpio == gpio) return p.name;
  return "gpio" + std::to_string(gpio);
}

bool trace_write_log(const std::string& path) {
  StandLock lock(stand_mutex());
  File f(std::fopen(path.c_str(), "w"));
  if (!f) return false;
  auto& s = state();
  size_t li = 0, wi = 0;
  while (li < s.lines.size() || wi < s.windows.size()) {
    bool line_first = wi == s.windows.size() || (li < s.lines.size() && s.lines[li].time <= s.windows[wi].time);
    if (line_first) {
      auto& e = s.lines[li++];
      std::fprintf(f.get(), "%12.3f ms  %-12s %u\n", static_cast<double>(e.time) / 1000.0,
                   trace_line_name(e.gpio).c_str(), e.level);
    } else {
      auto& w = s.windows[wi++];
      std::fprintf(f.get(), "%12.3f ms  CE%u  MOSI %s  MISO %s\n", static_cast<double>(w.time) / 1000.0, w.chip_select,
                   hex_bytes(w.mosi).c_str(), hex_bytes(w.miso).c_str());
    }
  }
  return true;
}

bool trace_write_vcd(const std::string& path) {
  StandLock lock(stand_mutex());
  File f(std::fopen(path.c_str(), "w"));
  if (!f) return false;
  auto& s = state();
  std::set<uint8_t> used;
  for (auto& e : s.lines) used.insert(e.gpio);

  std::fprintf(f.get(), "$timescale 1us $end\n$scope module stand $end\n");
  for (auto g : used) std::fprintf(f.get(), "$var wire 1 g%u %s $end\n", g, trace_line_name(g).c_str());
  std::fprintf(f.get(), "$var wire 64 mo mosi_frame $end\n$var wire 64 mi miso_frame $end\n");
  std::fprintf(f.get(), "$upscope $end\n$enddefinitions $end\n");

  // Events merged by time; the initial values are the first recorded ones.
  struct Row {
    StandTime time;
    std::string text;
  };
  std::vector<Row> rows;
  for (auto& e : s.lines) rows.push_back({e.time, std::to_string(e.level) + "g" + std::to_string(e.gpio)});
  for (auto& w : s.windows) {
    rows.push_back({w.time, "b" + vcd_bits(w.mosi) + " mo"});
    rows.push_back({w.time, "b" + vcd_bits(w.miso) + " mi"});
  }
  std::stable_sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.time < b.time; });
  bool first = true;
  StandTime last = 0;
  for (auto& r : rows) {
    if (first || r.time != last) std::fprintf(f.get(), "#%llu\n", static_cast<unsigned long long>(r.time));
    first = false;
    last = r.time;
    std::fprintf(f.get(), "%s\n", r.text.c_str());
  }
  return true;
}

}  // namespace sim
