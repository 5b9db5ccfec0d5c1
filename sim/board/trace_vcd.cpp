#include "board/trace_vcd.h"

#include <algorithm>

#include "board/wiring.h"

namespace sim {
namespace {

constexpr uint8_t kUnknown = 2;

std::string id(uint8_t gpio) { return "g" + std::to_string(gpio); }

bool bit_of(const std::vector<uint8_t>& bytes, size_t bit) {
  return bit / 8 < bytes.size() && (bytes[bit / 8] >> (7 - bit % 8)) & 1;
}

}  // namespace

std::string VcdWriter::header(StandTime now) {
  std::string out = "$version velk simulated stand $end\n$timescale 1ns $end\n$scope module stand $end\n";
  for (auto& l : kStandLines) out += "$var wire 1 " + id(l.gpio) + " " + l.name + " $end\n";
  out += "$upscope $end\n$enddefinitions $end\n";
  last_ns_ = now * 1000;
  out += "#" + std::to_string(last_ns_) + "\n$dumpvars\n";
  value_.fill(kUnknown);
  for (auto& l : kStandLines) out += "x" + id(l.gpio) + "\n";
  return out + "$end\n";
}

void VcdWriter::put(std::string& out, const Change& c) {
  if (!wiring_line(c.gpio) || value_[c.gpio] == c.value) return;
  uint64_t ns = std::max(c.ns, last_ns_);
  if (ns != last_ns_) out += "#" + std::to_string(ns) + "\n";
  last_ns_ = ns;
  value_[c.gpio] = c.value;
  out += static_cast<char>('0' + c.value) + id(c.gpio) + "\n";
}

std::string VcdWriter::line(const LineEvent& e) {
  std::string out;
  put(out, {e.time * 1000, e.gpio, e.level});
  return out;
}

// Each byte's bits go out from its recorded start (a byte that waited for the
// program or for room in the RX FIFO leaves a gap, SCLK idle); a window without
// starts, or too short for its bits, is drawn back to back, squeezed to fit.
std::string VcdWriter::window(const SpiWindow& w, const std::vector<LineEvent>& held) {
  std::vector<Change> changes;
  for (auto& e : held) changes.push_back({e.time * 1000, e.gpio, e.level});
  uint64_t start = w.time * 1000, length = (std::max(w.end, w.time) - w.time) * 1000;
  size_t bytes = std::max(w.mosi.size(), w.miso.size());
  bool recorded = bytes > 0 && w.start_ns.size() == bytes && w.start_ns.back() + 8 * w.bit_ns <= length;
  uint64_t bit_ns = bytes ? std::min<uint64_t>(w.bit_ns, length / (8 * bytes)) : 0;  // recorded: never squeezed
  uint64_t done = start;
  for (size_t byte = 0; byte < bytes; ++byte) {
    uint64_t first = start + (recorded ? w.start_ns[byte] : 8 * byte * bit_ns);
    for (size_t b = 8 * byte; b < 8 * byte + 8; ++b) {
      uint64_t t = first + (b % 8) * bit_ns;
      changes.push_back({t, line::sclk, 0});
      changes.push_back({t, line::mosi, bit_of(w.mosi, b)});
      changes.push_back({t, line::miso, bit_of(w.miso, b)});
      changes.push_back({t + bit_ns / 2, line::sclk, 1});
    }
    done = first + 8 * bit_ns;
    changes.push_back({done, line::sclk, 0});
  }
  for (uint8_t gpio : {line::sclk, line::mosi, line::miso}) changes.push_back({done, gpio, 0});
  std::stable_sort(changes.begin(), changes.end(), [](auto& a, auto& b) { return a.ns < b.ns; });
  std::string out;
  for (auto& c : changes) put(out, c);
  return out;
}

}  // namespace sim
