// Timings of the two transform engines on square arrays. Each iteration restores
// the input first (not timed), so every transform sees the same finite data.
#include "filt/engines.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<float> randomFloats(std::size_t count) {
  std::vector<float> v(count);
  std::uint64_t s = 12345;
  for (float& f : v) {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    f = static_cast<float>(static_cast<std::int32_t>(s >> 40) - 8388608) / 8388608.0f;
  }
  return v;
}

template <class Engine>
void runTransform(benchmark::State& state, Engine engine, long direction) {
  const long n = state.range(0);
  const std::vector<float> input = randomFloats(2 * static_cast<std::size_t>(n) * n);
  std::vector<float> work(input.size());
  for (auto _ : state) {
    state.PauseTiming();
    work = input;
    state.ResumeTiming();
    engine(work.data(), vxPair<long>(n, n), direction, 0, n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n * n);
}

void BM_ComplexForward(benchmark::State& state) { runTransform(state, vf_ComplexFFT2D, +1); }
void BM_RealForward(benchmark::State& state) { runTransform(state, vf_RealFFT2D, +1); }
void BM_ComplexInverse(benchmark::State& state) { runTransform(state, vf_ComplexFFT2D, -1); }

BENCHMARK(BM_ComplexForward)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RealForward)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComplexInverse)->RangeMultiplier(2)->Range(256, 2048)->Unit(benchmark::kMillisecond);

}  // namespace
