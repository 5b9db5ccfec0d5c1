#include "link_probe.h"

#include <cstdio>
#include <iterator>
#include <sstream>

#include "link_codes.h"
#include "records.h"
#include "board/trace.h"

std::string requests_on_bus(sim::StandTime since) {
  std::string out;
  char code[5];
  for (auto& w : sim::trace_windows()) {
    if (w.time < since || w.mosi.size() != 8 || w.mosi[0] != _SPI_ADDRESS) continue;
    std::snprintf(code, sizeof code, out.empty() ? "%02X" : " %02X", w.mosi[1]);
    out += code;
  }
  return out;
}

std::vector<std::string> RecordWatch::words() {
  auto& sh = shieldSt;
  auto& in = stend_signal;
  char s[160];
  std::snprintf(s, sizeof s, "code=%d fw=%d no=%d id0=%X id1=%X id2=%X answered=%d%d%d in=%d%d%d%d%d line=%d",
                menuSt.functionRead.load(), sh.firmware.load(), sh.shield.load(), sh.id[0].load(), sh.id[1].load(),
                sh.id[2].load(), sh.idAnswered[0].load(), sh.idAnswered[1].load(), sh.idAnswered[2].load(),
                in.Ek.load(), in.S0.load(), in.S1.load(), in.EkS.load(), in.DoorDetector.load(), in.Line.load());
  std::istringstream words(s);
  return {std::istream_iterator<std::string>(words), {}};
}

std::string RecordWatch::changes() {
  auto now = words();
  std::string out;
  for (size_t i = 0; i < now.size(); ++i)
    if (now[i] != seen_[i]) out += (out.empty() ? "" : " ") + now[i];
  seen_ = now;
  return out;
}
