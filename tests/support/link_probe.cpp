#include "link_probe.h"

#include <bcm2835.h>

#include "records.h"

std::vector<sim::SpiWindow> requests_sent(uint8_t function) {
  std::vector<sim::SpiWindow> out;
  for (auto& w : sim::trace_windows())
    if (w.mosi.size() == 8 && w.mosi[0] == 0xA1 && w.mosi[1] == function) out.push_back(w);
  return out;
}

bool wait_for_reply_code(uint8_t code, unsigned limit_ms) {
  for (unsigned waited = 0; waited <= limit_ms; waited += 5) {
    if (menuSt.functionRead == code) return true;
    bcm2835_delay(5);
  }
  return menuSt.functionRead == code;
}
