#include "recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <optional>
#include <string_view>

#include "adc.h"  // the window of a reading

// The stand's own time in microseconds, where the stand keeps one: the
// simulated stand defines it, a Pi's library does not, so it is looked up
// weakly and a pass on a Pi records none.
extern "C" uint64_t velk_stand_time_us(void) __attribute__((weak));

namespace {

constexpr int kBusyMs = 2000;  // velk-records may be reading the file meanwhile

struct CheckName {
  error_codes code;
  const char* name;
};

constexpr CheckName kCheckNames[] = {
    {_ERROR_SPI, "link"},       {_ERROR_EK, "Ek"},          {_ERROR_S0, "S0"},
    {_ERROR_S1, "S1"},          {_ERROR_EKS, "EkS"},        {_ERROR_OpenDetector, "door"},
    {_ERROR_REL0, "REL0"},      {_ERROR_REL1, "REL1"},      {_ERROR_REL2, "REL2"},
    {_ERROR_REL3, "REL3"},      {_ERROR_BR, "line relay"},  {_ERROR_ADC_BR, "ADC BR"},
    {_ERROR_ADC_IMIT, "ADC IMIT"}, {_ERROR_ADC_OD, "ADC OD"}, {_ERROR_AUDIO, "audio"},
};

constexpr const char* kEndTexts[] = {
    "program ended",  "next pass",    "operator: n",      "operator: 3",       "operator input closed",
    "link failure",   "outdated firmware after three reads", "flashing refused", "flashing tool missing",
    "flasher failed", "audio recorder missing",
};
static_assert(std::size(kEndTexts) == static_cast<size_t>(pass_end::recorder_missing) + 1);

const char* check_name(uint8_t code) {
  for (auto& c : kCheckNames)
    if (c.code == code) return c.name;
  return "unknown";
}

std::string utc_now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm t{};
  gmtime_r(&now.tv_sec, &t);
  char text[32];
  size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &t);
  std::snprintf(text + n, sizeof text - n, ".%03ldZ", now.tv_nsec / 1000000);
  return text;
}

std::optional<int64_t> stand_time() {
  if (!velk_stand_time_us) return std::nullopt;
  return static_cast<int64_t>(velk_stand_time_us());
}

std::string host_name() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "unknown";
  return name;
}

// A line about the record, after what the operator has seen so far.
void say(const std::string& line) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", line.c_str());
}

// The one line a record that cannot go on gets; nothing is recorded after it.
void give_up(const std::string& why) {
  say("Запись проходов прекращена: " + std::string(RECORD_FILE) + ": " + why);
  passRecord.db = Database();
  passRecord.id = 0;
}

