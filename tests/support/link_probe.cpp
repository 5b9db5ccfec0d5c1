#include "link_probe.h"

#include <bcm2835.h>

#include <cstdio>

#include "link_codes.h"
#include "records.h"

namespace {

constexpr unsigned kPollMs = 5;

std::string hex(uint8_t b) {
  char s[4];
  std::snprintf(s, sizeof s, "%02X", b);
  return s;
}

}  // namespace

std::string requests_on_bus() {
  std::string out;
  for (auto& w : sim::trace_windows())
    if (w.mosi.size() == 8 && w.mosi[0] == _SPI_ADDRESS) out += (out.empty() ? "" : " ") + hex(w.mosi[1]);
  return out;
}

bool wait_for_reply_code(uint8_t code, unsigned limit_ms) {
  for (unsigned waited = 0; waited < limit_ms && menuSt.functionRead != code; waited += kPollMs) bcm2835_delay(kPollMs);
  return menuSt.functionRead == code;
}

std::string watch_reply_codes(unsigned ms, int until) {
  int last = menuSt.functionRead;
  std::string out = std::to_string(last);
  for (unsigned waited = 0; waited < ms && last != until; waited += kPollMs) {
    bcm2835_delay(kPollMs);
    if (menuSt.functionRead != last) out += " " + std::to_string(last = menuSt.functionRead);
  }
  return out;
}

std::string line_changes(sim::StandTime since) {
  std::string out;
  for (auto& e : sim::trace_lines())
    if (e.time >= since)
      out += "+" + std::to_string((e.time - since) / 1000) + " " + sim::trace_line_name(e.gpio) + " " +
             std::to_string(e.level) + "\n";
  return out;
}

std::string link_records() {
  char s[160];
  auto& in = stend_signal;
  std::snprintf(s, sizeof s, "code %d | fw %d no %d | id %x %x %x answered %d%d%d | in %d%d%d%d%d line %d",
                menuSt.functionRead.load(), shieldSt.firmware.load(), shieldSt.shield.load(), shieldSt.id[0].load(),
                shieldSt.id[1].load(), shieldSt.id[2].load(), shieldSt.idAnswered[0].load(),
                shieldSt.idAnswered[1].load(), shieldSt.idAnswered[2].load(), in.Ek.load(), in.S0.load(), in.S1.load(),
                in.EkS.load(), in.DoorDetector.load(), in.Line.load());
  return s;
}
