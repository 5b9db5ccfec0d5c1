// The pass database's cost. What recording adds to a pass: a healthy pass's
// record (its start, then the whole pass in one transaction) in a database
// that already holds many passes; aim under 1 ms of wall time. The end's
// commit waits for the disk (an ended pass survives a power failure): flush_ms
// is what one flush of a small file takes in the same directory, and
// wall_ms_less_flush what recording costs besides. And velk-records yield over
// 100,000 passes of four stands: aim under 1 s.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Harmonic.h"
#include "program_run.h"
#include "recorder.h"

namespace {

constexpr int kPasses = 100000;

void record_healthy_pass() {
  static const uint32_t kSpectrum[_NUMB_DETECT_HARMONIC] = {124, 2, 3, 43, 3, 2, 2, 1, 1, 1, 1,
                                                            1,   1, 1, 1,  1, 1, 0, 0, 1, 1, 1};
  record_passBegin();
  record_shieldRead();
  for (auto input : {_ERROR_EK, _ERROR_S0, _ERROR_S1, _ERROR_OpenDetector})
    for (auto level : {PIN_LOW, PIN_HIGH}) record_level(input, true, level, level == PIN_LOW ? PIN_HIGH : PIN_LOW);
  for (int step = 0; step < 5; ++step)
    for (auto relay : {_ERROR_REL0, _ERROR_REL1, _ERROR_REL2, _ERROR_REL3}) record_level(relay, true, PIN_HIGH, PIN_LOW);
  record_level(_ERROR_BR, true, PIN_HIGH, PIN_LOW);
  record_level(_ERROR_BR, true, PIN_LOW, PIN_HIGH);
  record_reading(_ERROR_ADC_BR, true, 2600, ADC_TALVO_BR);
  record_reading(_ERROR_ADC_IMIT, true, 1850, ADC_TALVO_IMIT);
  record_reading(_ERROR_ADC_OD, true, 2500, ADC_TALVO_OD);
  record_spectrum(kSpectrum, &HARMONIC_26TALVO, true);
  record_report(0, 0, "sent");
  record_prompt("Желаете повторить испытания? y/n \n", "y");
  record_passEnd();
}

void BM_RecordOnePass(benchmark::State& state) {
  TempDir dir;
  std::string back = std::filesystem::current_path();
  if (chdir(dir.path().c_str()) != 0) std::abort();
  record_open();
  shieldSt.shield = 26;
  shieldSt.firmware = 325;
  for (int i = 0; i < 1000; ++i) record_healthy_pass();  // not a new file's speed
  auto started = std::chrono::steady_clock::now();
  for (auto _ : state) record_healthy_pass();
  double wall_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  if (!passRecord.db) state.SkipWithError("the record gave up");
  passRecord.db = Database();
  int fd = open("flushed", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char page[4096] = {};
  started = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i)
    if (write(fd, page, sizeof page) != sizeof page || fsync(fd) != 0) state.SkipWithError("no flush");
  double flush_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count() / 20;
  close(fd);
  state.counters["flush_ms"] = flush_ms;
  state.counters["wall_ms_less_flush"] = wall_ms / static_cast<double>(state.iterations()) - flush_ms;
  if (chdir(back.c_str()) != 0) std::abort();
}
BENCHMARK(BM_RecordOnePass)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100,000 passes, a tenth of them failed at one of 13 checks; three passes per shield.
constexpr const char* kFill = R"sql(
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1)
INSERT INTO pass SELECT i, printf('2026-%02d-%02dT08:%02d:00.000Z', 1 + i % 12, 1 + i % 28, i % 60),
       printf('2026-%02d-%02dT08:%02d:50.000Z', 1 + i % 12, 1 + i % 28, i % 60), 'v1.4.0', 'stand-' || (i % 4),
       'test', 0, iif(i % 2, 'kordent', 'general'), iif(i % 10, 'passed', 'failed'), 'next pass', 0, 0, 'sent'
  FROM n;
INSERT INTO shield_read SELECT id, 0, 26, 325, id / 3, 1, 2, 1 FROM pass;
WITH c(seq, name) AS (VALUES (0, 'Ek'), (1, 'S0'), (2, 'S1'), (3, 'door'), (4, 'REL0'), (5, 'REL1'), (6, 'REL2'),
                             (7, 'REL3'), (8, 'line relay'), (9, 'ADC BR'), (10, 'ADC IMIT'), (11, 'ADC OD'),
                             (12, 'audio'))
INSERT INTO check_result (pass, seq, name, outcome)
  SELECT p.id, c.seq, c.name, iif(p.outcome = 'failed' AND c.seq = p.id % 13, 'failed', 'passed') FROM pass p, c;
COMMIT;
)sql";

void BM_YieldOf100000Passes(benchmark::State& state) {
  TempDir dir;
  std::string file = dir.file("stand-records.sqlite"), error;
  sqlite3* raw = nullptr;
  sqlite3_open(file.c_str(), &raw);
  Database db(raw);
  std::string fill = kFill;
  fill.replace(fill.find("?1"), 2, std::to_string(kPasses));
  if (!db_upgrade(db, 0, error) || !db_exec(db, fill.c_str())) return state.SkipWithError(db.error().c_str());
  if (std::getenv("VELK_BENCH_KEEP")) std::system(("cp " + file + " " + std::getenv("VELK_BENCH_KEEP")).c_str());
  std::string command = std::string(VELK_RECORDS_PATH) + " yield --db " + file + " >/dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("velk-records failed");
}
BENCHMARK(BM_YieldOf100000Passes)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