// Renames a damaged file aside (never over another file), with its journal.
bool move_aside(std::string& aside) {
  std::string stamp = utc_now();
  for (int n = 0; n < 100; ++n) {
    aside = std::string(RECORD_FILE) + ".damaged-" + stamp + (n ? "-" + std::to_string(n) : "");
    if (renameat2(AT_FDCWD, RECORD_FILE, AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
      for (const char* journal : {"-wal", "-shm"})
        std::rename((std::string(RECORD_FILE) + journal).c_str(), (aside + journal).c_str());
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

enum class Prepared : uint8_t { ready, damaged, failed };

// WAL, so that a pass cut off by a power failure or a kill never harms what
// was committed. A pass's end is committed with synchronous FULL, so that an
// ended pass survives a power failure; its start with NORMAL, which survives a
// kill but saves the pass a flush to disk (after a power failure the pass in
// progress is lost either way).
Prepared prepare(const Database& db, std::string& error) {
  sqlite3_busy_timeout(db.get(), kBusyMs);
  int rc = sqlite3_exec(db.get(), "PRAGMA journal_mode=WAL; SELECT count(*) FROM sqlite_schema", nullptr, nullptr,
                        nullptr);
  error = db.error();
  if (rc != SQLITE_OK) return db_damaged(rc) ? Prepared::damaged : Prepared::failed;
  auto version = db_version(db);
  if (!version) return Prepared::failed;
  if (*version > RECORD_SCHEMA_VERSION) {
    error = "схема версии " + std::to_string(*version) + ", программа знает версии до " +
            std::to_string(RECORD_SCHEMA_VERSION);
    return Prepared::failed;
  }
  if (!db_upgrade(db, *version, error)) return Prepared::failed;
  if (!db_exec(db, "PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON; UPDATE pass SET outcome = 'cut-off', "
                   "end_reason = 'cut off' WHERE outcome IS NULL")) {
    error = db.error();
    return Prepared::failed;
  }
  return Prepared::ready;
}

Database open_file() {
  constexpr int kFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW;
  for (bool movedAside = false;;) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(RECORD_FILE, &raw, kFlags, nullptr);
    Database db(raw);
    std::string error = db.error();
    Prepared prepared = rc == SQLITE_OK ? prepare(db, error) : Prepared::failed;
    if (prepared == Prepared::ready) return db;
    std::string aside;
    db = Database();  // closed before it is renamed
    if (prepared == Prepared::damaged && !movedAside && move_aside(aside)) {
      say(std::string(RECORD_FILE) + " повреждён (" + error + "): переименован в " + aside + ", начат новый");
      movedAside = true;
      continue;
    }
    say("Запись проходов невозможна: " + std::string(RECORD_FILE) + ": " + error);
    return Database();
  }
}

const char* outcome() {
  const auto& r = passRecord;
  if (r.report) return r.report->failures ? "failed" : "passed";
  bool read = r.reading && !r.measurements.empty();
  if (read && (r.end == pass_end::next_pass || r.end == pass_end::operator_no)) return "read";
  switch (r.end) {
    case pass_end::operator_no:
    case pass_end::operator_abort:
    case pass_end::input_closed:
      return "operator";
    default:
      return "program";
  }
}

std::optional<int64_t> maybe(bool known, int64_t value) {
  return known ? std::optional<int64_t>(value) : std::nullopt;
}

// The checks in the order they ran, then the failures no measurement shows
// (the link, an audio check with no reference); their count.
int check_order(uint32_t failures, uint8_t (&codes)[32]) {
  int count = 0;
  uint32_t seen = 0;
  for (auto& m : passRecord.measurements)
    if (!(seen >> m.check & 1)) seen |= 1u << (codes[count++] = m.check);
  for (uint8_t code = 0; code < 32; ++code)
    if ((failures & ~seen) >> code & 1) codes[count++] = code;
  return count;
}

// A check failed when its bit is set or a measurement is out of its window.
const char* check_outcome(uint8_t code, uint32_t failures) {
  bool failed = failures >> code & 1, judged = failed;
  for (auto& m : passRecord.measurements)
    if (m.check == code && m.ok) failed = failed || !*m.ok, judged = true;
  return failed ? "failed" : judged ? "passed" : "not-judged";
}

bool write_checks(uint32_t failures) {
  const auto& r = passRecord;
  Statement check(r.db, "INSERT INTO check_result (pass, seq, name, outcome) VALUES (?, ?, ?, ?)");
  Statement measured(r.db,
                     "INSERT INTO measurement (check_id, seq, quantity, value, low, high, ok) VALUES (?, ?, ?, ?, ?, ?, ?)");
  uint8_t codes[32];
  int count = check_order(failures, codes);
  for (int c = 0; c < count; ++c) {
    check.bind(1, r.id).bind(2, int64_t{c}).bind(3, check_name(codes[c]));
    if (!check.bind(4, check_outcome(codes[c], failures)).run()) return false;
    int64_t id = sqlite3_last_insert_rowid(r.db.get()), seq = 0;
    for (auto& m : r.measurements) {
      if (m.check != codes[c]) continue;
      measured.bind(1, id).bind(2, seq++).bind(3, m.quantity).bind(4, m.value).bind(5, m.low).bind(6, m.high);
      if (!measured.bind(7, maybe(m.ok.has_value(), m.ok.value_or(false))).run()) return false;
    }
  }
  return true;
}

bool update_pass(uint32_t failures) {
  const auto& r = passRecord;
  Statement pass(r.db,
                 "UPDATE pass SET ended = ?, outcome = ?, end_reason = ?, failures = ?, failure_count = ?, upload = ?, "
                 "stand_ended = ? WHERE id = ?");
  pass.bind(1, utc_now()).bind(2, outcome()).bind(3, kEndTexts[static_cast<size_t>(r.end)]);
  pass.bind(4, maybe(!r.reading, failures)).bind(5, maybe(r.report.has_value(), r.report ? r.report->count : 0));
  if (r.report) pass.bind(6, r.report->upload);
  return pass.bind(7, stand_time()).bind(8, r.id).run();
}

bool write_reads() {
  const auto& r = passRecord;
  Statement read(r.db, "INSERT INTO shield_read VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  int64_t seq = 0;
  for (auto& s : r.reads) {
    read.bind(1, r.id).bind(2, seq++).bind(3, s.number).bind(4, s.firmware);
    read.bind(5, s.id[0]).bind(6, s.id[1]).bind(7, s.id[2]);
    if (!read.bind(8, int64_t{s.idComplete}).run()) return false;
  }
  return true;
}

bool write_flashings() {
  const auto& r = passRecord;
  Statement flashing(r.db, "INSERT INTO flashing VALUES (?, ?, ?, ?, ?, ?, ?)");
  int64_t seq = 0;
  for (auto& f : r.flashings) {
    const char* result = f.notStarted ? "not-started" : f.written ? "written" : "failed";
    flashing.bind(1, r.id).bind(2, seq++).bind(3, f.tool).bind(4, result).bind(5, int64_t{f.errorWords});
    if (!flashing.bind(6, int64_t{f.status}).bind(7, int64_t{f.signal}).run()) return false;
  }
  return true;
}

bool write_prompts() {
  const auto& r = passRecord;
  Statement prompt(r.db, "INSERT INTO prompt VALUES (?, ?, ?, ?)");
  int64_t seq = 0;
  for (auto& p : r.prompts)
    if (!prompt.bind(1, r.id).bind(2, seq++).bind(3, p.question).bind(4, p.answer).run()) return false;
  return true;
}

bool write_pass() {
  // Without a report, the register as the pass left it; a spectrum reading has none.
  uint32_t failures = passRecord.report ? passRecord.report->failures : error_st.stand;
  if (passRecord.reading) failures = 0;
  return update_pass(failures) && write_reads() && write_flashings() && write_prompts() && write_checks(failures);
}

void finish_pass() {
  if (!passRecord.id) return;
  if (!db_exec(passRecord.db, "PRAGMA synchronous=FULL; BEGIN IMMEDIATE")) return give_up(passRecord.db.error());
  // Given up, the file is closed, which rolls the transaction back.
  if (!write_pass() || !db_exec(passRecord.db, "COMMIT")) return give_up(passRecord.db.error());
  passRecord.id = 0;
}

void add(error_codes check, const char* quantity, std::optional<int64_t> value, std::optional<int64_t> low,
         std::optional<int64_t> high, std::optional<bool> ok) {
  if (passRecord.id) passRecord.measurements.push_back({check, quantity, value, low, high, ok});
}

}  // namespace

void record_open() {
  passRecord.db = open_file();
  if (passRecord.db) std::atexit(finish_pass);
}

void record_passBegin() {
  auto& r = passRecord;
  if (!r.db) return;
  r.reads.clear();
  r.flashings.clear();
  r.measurements.clear();
  r.prompts.clear();
  r.report.reset();
  r.end = pass_end::none;
  r.reading = menu_flag(FLAGSET_HARMONICREAD);
  if (!db_exec(r.db, "PRAGMA synchronous=NORMAL")) return give_up(r.db.error());
  Statement pass(r.db,
                 "INSERT INTO pass (started, version, stand, mode, flash_every, edition, stand_started) "
                 "VALUES (?, ?, ?, ?, ?, ?, ?)");
  pass.bind(1, utc_now()).bind(2, _VERSION).bind(3, host_name()).bind(4, r.reading ? "harmonic" : "test");
  pass.bind(5, int64_t{menu_flag(FLAGSET_STLINKUPDATE)});
  pass.bind(6, shieldSt.type == TYPESGIELD_KORDENT ? "kordent" : "general");
  if (!pass.bind(7, stand_time()).run()) return give_up(r.db.error());
  r.id = sqlite3_last_insert_rowid(r.db.get());
}

void record_passEnd() {
  if (passRecord.end == pass_end::none) passRecord.end = pass_end::next_pass;
  finish_pass();
}

void record_stopping(pass_end why) { passRecord.end = why; }

void record_shieldRead() {
  if (!passRecord.id) return;
  passRecord.reads.push_back({shieldSt.shield,
                              shieldSt.firmware,
                              {shieldSt.id[0], shieldSt.id[1], shieldSt.id[2]},
                              shieldSt.idAnswered[0] && shieldSt.idAnswered[1] && shieldSt.idAnswered[2]});
}

void record_flashing(const char* tool, bool written, int errorWords, const ChildEnd& end) {
  if (passRecord.id) passRecord.flashings.push_back({tool, written, errorWords, end.code, end.signal, end.not_started});
}

void record_level(error_codes check, bool answered, GPIO_Digital seen, GPIO_Digital failsWhen) {
  int64_t expected = failsWhen == PIN_HIGH ? PIN_LOW : PIN_HIGH;
  add(check, "level", maybe(answered, seen), expected, expected, answered && seen != failsWhen);
}

void record_reading(error_codes check, bool answered, uint16_t value, uint16_t nominal) {
  AdcWindow w = adc_window(nominal);
  add(check, "ADC", maybe(answered, value), w.low, w.high, answered && adc_readingOk(value, nominal));
}

void record_spectrum(const uint32_t* amplitudes, const harmonic_st* reference, bool judged) {
  for (int bin = 0; bin < _NUMB_DETECT_HARMONIC; ++bin) {
    std::optional<int64_t> low, high;
    std::optional<bool> ok;
    if (reference) {
      low = harmonic_low(*reference, bin);
      high = harmonic_high(*reference, bin);
      if (judged) ok = harmonic_inTolerance(*reference, bin, amplitudes[bin]);
    }
    add(_ERROR_AUDIO, ("bin " + std::to_string(bin)).c_str(), amplitudes[bin], low, high, ok);
  }
}

void record_prompt(const char* question, const char* answer) {
  if (!passRecord.id) return;
  std::string_view q = question;
  while (!q.empty() && (q.back() == '\n' || q.back() == ' ')) q.remove_suffix(1);
  passRecord.prompts.push_back({std::string(q), answer});
}

void record_report(uint32_t failures, int count, const char* upload) {
  if (passRecord.id) passRecord.report = recorded_report{failures, count, upload};
}
