// Looking at the link from a test: the requests on the bus (from the stand's
// trace) and what the replies left in the records.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "time/clock.h"

// The function codes of every request sent from stand time `since` on, in order: "02 18 18".
std::string requests_on_bus(sim::StandTime since = 0);

// The records the replies fill, as words "code=2 fw=322 no=27 id0=1000002 id1=0
// id2=0 answered=100 in=10101 line=2600" (the inputs in the order Ek S0 S1 EkS
// door). changes() gives the words that changed since the last call, or since
// the watch began.
class RecordWatch {
 public:
  RecordWatch() : seen_(words()) {}
  std::string changes();

 private:
  static std::vector<std::string> words();
  std::vector<std::string> seen_;
};
