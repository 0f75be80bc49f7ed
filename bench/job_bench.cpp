// What a user waits for, end to end, in the extended mode at the pictures' own sizes,
// against FFTW (float, FFTW_MEASURE) at the same exact size doing the same work:
//
//   job/<impl>/WxH       the filter job on an 8-bit picture: forward transform, a
//                        band-reject, inverse to an 8-bit picture (magnitudes, not
//                        stretched). vxfreq: vfForwardFFT<unsigned char>,
//                        vxFrequencyFilterBandReject::apply, vfInverseFFT<unsigned char>
//                        into a kept image; fftw: conversion to float, r2c, the same
//                        gains on the half spectrum, c2r, |x| / (W H) rounded to 8 bits
//   forward/<impl>/WxH   the forward transform alone (vxfreq into a kept buffer; fftw:
//                        conversion and r2c)
//   inverse/<impl>/WxH   the inverse to 8 bits alone, from a filtered spectrum (fftw:
//                        c2r from a copy of the half spectrum, which c2r overwrites,
//                        and the conversion)
//   complex/<impl>/WxH   the complex forward between buffers (fftw: c2c out of place)
//
// "vxfreq_2t" runs the vxfreq calls under a parallel scope of a 2-thread pool (wall
// time). bench/ratios.py turns the output into ratios against "fftw".
#include "bench_common.h"

#include "filt/extended.h"
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "filt/parallel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#ifdef VXFREQ_BENCH_FFTW
#include <fftw3.h>
#endif

