// Many small pictures in one call: stacks of float tiles to their half spectra
// (columns 0 .. W/2), one thread, against FFTW's advanced interface doing the same work
// (fftwf_plan_many_dft_r2c, FFTW_MEASURE, planned outside the timing):
//
//   tiles/<impl>/<N>x<W>x<H>         into output memory kept between runs
//   tiles/fftw_loop/<N>x<W>x<H>      FFTW's plan for one tile executed on each tile in turn
//   tiles_fresh/<impl>/<N>x<W>x<H>   into output memory allocated for each run (and
//                                    freed), as a caller that keeps nothing does
//   channels/<C>/2448x2048           the first C channels of an interleaved 8-bit RGB
//                                    picture to whole spectra, one call
//
// vxfreq: vfForwardFFTStack in the extended mode; the tiles are one array of N W x H
// pictures one after the other. bench/ratios.py turns the output into ratios against
// "fftw".
#include "bench_common.h"

#include "filt/extended.h"
#include "filt/stack.h"

#include <benchmark/benchmark.h>

#include <complex>
#include <cstring>
#include <memory>
#include <vector>

#ifdef VXFREQ_BENCH_FFTW
#include <fftw3.h>
#endif

namespace {

struct Tiles {
  int count, w, h;
};
const Tiles kTiles[] = {{10000, 64, 64}, {2000, 256, 256}};

std::vector<float> tileSamples(const Tiles& t) {
  return vxbench::randomFloats(static_cast<std::size_t>(t.count * t.w * t.h));
}

void vxfreqTiles(benchmark::State& state, Tiles t, bool fresh) {
  const vxExtendedScope extended;
  const std::vector<float> samples = tileSamples(t);
  const vxStackLayout in(t.count, t.w, t.h);
  const vxStackLayout out(t.count, t.w / 2 + 1, t.h);
  const std::size_t values = static_cast<std::size_t>(t.count * out.width * t.h);
  // Kept memory is memory already used: its pages are in place before the timing.
  std::unique_ptr<std::complex<float>[]> kept(new std::complex<float>[values]());
  for (auto _ : state) {
    if (fresh) {
      std::unique_ptr<std::complex<float>[]> spectra(new std::complex<float>[values]);
      vfForwardFFTStack(samples.data(), in, spectra.get(), out);
      benchmark::DoNotOptimize(spectra.get());
    } else {
      vfForwardFFTStack(samples.data(), in, kept.get(), out);
    }
    benchmark::ClobberMemory();
  }
  vxbench::setPixelCounters(state, vxbench::Size{t.w, t.h * t.count});
}

// The forward transforms of an interleaved 8-bit RGB picture's three channels in one
// call (channels/3) against its first channel alone (channels/1), into kept spectra:
// the three should take at most 3.1 times the one.
void colourChannels(benchmark::State& state, int w, int h, int channels) {
  const vxExtendedScope extended;
  const std::vector<float> noise = vxbench::randomFloats(static_cast<std::size_t>(3 * w * h));
  std::vector<unsigned char> rgb(noise.size());
  for (std::size_t i = 0; i < rgb.size(); ++i)
    rgb[i] = static_cast<unsigned char>(static_cast<int>(noise[i] * 100.0f) & 255);
  const vxStackLayout in(channels, w, h, 1, 3L * w, 3);
  const vxStackLayout out(channels, w, h);
  std::vector<std::complex<float>> spectra(static_cast<std::size_t>(channels) * w * h);
  for (auto _ : state) {
    vfForwardFFTStack(rgb.data(), in, spectra.data(), out);
    benchmark::ClobberMemory();
  }
  vxbench::setPixelCounters(state, vxbench::Size{w, h});
}

#ifdef VXFREQ_BENCH_FFTW
void fftwTiles(benchmark::State& state, Tiles t, bool fresh) {
  const std::size_t n = static_cast<std::size_t>(t.count * t.w * t.h);
  const int hw = static_cast<int>(t.w / 2 + 1);
  const std::size_t half = static_cast<std::size_t>(t.count * t.h * hw);
  auto* in = static_cast<float*>(fftwf_malloc(n * sizeof(float)));
  auto* out = static_cast<fftwf_complex*>(fftwf_malloc(half * sizeof(fftwf_complex)));
  const int dims[2] = {static_cast<int>(t.h), static_cast<int>(t.w)};
  const fftwf_plan plan = fftwf_plan_many_dft_r2c(2, dims, static_cast<int>(t.count), in, nullptr,
                                                  1, static_cast<int>(t.w * t.h), out, nullptr, 1,
                                                  static_cast<int>(t.h) * hw, FFTW_MEASURE);
  // FFTW_MEASURE writes the arrays while planning: the samples come after it.
  const std::vector<float> samples = tileSamples(t);
  std::memcpy(in, samples.data(), n * sizeof(float));
  for (auto _ : state) {
    if (fresh) {
      auto* spectra = static_cast<fftwf_complex*>(fftwf_malloc(half * sizeof(fftwf_complex)));
      fftwf_execute_dft_r2c(plan, in, spectra);
      benchmark::DoNotOptimize(spectra);
      fftwf_free(spectra);
    } else {
      fftwf_execute(plan);
    }
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
  vxbench::setPixelCounters(state, vxbench::Size{t.w, t.h * t.count});
}

// FFTW's plan for one tile run on each in turn (fftwf_execute_dft_r2c): what a caller
// does where plan_many's choice over the whole stack is the slower one.
void fftwLoop(benchmark::State& state, Tiles t) {
  const std::size_t tile = static_cast<std::size_t>(t.w) * t.h;
  const std::size_t halfTile = static_cast<std::size_t>(t.h) * (t.w / 2 + 1);
  auto* in = static_cast<float*>(fftwf_malloc(tile * t.count * sizeof(float)));
  auto* out = static_cast<fftwf_complex*>(fftwf_malloc(halfTile * t.count * sizeof(fftwf_complex)));
  const fftwf_plan plan = fftwf_plan_dft_r2c_2d(t.h, t.w, in, out, FFTW_MEASURE);
  std::memset(static_cast<void*>(out), 0, halfTile * t.count * sizeof(fftwf_complex));
  const std::vector<float> samples = tileSamples(t);
  std::memcpy(in, samples.data(), samples.size() * sizeof(float));
  for (auto _ : state) {
    for (int p = 0; p < t.count; ++p)
      fftwf_execute_dft_r2c(plan, in + p * tile, out + p * halfTile);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(out);
  fftwf_free(in);
  vxbench::setPixelCounters(state, vxbench::Size{t.w, t.h * t.count});
}
#endif

int registerTiles() {
  for (const bool fresh : {false, true})
    for (const Tiles& t : kTiles) {
      const std::string suffix =
          "/" + std::to_string(t.count) + "x" + std::to_string(t.w) + "x" + std::to_string(t.h);
      const std::string group = fresh ? "tiles_fresh/" : "tiles/";
      benchmark::RegisterBenchmark((group + "vxfreq" + suffix).c_str(), vxfreqTiles, t, fresh)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
#ifdef VXFREQ_BENCH_FFTW
      benchmark::RegisterBenchmark((group + "fftw" + suffix).c_str(), fftwTiles, t, fresh)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      if (!fresh)
        benchmark::RegisterBenchmark(("tiles/fftw_loop" + suffix).c_str(), fftwLoop, t)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
#endif
    }
  for (const int channels : {1, 3})
    benchmark::RegisterBenchmark(("channels/" + std::to_string(channels) + "/2448x2048").c_str(),
                                 colourChannels, 2448, 2048, channels)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  return 0;
}
const int kRegistered = registerTiles();

}  // namespace
