// The library against itself: what a choice costs against the call it is an alternative
// to, measured in the same run. bench/ratios.py --own prints the ratios.
//
//   filter_picture/edge, /continue   vfFilterPicture of an 8-bit photograph-like picture
//                                    (smooth shapes, noise and a screen pattern of 0.13
//                                    cycles per pixel at 30 degrees, amplitude 25) with a
//                                    band-reject of the pattern's ring, sigma 0.004;
//                                    /continue_none: the same picture without the
//                                    pattern, where nothing stands out (Edge's padding)
#include "bench_common.h"
#include "filt/extended.h"
#include "filt/filtering.h"
#include "filt/parallel.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#ifdef VXFREQ_BENCH_FFTW
#include <fftw3.h>
#endif

namespace {

using vxbench::Size;

const double kPi = 3.14159265358979323846;

vxPelBuffer<unsigned char> photographLike(Size s, bool pattern) {
  const std::vector<float> noise = vxbench::randomFloats(static_cast<std::size_t>(s.w) * s.h);
  vxPelBuffer<unsigned char> image(s.w, s.h, 32);
  const double a = 30.0 * kPi / 180.0;
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      double v = 8.0 * noise[static_cast<std::size_t>(y) * s.w + x] +
                 60.0 * std::sin(0.011 * x) * std::cos(0.017 * y) + 110.0;
      if (pattern) v += 25.0 * std::cos(2 * kPi * 0.13 * (x * std::cos(a) + y * std::sin(a)));
      image.at(x, y) = static_cast<unsigned char>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
    }
  return image;
}

void filterPicture(benchmark::State& state, Size s, vxPadding padding, bool pattern) {
  const vxExtendedScope extended;
  const vxPelBuffer<unsigned char> image = photographLike(s, pattern);
  const vxPair<long> size = vfPaddedTransformSize(s.w, s.h, -1);
  const vxFrequencyFilterBandReject reject(0.004, 0.003, 0.13, size, 0);
  const vxPaddingOptions options{padding, vxWindow::none(), -1};
  for (auto _ : state) {
    vxPelBuffer<double> out =
        vfFilterPicture(vxPelBuffer_const<unsigned char>(image), {&reject}, options);
    benchmark::DoNotOptimize(out.at(0, 0));
  }
  vxbench::setPixelCounters(state, s);
}

const Size kFilterSizes[] = {{384, 303}, {512, 512}, {1024, 1024}, {2448, 2048}};