namespace {

using vxbench::Size;

const std::vector<Size>& jobSizes() {
  static const std::vector<Size> list = {{512, 512},   {1024, 1024}, {2048, 2048}, {4096, 4096},
                                         {1280, 1024}, {1920, 1080}, {2448, 2048}, {4000, 3000}};
  return list;
}

using vxbench::picture;

vxFrequencyFilterBandReject ring(Size s) {
  return vxFrequencyFilterBandReject(0.02, 0.01, 0.2, vxPair<long>(s.w, s.h), 1);
}

// The extended mode at the pictures' own sizes, and a 2-thread pool when asked for.
struct Setting {
  explicit Setting(long threads) : sizing(vxSizeRule::OwnSize) {
    if (threads > 1) {
      pool = std::make_unique<vxThreadPool>(threads);
      scope = std::make_unique<vxParallelScope>(*pool);
    }
  }
  vxExtendedScope extended;
  vxSizingScope sizing;
  std::unique_ptr<vxThreadPool> pool;
  std::unique_ptr<vxParallelScope> scope;
};

enum class Step { Job, Forward, Inverse, Complex };

void vxfreq(benchmark::State& state, Size s, Step step, long threads) {
  const Setting setting(threads);
  const vxPelBuffer<unsigned char> image = picture(s);
  const vxFrequencyFilterBandReject filter = ring(s);
  vxFrequencyBuffer spectrum, filtered, out;
  vfForwardFFT<unsigned char>(image, spectrum);
  filter.apply(spectrum, filtered);
  vxPelBuffer<unsigned char> result(s.w, s.h, 32);
  for (auto _ : state) {
    switch (step) {
      case Step::Job:
        vfForwardFFT<unsigned char>(image, spectrum);
        filter.apply(spectrum);
        vfInverseFFT<unsigned char>(spectrum, result, false);
        break;
      case Step::Forward:
        vfForwardFFT<unsigned char>(image, spectrum);
        break;
      case Step::Inverse:
        vfInverseFFT<unsigned char>(filtered, result, false);
        break;
      case Step::Complex:
        vfForwardFFT(filtered, out);
        break;
    }
    benchmark::ClobberMemory();
  }
  vxbench::setPixelCounters(state, s);
}

#ifdef VXFREQ_BENCH_FFTW
template <class T>
using FftwArray = std::unique_ptr<T, void (*)(void*)>;
template <class T>
FftwArray<T> fftwArray(std::size_t count) {
  return FftwArray<T>(static_cast<T*>(fftwf_malloc(count * sizeof(T))), fftwf_free);
}

void fftw(benchmark::State& state, Size s, Step step) {
  const std::size_t n = static_cast<std::size_t>(s.w) * s.h;
  const int hw = s.w / 2 + 1;
  const std::size_t half = static_cast<std::size_t>(s.h) * hw;
  auto real = fftwArray<float>(n);
  auto spectrum = fftwArray<fftwf_complex>(half);
  auto kept = fftwArray<fftwf_complex>(half);
  auto cin = fftwArray<fftwf_complex>(n);
  auto cout = fftwArray<fftwf_complex>(n);
  fftwf_plan r2c = fftwf_plan_dft_r2c_2d(s.h, s.w, real.get(), spectrum.get(), FFTW_MEASURE);
  fftwf_plan c2r = fftwf_plan_dft_c2r_2d(s.h, s.w, spectrum.get(), real.get(), FFTW_MEASURE);
  fftwf_plan c2c = step == Step::Complex ? fftwf_plan_dft_2d(s.h, s.w, cin.get(), cout.get(),
                                                             FFTW_FORWARD, FFTW_MEASURE)
                                         : nullptr;
  // The band-reject's gains on the half spectrum, read off the filter applied to ones.
  std::vector<float> gain(half);
  {
    const vxExtendedScope extended;
    const vxSizingScope sizing(vxSizeRule::OwnSize);
    vxFrequencyBuffer ones(s.w, s.h);
    float* o = ones.elements();
    for (std::size_t i = 0; i < n; ++i) o[2 * i] = 1.0f, o[2 * i + 1] = 0.0f;
    ring(s).apply(ones);
    const float* g = ones.elements();
    for (int v = 0; v < s.h; ++v)
      for (int u = 0; u < hw; ++u)
        gain[static_cast<std::size_t>(v) * hw + u] = g[2 * (static_cast<std::size_t>(v) * s.w + u)];
  }
  const std::vector<unsigned char> samples = vxbench::randomImage(s.w, s.h);
  std::vector<unsigned char> result(n);
  const float scale = static_cast<float>(1.0 / static_cast<double>(n));
  for (std::size_t i = 0; i < n; ++i) real.get()[i] = samples[i];
  fftwf_execute(r2c);
  for (std::size_t i = 0; i < half; ++i) {
    kept.get()[i][0] = spectrum.get()[i][0] * gain[i];
    kept.get()[i][1] = spectrum.get()[i][1] * gain[i];
  }
  const std::vector<float> values = vxbench::randomFloats(2 * n);
  std::memcpy(cin.get(), values.data(), values.size() * sizeof(float));
  auto toU8 = [&] {
    const float* r = real.get();
    for (std::size_t i = 0; i < n; ++i)
      result[i] = static_cast<unsigned char>(static_cast<int>(std::fabs(r[i]) * scale + 0.5f));
  };
  for (auto _ : state) {
    switch (step) {
      case Step::Job: {
        float* r = real.get();
        for (std::size_t i = 0; i < n; ++i) r[i] = samples[i];
        fftwf_execute(r2c);
        fftwf_complex* c = spectrum.get();
        for (std::size_t i = 0; i < half; ++i) {
          c[i][0] *= gain[i];
          c[i][1] *= gain[i];
        }
        fftwf_execute(c2r);
        toU8();
        break;
      }
      case Step::Forward: {
        float* r = real.get();
        for (std::size_t i = 0; i < n; ++i) r[i] = samples[i];
        fftwf_execute(r2c);
        break;
      }
      case Step::Inverse:
        std::memcpy(spectrum.get(), kept.get(), half * sizeof(fftwf_complex));
        fftwf_execute(c2r);
        toU8();
        break;
      case Step::Complex:
        fftwf_execute(c2c);
        break;
    }
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(r2c);
  fftwf_destroy_plan(c2r);
  if (c2c != nullptr) fftwf_destroy_plan(c2c);
  vxbench::setPixelCounters(state, s);
}
#endif

int registerJobs() {
  const struct {
    const char* name;
    Step step;
  } steps[] = {{"job", Step::Job},
               {"forward", Step::Forward},
               {"inverse", Step::Inverse},
               {"complex", Step::Complex}};
  for (const auto& st : steps)
    for (const Size s : jobSizes()) {
      const Step step = st.step;
      auto add = [&](const char* impl, auto run) {
        benchmark::RegisterBenchmark(vxbench::name(st.name, impl, s).c_str(), run)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
      };
      add("vxfreq", [=](benchmark::State& state) { vxfreq(state, s, step, 1); });
      if (step != Step::Complex)
        add("vxfreq_2t", [=](benchmark::State& state) { vxfreq(state, s, step, 2); });
#ifdef VXFREQ_BENCH_FFTW
      add("fftw", [=](benchmark::State& state) { fftw(state, s, step); });
#endif
    }
  return 0;
}

const int registered = registerJobs();

}  // namespace
