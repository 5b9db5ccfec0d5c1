// What velk-records reads from the stands' pass databases: the passes with the
// shield of their last read, and the checks with their measured values. Files
// are opened read-only; several are read one after the other.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "record_db.h"

// Which passes a command looks at; empty fields do not narrow.
struct PassFilter {
  std::string since;  // ISO date or date and time, UTC; passes started at or after it
  std::string until;  // passes started up to it, the whole of its day or minute included
  std::string edition;
};

struct ShieldSeen {
  int64_t number = 0, firmware = 0;
  uint32_t id[3] = {};
  bool idComplete = false;
};

struct PassRow {
  std::string stand, started, mode, edition, outcome, end;
  int64_t id = 0;
  std::optional<ShieldSeen> shield;  // none: never read
  std::vector<std::string> flashings;  // "st-link written", ... (records_flashings)
};

struct Measurement {
  std::string quantity;
  std::optional<int64_t> value, low, high, ok;
};

struct CheckRow {
  size_t pass;  // index into the passes it was loaded with
  std::string name, outcome;
  std::vector<Measurement> measurements;
};

// Opens one file for reading, refusing what is not a stand's pass database of
// a version this program knows; `error` says why (the file named).
Database records_open(const std::string& path, std::string& error);

// Appends the file's passes that pass the filter, in the order they were written.
bool records_passes(const Database& db, const PassFilter& filter, std::vector<PassRow>& passes, std::string& error);

enum class CheckRows : uint8_t { failed, all, measured };  // which, and with the measurements

// Appends the check results of passes[first..], which were loaded from `db`.
bool records_checks(const Database& db, const std::vector<PassRow>& passes, size_t first, CheckRows which,
                    std::vector<CheckRow>& checks, std::string& error);

// Fills in the flashings of passes[first..], which were loaded from `db`.
bool records_flashings(const Database& db, std::vector<PassRow>& passes, size_t first, std::string& error);

// "2026-12-07" or "2026-12-07T08:30[:15]" as a valid calendar date and time: true.
bool records_dateValid(const std::string& text);

// The identifier as three hexadecimal words "W0,W1,W2"; false when it is not one.
bool records_parseId(const std::string& text, uint32_t (&id)[3]);

// "0032001f,3436510b,38383437".
std::string records_idText(const uint32_t (&id)[3]);
