// One healthy pass of the shield's checks on the simulated stand (inputs, door
// detector, relays, line relay, ADC, report with its upload): how much stand
// time it covers, how much wall time it takes, and their ratio. On the stand
// clock such a pass is about 22 s; the simulated stand aims to run it at least
// 1000 times faster.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "adc.h"
#include "time/clock.h"
#include "console_capture.h"
#include "inputs.h"
#include "outputs.h"
#include "program_run.h"
#include "records.h"
#include "report.h"
#include "test_stand.h"

namespace {

void BM_HealthyChecksPass(benchmark::State& state) {
  TempDir dir;
  install_uploader(dir);
  if (chdir(dir.path().c_str()) != 0) std::abort();
  TestStand().start_program();
  stand_ADC = {ADC_TALVO_BR, ADC_TALVO_IMIT, ADC_TALVO_OD};
  shieldSt.firmware = 325;
  for (auto& answered : shieldSt.idAnswered) answered = true;
  double stand_s = 0, wall_s = 0;
  for (auto _ : state) {
    auto stand_start = sim::clock_now();
    auto wall_start = std::chrono::steady_clock::now();
    printed([] {
      menu_block_EK_S0_S1();
      menu_block_OpenDetector();
      menu_block_REL();
      menu_block_BR();
      menu_block_ADC();
      menu_block_StandReport();
    });
    wall_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
    stand_s += static_cast<double>(sim::clock_now() - stand_start) / 1e6;
    if (error_st.stand != 0) state.SkipWithError("a check failed on a healthy shield");
  }
  state.counters["stand_s"] = benchmark::Counter(stand_s, benchmark::Counter::kAvgIterations);
  state.counters["wall_ms"] = benchmark::Counter(wall_s * 1000, benchmark::Counter::kAvgIterations);
  state.counters["stand/wall"] = stand_s / wall_s;
}
BENCHMARK(BM_HealthyChecksPass)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
