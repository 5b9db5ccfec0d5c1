// The link on the simulated stand: how long 1000 request/reply cycles take in
// wall time, and what one idle cycle of the exchange thread costs in CPU time.
// One stand per process; both benchmarks share it.
#include <bcm2835.h>
#include <benchmark/benchmark.h>

#include "records.h"
#include "spi.h"
#include "test_stand.h"

namespace {

void start_once() {
  static bool started = [] {
    TestStand().start_program();
    return true;
  }();
  (void)started;
}

void BM_RequestReplyCycles(benchmark::State& state) {
  start_once();
  for (auto _ : state) {
    menuSt.functionRead = 0;
    SPI_command_ShieldRead();
    while (menuSt.functionRead != 0x02) bcm2835_delay(10);
  }
  state.counters["stand_s"] = static_cast<double>(sim::clock_now()) / 1e6;
}
BENCHMARK(BM_RequestReplyCycles)
    ->Iterations(1000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_IdleExchangeCycle(benchmark::State& state) {
  start_once();
  for (auto _ : state) bcm2835_delay(100);  // one idle cycle of the exchange thread
}
BENCHMARK(BM_IdleExchangeCycle)->Iterations(10000)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
