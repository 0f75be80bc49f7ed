// The two transform engines on each instruction-set path this processor offers, so
// that the vector paths can be compared with the scalar reference in one run, and as a
// call takes them ("planned": the path the planner kept, named in the label). Each
// iteration restores the input first (not timed): the engines work in place.
#include "bench_common.h"
#include "filt/engine/engines.h"
#include "filt/image/kernels.h"
#include "filt/planner.h"
#include "filt/simd/paths.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using vx_detail::EnginePath;
using vxbench::Size;

void runEngine(benchmark::State& state, Size s, EnginePath path, bool real, long direction) {
  vx_detail::EnginePathOverride force(path);
  const std::vector<float> input = vxbench::randomFloats(2 * static_cast<std::size_t>(s.w) * s.h);
  std::vector<float> work(input.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.data(), input.data(), input.size() * sizeof(float));
    state.ResumeTiming();
    if (real)
      vf_RealFFT2D(work.data(), vxPair<long>(s.w, s.h), direction, 0, s.h);
    else
      vf_ComplexFFT2D(work.data(), vxPair<long>(s.w, s.h), direction, 0, s.h);
    benchmark::ClobberMemory();
  }
  vxbench::setPixelCounters(state, s);
}

// One image kernel over a w x h picture, a row at a time: 8-bit samples into floats, or
// complex values into 8-bit magnitudes.
void runImageKernel(benchmark::State& state, Size s, const vx_detail::ImageKernels& k,
                    bool magnitude) {
  const std::vector<float> values = vxbench::randomFloats(2 * static_cast<std::size_t>(s.w) * s.h);
  std::vector<unsigned char> pixels(static_cast<std::size_t>(s.w) * s.h, 7);
  std::vector<float> floats(pixels.size());
  for (auto _ : state) {
    for (int y = 0; y < s.h; ++y) {
      const std::size_t row = static_cast<std::size_t>(y) * s.w;
      if (magnitude)
        k.magnitudeU8(values.data() + 2 * row, s.w, 0.5f, pixels.data() + row);
      else
        k.floatsFromU8(pixels.data() + row, s.w, floats.data() + row);
    }
    benchmark::ClobberMemory();
  }
  vxbench::setPixelCounters(state, s);
}

// The engine as a call takes it: the planner's path for the size, measured by the
// first call (made before the timing); the label names the path kept.
void runPlanned(benchmark::State& state, Size s, vxEngine engine, bool real, long direction) {
  const std::vector<float> input = vxbench::randomFloats(2 * static_cast<std::size_t>(s.w) * s.h);
  std::vector<float> work(input);
  auto run = [&] {
    if (real)
      vf_RealFFT2D(work.data(), vxPair<long>(s.w, s.h), direction, 0, s.h);
    else
      vf_ComplexFFT2D(work.data(), vxPair<long>(s.w, s.h), direction, 0, s.h);
  };
  run();
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.data(), input.data(), input.size() * sizeof(float));
    state.ResumeTiming();
    run();
    benchmark::ClobberMemory();
  }
  state.SetLabel(vfEnginePath(engine, s.w, s.h));
  vxbench::setPixelCounters(state, s);
}

int registerEngines() {
  benchmark::AddCustomContext("vxfreq_engine_path",
                              vx_detail::enginePathName(vx_detail::activeEnginePath()));
  // The paths of the table that this processor runs, in the table's order, for the
  // scripts that read the results (bench/ratios.py).
  std::string paths;
  for (const vx_detail::PathInfo& info : vx_detail::allPaths())
    if (info.supported()) paths += (paths.empty() ? "" : ",") + std::string(info.name);
  benchmark::AddCustomContext("vxfreq_engine_paths", paths);
  struct Kind {
    const char* operation;
    bool real;
    long direction;
  };
  const Kind kinds[] = {{"engine_complex_fwd", false, +1},
                        {"engine_complex_inv", false, -1},
                        {"engine_real_fwd", true, +1}};
  const vxEngine engines[] = {vxEngine::ComplexForward, vxEngine::ComplexInverse,
                              vxEngine::RealForward};
  // Each size's paths and then the planned call, side by side.
  for (int k = 0; k < 3; ++k)
    for (Size s : vxbench::sizes()) {
      const Kind kind = kinds[k];
      for (const vx_detail::PathInfo& info : vx_detail::allPaths()) {
        if (!info.supported()) continue;
        const EnginePath path = info.path;
        benchmark::RegisterBenchmark(
            vxbench::name(kind.operation, vx_detail::enginePathName(path), s).c_str(),
            [=](benchmark::State& st) { runEngine(st, s, path, kind.real, kind.direction); })
            ->Unit(benchmark::kMillisecond);
      }
      const vxEngine engine = engines[k];
      benchmark::RegisterBenchmark(
          vxbench::name(kind.operation, "planned", s).c_str(),
          [=](benchmark::State& st) { runPlanned(st, s, engine, kind.real, kind.direction); })
          ->Unit(benchmark::kMillisecond);
    }
  // The image loops' kernels on each path: 8-bit samples into floats (the forward
  // transform's first step) and complex values to 8-bit magnitudes (the inverse's
  // last), row by row over a picture, as the image transforms run them. They show
  // whether the widest path is also the fastest for them (the planner measures the
  // engines only).
  for (Size s : {Size{512, 512}, Size{2048, 2048}})
    for (const vx_detail::PathInfo& info : vx_detail::allPaths()) {
      if (!info.supported()) continue;
      const vx_detail::ImageKernels& k = *info.image;
      benchmark::RegisterBenchmark(
          vxbench::name("image_u8_to_floats", info.name, s).c_str(),
          [=, &k](benchmark::State& st) { runImageKernel(st, s, k, false); })
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(
          vxbench::name("image_magnitude_u8", info.name, s).c_str(),
          [=, &k](benchmark::State& st) { runImageKernel(st, s, k, true); })
          ->Unit(benchmark::kMicrosecond);
    }
  return 0;
}

const int registered = registerEngines();

}  // namespace