const bool kRegistered = [] {
  for (Size s : kFilterSizes) {
    benchmark::RegisterBenchmark(vxbench::name("filter_picture", "edge", s).c_str(), filterPicture,
                                 s, vxPadding::Edge, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(vxbench::name("filter_picture", "continue", s).c_str(),
                                 filterPicture, s, vxPadding::Continue, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(vxbench::name("filter_picture", "continue_none", s).c_str(),
                                 filterPicture, s, vxPadding::Continue, false)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace

// ---------------------------------------------------------------------------
// The modes, memory, the pool and large pictures.
//
//   mode_real_fwd_u8/compatible, /extended    vfForwardFFT<uchar> into a reused buffer
//   mode_complex_fwd/compatible, /extended    complex forward, buffer to buffer
//   mode_inverse_u8/compatible, /extended     vfInverseFFT<uchar> into a reused image
//   forward_u8/fresh, /reused, /fresh_nocache the 8-bit forward transform into a new
//                                             buffer each time (the memory cache on; off)
//                                             or into the same buffer
//   magnitude_image/fresh, /reused            getMagnitudeImage(true) by value, or into
//                                             the same image
//   log_map/fresh, /reused                    vfFrequencyMapImage(Logarithmic) by value,
//                                             or into the same image
//   pool_fwd_u8/1t, /2t, /4t, /16t, /64t      the 8-bit forward transform on one thread
//                                             and under a vxThreadPool of 2 to 64 (wall
//                                             time; pools larger than the machine)
//   large_real_fwd_u8/extended, large_complex_fwd/extended, and /fftw (FFTW float,
//                                             FFTW_MEASURE up to 4096 x 4096 and for the
//                                             camera sizes, FFTW_ESTIMATE above): pictures
//                                             beyond 2048, the camera sizes exactly (FFTW
//                                             r2c of the exact size, vxfreq padded to
//                                             powers of two)
namespace {

vxPelBuffer<unsigned char> noisePicture(Size s) {
  const std::vector<unsigned char> samples = vxbench::randomImage(s.w, s.h);
  vxPelBuffer<unsigned char> image(s.w, s.h, 32);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) image.at(x, y) = samples[static_cast<std::size_t>(y) * s.w + x];
  return image;
}

// A benchmark of the call `prepare()` returns, made (untimed) and run in the mode asked
// for.
template <class Prepare>
void inMode(benchmark::State& state, Size s, bool extended, Prepare prepare) {
  const vxExtendedScope mode(extended);
  auto call = prepare();
  for (auto _ : state) call();
  vxbench::setPixelCounters(state, s);
}

void modeRealForward(benchmark::State& state, Size s, bool extended) {
  inMode(state, s, extended, [s] {
    return [image = noisePicture(s), spectrum = vxFrequencyBuffer()]() mutable {
      vfForwardFFT<unsigned char>(image, spectrum);
      benchmark::DoNotOptimize(spectrum.elements());
    };
  });
}

void modeComplexForward(benchmark::State& state, Size s, bool extended) {
  inMode(state, s, extended, [s] {
    vxFrequencyBuffer in;
    vfForwardFFT<unsigned char>(noisePicture(s), in);
    return [in, out = vxFrequencyBuffer(in)]() mutable {
      vfForwardFFT(in, out);
      benchmark::DoNotOptimize(out.elements());
    };
  });
}

void modeInverse(benchmark::State& state, Size s, bool extended) {
  inMode(state, s, extended, [s] {
    vxFrequencyBuffer spectrum;
    vfForwardFFT<unsigned char>(noisePicture(s), spectrum);
    return [spectrum, image = vxPelBuffer<unsigned char>()]() mutable {
      vfInverseFFT<unsigned char>(spectrum, image, false);
      benchmark::DoNotOptimize(image.pointToOffset());
    };
  });
}

enum class Storage { Fresh, Reused, FreshNoCache };

void forwardInto(benchmark::State& state, Size s, Storage storage) {
  const std::size_t bound = vfMemoryCacheBound();
  if (storage == Storage::FreshNoCache) vfSetMemoryCacheBound(0);
  const vxPelBuffer<unsigned char> image = noisePicture(s);
  vxFrequencyBuffer kept;
  for (auto _ : state) {
    if (storage == Storage::Reused) {
      vfForwardFFT<unsigned char>(image, kept);
      benchmark::DoNotOptimize(kept.elements());
    } else {
      vxFrequencyBuffer fresh;
      vfForwardFFT<unsigned char>(image, fresh);
      benchmark::DoNotOptimize(fresh.elements());
    }
  }
  vfSetMemoryCacheBound(bound);
  vxbench::setPixelCounters(state, s);
}

void magnitudeInto(benchmark::State& state, Size s, Storage storage) {
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(noisePicture(s), spectrum);
  vxPelBuffer<double> kept;
  for (auto _ : state) {
    if (storage == Storage::Reused) {
      spectrum.getMagnitudeImage(true, kept);
      benchmark::DoNotOptimize(kept.pointToOffset());
    } else {
      const vxPelBuffer<double> fresh = spectrum.getMagnitudeImage(true);
      benchmark::DoNotOptimize(fresh.pointToOffset());
    }
  }
  vxbench::setPixelCounters(state, s);
}

void logMapInto(benchmark::State& state, Size s, Storage storage) {
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(noisePicture(s), spectrum);
  const vxPelBuffer<double> magnitude = spectrum.getMagnitudeImage(true);
  vxPelBuffer<unsigned char> kept;
  for (auto _ : state) {
    if (storage == Storage::Reused) {
      vfFrequencyMapImage(magnitude, vxFrequencyDefs::Logarithmic, 0.0, 0.0, kept);
      benchmark::DoNotOptimize(kept.pointToOffset());
    } else {
      const vxPelBuffer<unsigned char> fresh =
          vfFrequencyMapImage(magnitude, vxFrequencyDefs::Logarithmic, 0.0, 0.0);
      benchmark::DoNotOptimize(fresh.pointToOffset());
    }
  }
  vxbench::setPixelCounters(state, s);
}

void poolForward(benchmark::State& state, Size s, long threads) {
  std::unique_ptr<vxThreadPool> pool;
  std::unique_ptr<vxParallelScope> scope;
  if (threads > 1) {
    pool = std::make_unique<vxThreadPool>(threads);
    scope = std::make_unique<vxParallelScope>(*pool);
  }
  const vxPelBuffer<unsigned char> image = noisePicture(s);
  vxFrequencyBuffer spectrum;
  for (auto _ : state) {
    vfForwardFFT<unsigned char>(image, spectrum);
    benchmark::DoNotOptimize(spectrum.elements());
  }
  vxbench::setPixelCounters(state, s);
}

#ifdef VXFREQ_BENCH_FFTW
struct FftwBuffers {
  float* real = nullptr;
  fftwf_complex* in = nullptr;
  fftwf_complex* out = nullptr;
  fftwf_plan plan = nullptr;
  ~FftwBuffers() {
    if (plan != nullptr) fftwf_destroy_plan(plan);
    fftwf_free(real);
    fftwf_free(in);
    fftwf_free(out);
  }
};

void fftwLarge(benchmark::State& state, Size s, bool complex) {
  FftwBuffers b;
  const std::size_t n = static_cast<std::size_t>(s.w) * s.h;
  const unsigned flags = n > 4096u * 4096u ? FFTW_ESTIMATE : FFTW_MEASURE;
  b.out = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * n));
  if (complex) {
    b.in = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * n));
    b.plan = fftwf_plan_dft_2d(s.h, s.w, b.in, b.out, FFTW_FORWARD, flags);
    const std::vector<float> values = vxbench::randomFloats(2 * n);
    std::memcpy(b.in, values.data(), values.size() * sizeof(float));
  } else {
    b.real = static_cast<float*>(fftwf_malloc(sizeof(float) * n));
    b.plan = fftwf_plan_dft_r2c_2d(s.h, s.w, b.real, b.out, flags);
    const std::vector<unsigned char> samples = vxbench::randomImage(s.w, s.h);
    for (std::size_t i = 0; i < n; ++i) b.real[i] = samples[i];
  }
  for (auto _ : state) {
    fftwf_execute(b.plan);
    benchmark::DoNotOptimize(b.out);
  }
  vxbench::setPixelCounters(state, s);
}
#endif

