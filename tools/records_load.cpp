#include "records_load.h"

#include <chrono>
#include <cstdio>
#include <unordered_map>

namespace {

// Rows in the order they were written (rowid), which is the order the passes
// started and their checks ran: read straight through the table, not by way of
// an index, which over many passes costs a page read per row.
constexpr const char* kPasses = R"sql(
SELECT id, stand, started, mode, edition, coalesce(outcome, 'under way'), coalesce(end_reason, '')
  FROM pass
 WHERE +started >= ?1 AND substr(started, 1, length(?2)) <= ?2 AND (?3 = '' OR edition = ?3)
 ORDER BY id)sql";
constexpr const char* kReads = "SELECT pass, number, firmware, id0, id1, id2, id_complete FROM shield_read ORDER BY rowid";

bool digits(const std::string& text, size_t at, size_t count, int& value) {
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

std::unordered_map<int64_t, size_t> pass_index(const std::vector<PassRow>& passes, size_t first) {
  std::unordered_map<int64_t, size_t> index;
  for (size_t i = first; i < passes.size(); ++i) index[passes[i].id] = i;
  return index;
}

// The statement stepped to its end without an error; else `error` says why.
bool ended_well(const Database& db, Statement& rows, std::string& error) {
  if (rows.ok() && rows.run()) return true;
  error = db.error();
  return false;
}

}  // namespace

Database records_open(const std::string& path, std::string& error) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  Database db(raw);
  if (rc != SQLITE_OK) {
    error = path + ": cannot be opened (" + db.error() + ")";
    return Database();
  }
  sqlite3_busy_timeout(db.get(), 2000);  // the stand program may be writing it
  auto version = db_version(db);
  if (!version) {
    error = path + ": " + db.error();
  } else if (*version == 0) {
    error = path + ": empty, not a stand's pass database";
  } else if (*version > RECORD_SCHEMA_VERSION) {
    error = path + ": schema version " + std::to_string(*version) + " is newer than this velk-records reads (up to " +
            std::to_string(RECORD_SCHEMA_VERSION) + ")";
  } else {
    return db;
  }
  return Database();
}

bool records_passes(const Database& db, const PassFilter& filter, std::vector<PassRow>& passes, std::string& error) {
  size_t first = passes.size();
  Statement rows(db, kPasses);
  rows.bind(1, filter.since).bind(2, filter.until.empty() ? "9999" : filter.until).bind(3, filter.edition);
  while (rows.row()) {
    PassRow p;
    p.id = rows.integer(0);
    p.stand = rows.text(1), p.started = rows.text(2), p.mode = rows.text(3), p.edition = rows.text(4);
    p.outcome = rows.text(5), p.end = rows.text(6);
    passes.push_back(std::move(p));
  }
  // A pass's shield is its last read; the reads come in the order they were made.
  auto index = pass_index(passes, first);
  Statement reads(db, kReads);
  while (reads.row()) {
    auto found = index.find(reads.integer(0));
    if (found == index.end()) continue;
    ShieldSeen s{reads.integer(1), reads.integer(2)};
    for (int w = 0; w < 3; ++w) s.id[w] = static_cast<uint32_t>(reads.integer(3 + w));
    s.idComplete = reads.integer(6) != 0;
    passes[found->second].shield = s;
  }
  return ended_well(db, rows, error) && ended_well(db, reads, error);
}

bool records_checks(const Database& db, const std::vector<PassRow>& passes, size_t first, CheckRows which,
                    std::vector<CheckRow>& checks, std::string& error) {
  auto index = pass_index(passes, first);
  bool measured = which == CheckRows::measured;
  Statement rows(db, which == CheckRows::failed
                         ? "SELECT id, pass, name, outcome FROM check_result WHERE outcome = 'failed' ORDER BY id"
                         : "SELECT id, pass, name, outcome FROM check_result ORDER BY id");
  Statement values(db, "SELECT quantity, value, low, high, ok FROM measurement WHERE check_id = ? ORDER BY seq");
  while (rows.row()) {
    auto found = index.find(rows.integer(1));
    if (found == index.end()) continue;
    CheckRow c{found->second, rows.text(2), rows.text(3), {}};
    if (measured) {
      values.bind(1, rows.integer(0));
      while (values.row())
        c.measurements.push_back({values.text(0), values.maybe(1), values.maybe(2), values.maybe(3), values.maybe(4)});
      if (!values.run()) break;
    }
    checks.push_back(std::move(c));
  }
  return ended_well(db, rows, error);
}

bool records_flashings(const Database& db, std::vector<PassRow>& passes, size_t first, std::string& error) {
  auto index = pass_index(passes, first);
  Statement rows(db, "SELECT pass, tool, outcome FROM flashing ORDER BY pass, seq");  // few rows
  while (rows.row()) {
    auto found = index.find(rows.integer(0));
    if (found != index.end()) passes[found->second].flashings.push_back(rows.text(1) + " " + rows.text(2));
  }
  return ended_well(db, rows, error);
}

bool records_dateValid(const std::string& text) {
  int y, m, d, hh = 0, mm = 0, ss = 0;
  if (!digits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' || !digits(text, 5, 2, m) || text[7] != '-' ||
      !digits(text, 8, 2, d))
    return false;
  using namespace std::chrono;
  if (!year_month_day{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}}.ok()) return false;
  if (text.size() == 10) return true;
  bool minutes = (text.size() == 16 || text.size() == 19) && text[10] == 'T' && digits(text, 11, 2, hh) &&
                 text[13] == ':' && digits(text, 14, 2, mm);
  bool seconds = text.size() == 16 || (text[16] == ':' && digits(text, 17, 2, ss));
  return minutes && seconds && hh < 24 && mm < 60 && ss < 60;
}

bool records_parseId(const std::string& text, uint32_t (&id)[3]) {
  size_t at = 0;
  for (int w = 0; w < 3; ++w) {
    size_t end = w < 2 ? text.find(',', at) : text.size();
    if (end == std::string::npos || end == at || end - at > 8) return false;
    uint32_t value = 0;
    for (size_t i = at; i < end; ++i) {
      char c = text[i];
      int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (digit < 0) return false;
      value = value << 4 | static_cast<uint32_t>(digit);
    }
    id[w] = value;
    at = end + 1;
  }
  return true;
}

std::string records_idText(const uint32_t (&id)[3]) {
  char text[32];
  std::snprintf(text, sizeof text, "%08x,%08x,%08x", id[0], id[1], id[2]);
  return text;
}
