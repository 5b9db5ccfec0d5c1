// The stand's pass database, stand-records.sqlite: its schema and versions,
// and small owners of the SQLite handle and its statements. The stand program
// writes it; velk-records reads it. Nothing here throws: every failure is a
// false, an empty result or an error text, as the C API gives it.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

inline constexpr const char* RECORD_FILE = "stand-records.sqlite";
inline constexpr int RECORD_SCHEMA_VERSION = 3;

// Owns one connection; closes it on destruction.
class Database {
 public:
  Database() = default;
  explicit Database(sqlite3* db) : db_(db) {}
  ~Database() { sqlite3_close_v2(db_); }
  Database(Database&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}
  Database& operator=(Database&& other) noexcept {
    std::swap(db_, other.db_);
    return *this;
  }
  sqlite3* get() const { return db_; }
  explicit operator bool() const { return db_ != nullptr; }
  std::string error() const { return db_ ? sqlite3_errmsg(db_) : "out of memory"; }

 private:
  sqlite3* db_ = nullptr;
};

// Owns one prepared statement. Binding indexes count from 1, columns from 0.
class Statement {
 public:
  Statement(const Database& db, std::string_view sql);
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  Statement& bind(int i, int64_t value);
  Statement& bind(int i, std::string_view value);
  Statement& bind(int i, std::optional<int64_t> value);
  bool row();  // steps; true while it yields a row, false when done or on error
  bool run();  // steps to the end and resets for the next bindings; false on error
  int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::optional<int64_t> maybe(int column) const;
  std::string text(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool failed_ = false;  // a bind or step failed; run() reports it
};

// Runs statements that return no rows; false on an error (db.error() says it).
bool db_exec(const Database& db, const char* sql);

// The file's schema version (PRAGMA user_version); nothing when it cannot be read.
std::optional<int> db_version(const Database& db);

// Brings a file of version `from` (0: a new file) up to RECORD_SCHEMA_VERSION
// in one transaction; false (the file as it was, `error` saying why) on an error.
bool db_upgrade(const Database& db, int from, std::string& error);

// Whether an SQLite result code says the file is not a database or is damaged.
bool db_damaged(int code);
