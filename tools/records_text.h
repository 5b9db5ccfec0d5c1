// velk-records' answers as text: the yield, a shield's history, the check
// results as CSV or JSON.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "records_load.h"

struct Loaded {
  std::vector<PassRow> passes;  // oldest first, every file's
  std::vector<CheckRow> checks;
};

// Puts the passes of several files in the order they started (a stand's own
// passes stay in their order), the checks following their passes.
void records_sort(Loaded& loaded);

// The yield of the test passes (spectrum readings are no test). A shield is
// its identifier; a pass without a whole identifier is a shield of its own.
struct YieldFigures {
  size_t passes = 0, passed = 0, failed = 0, byOperator = 0, byProgram = 0, cutOff = 0;
  size_t shields = 0, firstPassed = 0, finalPassed = 0;
  std::vector<std::pair<std::string, size_t>> failuresPerCheck;  // passes failing it, largest first
};
YieldFigures records_yield(const Loaded& loaded);

// "50.0 %" of a share; "-" of nothing.
std::string records_percent(size_t part, size_t whole);

void records_printYield(const YieldFigures& y, std::FILE* out);
// The passes of one shield, by identifier or (no identifier given) by number.
void records_printShield(const Loaded& loaded, const uint32_t* id, int64_t number, std::FILE* out);
void records_printCsv(const Loaded& loaded, std::FILE* out);
void records_printJson(const Loaded& loaded, std::FILE* out);