const bool kRegisteredMore = [] {
  const Size squares[] = {{256, 256}, {512, 512}, {1024, 1024}, {2048, 2048}};
  for (Size s : squares)
    for (const bool extended : {false, true}) {
      const char* mode = extended ? "extended" : "compatible";
      benchmark::RegisterBenchmark(vxbench::name("mode_real_fwd_u8", mode, s).c_str(),
                                   modeRealForward, s, extended)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(vxbench::name("mode_complex_fwd", mode, s).c_str(),
                                   modeComplexForward, s, extended)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(vxbench::name("mode_inverse_u8", mode, s).c_str(), modeInverse,
                                   s, extended)
          ->Unit(benchmark::kMillisecond);
    }
  for (Size s : squares) {
    if (s.w < 512) continue;
    const std::pair<const char*, Storage> storages[] = {{"fresh", Storage::Fresh},
                                                        {"reused", Storage::Reused},
                                                        {"fresh_nocache", Storage::FreshNoCache}};
    for (const auto& st : storages) {
      benchmark::RegisterBenchmark(vxbench::name("forward_u8", st.first, s).c_str(), forwardInto, s,
                                   st.second)
          ->Unit(benchmark::kMillisecond);
      if (st.second == Storage::FreshNoCache) continue;
      benchmark::RegisterBenchmark(vxbench::name("magnitude_image", st.first, s).c_str(),
                                   magnitudeInto, s, st.second)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(vxbench::name("log_map", st.first, s).c_str(), logMapInto, s,
                                   st.second)
          ->Unit(benchmark::kMillisecond);
    }
  }
  for (Size s : squares)
    for (long threads : {1L, 2L, 4L, 16L, 64L})
      benchmark::RegisterBenchmark(
          vxbench::name("pool_fwd_u8", std::to_string(threads) + "t", s).c_str(), poolForward, s,
          threads)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
  const Size large[] = {{4096, 4096}, {8192, 8192}, {2448, 2048}, {4000, 3000}};
  // The real-input forward at every size, the complex one at the square ones, each
  // against FFTW's transform of the same size when it is built in.
  struct Large {
    const char* name;
    void (*ours)(benchmark::State&, Size, bool);
    bool complex;
  };
  for (Size s : large)
    for (const Large& l : {Large{"large_real_fwd_u8", modeRealForward, false},
                           Large{"large_complex_fwd", modeComplexForward, true}}) {
      if (l.complex && s.w != s.h) continue;
      benchmark::RegisterBenchmark(vxbench::name(l.name, "extended", s).c_str(), l.ours, s, true)
          ->Unit(benchmark::kMillisecond);
#ifdef VXFREQ_BENCH_FFTW
      benchmark::RegisterBenchmark(vxbench::name(l.name, "fftw", s).c_str(), fftwLarge, s,
                                   l.complex)
          ->Unit(benchmark::kMillisecond);
#endif
    }
  return true;
}();

}  // namespace
