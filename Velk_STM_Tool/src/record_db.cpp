#include "record_db.h"

#include <iterator>

namespace {

// kSteps[v] brings version v to v + 1. A step is never changed once released:
// a stand's file of that version has already taken it.
constexpr const char* kSteps[] = {
    // 1: a row per pass, and under it the shield's reads, the flashings, the
    // checks with their measured values and the operator's answers.
    R"sql(
CREATE TABLE pass (
  id INTEGER PRIMARY KEY,
  started TEXT NOT NULL,        -- wall clock, UTC, ISO 8601
  ended TEXT,                   -- NULL while under way
  version TEXT NOT NULL,        -- the stand program's
  stand TEXT NOT NULL,          -- host name
  mode TEXT NOT NULL,           -- test | harmonic (the spectrum reading)
  flash_every INTEGER NOT NULL, -- set-up answer: the dump written at every pass
  edition TEXT NOT NULL,        -- set-up answer: general | kordent
  outcome TEXT,                 -- passed failed read operator program cut-off; NULL while under way
  end_reason TEXT,
  failures INTEGER,             -- the failure register, one bit per check
  failure_count INTEGER,        -- the report's count; NULL without a report
  upload TEXT                   -- sent failed no-identifier identifier-incomplete; NULL without a report
);
CREATE TABLE shield_read (
  pass INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL,
  number INTEGER NOT NULL, firmware INTEGER NOT NULL,
  id0 INTEGER NOT NULL, id1 INTEGER NOT NULL, id2 INTEGER NOT NULL,
  id_complete INTEGER NOT NULL, -- all three words answered in this read
  PRIMARY KEY (pass, seq));
CREATE TABLE flashing (
  pass INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL,
  tool TEXT NOT NULL,           -- st-link | flasher
  outcome TEXT NOT NULL,        -- written | failed | not-started
  error_words INTEGER NOT NULL, exit_status INTEGER NOT NULL, signal INTEGER NOT NULL,
  PRIMARY KEY (pass, seq));
CREATE TABLE check_result (
  id INTEGER PRIMARY KEY,
  pass INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL,
  name TEXT NOT NULL,
  outcome TEXT NOT NULL);       -- passed | failed | not-judged
CREATE TABLE measurement (
  check_id INTEGER NOT NULL REFERENCES check_result(id), seq INTEGER NOT NULL,
  quantity TEXT NOT NULL,       -- level | ADC | bin N
  value INTEGER,                -- NULL: no reply to this request
  low INTEGER, high INTEGER,    -- the window, bounds included; NULL: none
  ok INTEGER,                   -- NULL: not judged
  PRIMARY KEY (check_id, seq));
CREATE TABLE prompt (
  pass INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL,
  question TEXT NOT NULL, answer TEXT NOT NULL,
  PRIMARY KEY (pass, seq));
)sql",
    // 2: what velk-records looks up: passes by date, a shield's passes, a
    // check's results.
    R"sql(
CREATE INDEX pass_started ON pass(started);
CREATE INDEX shield_read_id ON shield_read(id0, id1, id2);
CREATE INDEX check_result_pass ON check_result(pass);
)sql",
    // 3: the stand time of a pass's start and end, in microseconds, where the
    // stand has a time of its own (the simulated stand); NULL on a Pi.
    R"sql(
ALTER TABLE pass ADD COLUMN stand_started INTEGER;
ALTER TABLE pass ADD COLUMN stand_ended INTEGER;
)sql",
};
static_assert(std::size(kSteps) == RECORD_SCHEMA_VERSION);

}  // namespace

Statement::Statement(const Database& db, std::string_view sql) {
  if (sqlite3_prepare_v2(db.get(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
    stmt_ = nullptr;
}

Statement& Statement::bind(int i, int64_t value) {
  failed_ = failed_ || sqlite3_bind_int64(stmt_, i, value) != SQLITE_OK;
  return *this;
}

Statement& Statement::bind(int i, std::string_view value) {
  failed_ = failed_ || sqlite3_bind_text(stmt_, i, value.data(), static_cast<int>(value.size()),
                                         SQLITE_TRANSIENT) != SQLITE_OK;
  return *this;
}

Statement& Statement::bind(int i, std::optional<int64_t> value) {
  if (value) return bind(i, *value);
  failed_ = failed_ || sqlite3_bind_null(stmt_, i) != SQLITE_OK;
  return *this;
}

bool Statement::row() {
  if (!stmt_ || failed_) return false;
  int rc = sqlite3_step(stmt_);
  failed_ = rc != SQLITE_ROW && rc != SQLITE_DONE;
  return rc == SQLITE_ROW;
}

bool Statement::run() {
  while (row()) {
  }
  bool done = stmt_ && !failed_;
  if (stmt_) sqlite3_reset(stmt_);
  failed_ = false;
  return done;
}

std::optional<int64_t> Statement::maybe(int column) const {
  if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
  return integer(column);
}

std::string Statement::text(int column) const {
  auto* s = sqlite3_column_text(stmt_, column);
  return s ? reinterpret_cast<const char*>(s) : "";
}

bool db_exec(const Database& db, const char* sql) {
  return sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::optional<int> db_version(const Database& db) {
  Statement version(db, "PRAGMA user_version");
  if (!version.row()) return std::nullopt;
  return static_cast<int>(version.integer(0));
}

bool db_upgrade(const Database& db, int from, std::string& error) {
  if (from >= RECORD_SCHEMA_VERSION) return true;
  if (!db_exec(db, "BEGIN IMMEDIATE")) {
    error = db.error();
    return false;
  }
  bool done = true;
  for (int v = from; v < RECORD_SCHEMA_VERSION && done; ++v) done = db_exec(db, kSteps[v]);
  std::string set = "PRAGMA user_version = " + std::to_string(RECORD_SCHEMA_VERSION);
  if (done && db_exec(db, set.c_str()) && db_exec(db, "COMMIT")) return true;
  error = db.error();  // before the rollback, which would hide it
  db_exec(db, "ROLLBACK");
  return false;
}

bool db_damaged(int code) {
  code &= 0xff;
  return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}
