// The audio check's transform: fix_fft(7) against a direct double-precision
// DFT of the same 128 samples (a healthy shield's recording), time per
// transform for both, and how far fix_fft's amplitudes lie from the exact
// ones divided by 128 (counters max_dev, in amplitude units, and at_bin).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "fft.h"
#include "shield/shield_audio.h"

namespace {

std::vector<uint8_t> recording() {
  auto stream = sim::shield_audio(sim::ShieldState{}, 1108);
  return {stream.begin() + 980, stream.end()};  // the samples the stand takes
}

std::vector<double> exact_amplitudes(const std::vector<uint8_t>& x) {
  std::vector<double> amp(64);
  for (int k = 0; k < 64; ++k) {
    std::complex<double> sum;
    for (int t = 0; t < 128; ++t) sum += double(x[t]) * std::polar(1.0, -2 * M_PI * k * t / 128);
    amp[k] = std::abs(sum) / 128;
  }
  return amp;
}

void BM_FixFft(benchmark::State& state) {
  const auto x = recording();
  for (auto _ : state) {
    std::copy(x.begin(), x.end(), fr);
    std::memset(fi, 0, sizeof fi);
    fix_fft(FFT_NUMB_POINT_SHIFT);
    benchmark::DoNotOptimize(fr);
    benchmark::DoNotOptimize(fi);
  }
  const auto exact = exact_amplitudes(x);
  double worst = 0;
  int worst_bin = 0;
  for (int k = 0; k < 64; ++k) {
    const double deviation = std::abs(std::hypot(fr[k], fi[k]) - exact[k]);
    if (deviation > worst) worst = deviation, worst_bin = k;
  }
  state.counters["max_dev"] = worst;
  state.counters["at_bin"] = worst_bin;
}
BENCHMARK(BM_FixFft);

void BM_DirectDft(benchmark::State& state) {
  const auto x = recording();
  for (auto _ : state) benchmark::DoNotOptimize(exact_amplitudes(x));
}
BENCHMARK(BM_DirectDft);

}  // namespace

BENCHMARK_MAIN();
