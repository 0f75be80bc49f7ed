// Transforms at the pictures' own sizes (extended mode, one thread) against FFTW at the
// same exact size, and against the padded transform earlier versions made.
//
//   sizes/real/<impl>/WxH      vfForwardFFT<unsigned char> of a W x H picture into a
//                              buffer: own_reused (the buffer kept between calls),
//                              own_fresh (a new buffer each call), pow2 (padded to the
//                              next powers of two, as earlier versions), fftw (FFTW's
//                              r2c of the exact size, FFTW_MEASURE, the float picture
//                              prepared outside the timing)
//   sizes/complex/<impl>/WxH   vfForwardFFT between buffers of the exact size: own,
//                              fftw (fftwf_plan_dft_2d, FFTW_MEASURE)
//   sweep/<impl>/N             the real-input forward of N x N pictures for every N from
//                              1000 to 4200 in steps of 100 and the powers of two between:
//                              own (vfForwardFFT<unsigned char>, buffer kept) and fftw
//
// bench/sizes.py runs them and writes the table and the plot of docs/performance.md.
#include "bench_common.h"

#include "filt/extended.h"
#include "filt/fft.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#ifdef VXFREQ_BENCH_FFTW
#include <fftw3.h>
#endif

namespace {

using vxbench::Size;

using vxbench::picture;

enum class Own { Reused, Fresh, PowerOfTwo };

void realForward(benchmark::State& state, Size s, Own own) {
  const vxExtendedScope extended;
  const vxSizingScope sizing(own == Own::PowerOfTwo ? vxSizeRule::NextPowerOfTwo
                                                    : vxSizeRule::OwnSize);
  const vxPelBuffer<unsigned char> image = picture(s);
  vxFrequencyBuffer kept;
  for (auto _ : state) {
    if (own == Own::Fresh) {
      vxFrequencyBuffer spectrum;
      vfForwardFFT<unsigned char>(image, spectrum);
      benchmark::DoNotOptimize(spectrum.elements());
    } else {
      vfForwardFFT<unsigned char>(image, kept);
      benchmark::DoNotOptimize(kept.elements());
    }
  }
  vxbench::setPixelCounters(state, s);
}

void complexForward(benchmark::State& state, Size s) {
  const vxExtendedScope extended;
  vxFrequencyBuffer in;
  vfForwardFFT<unsigned char>(picture(s), in);
  vxFrequencyBuffer out(in);
  for (auto _ : state) {
    vfForwardFFT(in, out);
    benchmark::DoNotOptimize(out.elements());
  }
  vxbench::setPixelCounters(state, s);
}

#ifdef VXFREQ_BENCH_FFTW
void fftw(benchmark::State& state, Size s, bool complex) {
  const std::size_t n = static_cast<std::size_t>(s.w) * s.h;
  auto* out = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * n));
  float* real = nullptr;
  fftwf_complex* in = nullptr;
  fftwf_plan plan = nullptr;
  const std::vector<float> values = vxbench::randomFloats(2 * n);
  if (complex) {
    in = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * n));
    plan = fftwf_plan_dft_2d(s.h, s.w, in, out, FFTW_FORWARD, FFTW_MEASURE);
    std::memcpy(in, values.data(), 2 * n * sizeof(float));
  } else {
    real = static_cast<float*>(fftwf_malloc(sizeof(float) * n));
    plan = fftwf_plan_dft_r2c_2d(s.h, s.w, real, out, FFTW_MEASURE);
    std::memcpy(real, values.data(), n * sizeof(float));
  }
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  fftwf_destroy_plan(plan);
  fftwf_free(real);
  fftwf_free(in);
  fftwf_free(out);
  vxbench::setPixelCounters(state, s);
}
#endif

const bool kRegistered = [] {
  // Camera pictures (5-smooth), a 7-smooth and a 17-smooth side, primes beside the
  // powers of two above them, and one power of two.
  const Size table[] = {{4000, 3000}, {2448, 2048}, {2500, 2048}, {1920, 1080}, {1280, 1024},
                        {640, 480},   {1400, 1050}, {2448, 2056}, {4093, 4093}, {4096, 4096},
                        {16381, 64},  {16384, 64},  {2048, 2048}};
  for (const Size s : table) {
    const std::pair<const char*, Own> owns[] = {
        {"own_reused", Own::Reused}, {"own_fresh", Own::Fresh}, {"pow2", Own::PowerOfTwo}};
    for (const auto& [name, own] : owns)
      benchmark::RegisterBenchmark(vxbench::name("sizes/real", name, s).c_str(), realForward, s,
                                   own)
          ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(vxbench::name("sizes/complex", "own", s).c_str(), complexForward,
                                 s)
        ->Unit(benchmark::kMillisecond);
#ifdef VXFREQ_BENCH_FFTW
    benchmark::RegisterBenchmark(vxbench::name("sizes/real", "fftw", s).c_str(), fftw, s, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(vxbench::name("sizes/complex", "fftw", s).c_str(), fftw, s, true)
        ->Unit(benchmark::kMillisecond);
#endif
  }
  std::vector<int> sides;
  for (int n = 1000; n <= 4200; n += 100) sides.push_back(n);
  for (const int n : {1024, 2048, 4096}) sides.push_back(n);
  for (const int n : sides) {
    const Size s{n, n};
    benchmark::RegisterBenchmark(("sweep/own/" + std::to_string(n)).c_str(), realForward, s,
                                 Own::Reused)
        ->Unit(benchmark::kMillisecond);
#ifdef VXFREQ_BENCH_FFTW
    benchmark::RegisterBenchmark(("sweep/fftw/" + std::to_string(n)).c_str(), fftw, s, false)
        ->Unit(benchmark::kMillisecond);
#endif
  }
  return true;
}();

}  // namespace
