// The library's public transforms against FFTW, OpenCV and KissFFT, each peer only
// when it was found at configure time, in the same process: single-threaded, and
// with 2 threads as "<implementation>_2t" (vxfreq: a vxThreadPool of 2 and a
// vxParallelScope; FFTW: fftwf_plan_with_nthreads(2); OpenCV: cv::setNumThreads(2)).
//
//   complex_fwd, complex_inv  2-D complex transform between two buffers
//                             (vfForwardFFT / vfInverseFFT; peers out of place)
//   real_fwd_u8               the full spectrum of an 8-bit image (vfForwardFFT<uchar>);
//                             peers convert the samples to float and run their
//                             real-input transform; "fftw_r2c" times FFTW's
//                             transform alone, on samples converted beforehand
//   inverse_u8                an 8-bit magnitude image from a spectrum
//                             (vfInverseFFT<uchar>, normalize false; peers: inverse
//                             transform, magnitude, scaling and rounding)
//   gabor_job                 the whole Gabor job on an 8-bit image: forward transform,
//                             vxFrequencyFilterGabor::apply (which marks the band of
//                             rows the inverse may skip), inverse to an 8-bit image;
//                             FFTW: conversion, forward c2c, multiplication by the same
//                             gains, inverse c2c, magnitude and rounding
//   display_job               the spectrum shown as a picture: forward transform of an
//                             8-bit image, centred magnitude image, logarithmic map to
//                             8 bits; peers: the same steps written with their own calls
//   magnitude_image, log_map  the two display steps alone (vxfreq only)
//   log_map_sparse            the logarithmic map of a printed-target-like picture
//                             (a grid of squares), whose spectrum is mostly exact zeros
//   stream/memcpy             one read and one write of the W x H complex array, the
//                             floor no transform can beat
//
// bench/ratios.py turns the JSON output into the table of ratios.
#include "bench_common.h"
#include "filt/buffer/access.h"
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "filt/parallel.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <vector>

#ifdef VXFREQ_BENCH_FFTW
#include <fftw3.h>
#endif
#ifdef VXFREQ_BENCH_FFTW_THREADS
#include <mutex>
#endif
#ifdef VXFREQ_BENCH_OPENCV
#include <opencv2/core.hpp>
#endif
#ifdef VXFREQ_BENCH_KISSFFT
#include <kiss_fft.h>
#include <kiss_fftnd.h>
#include <kiss_fftr.h>
#endif

namespace {

using vxbench::Size;
using Access = vx_detail::FrequencyBufferAccess;

std::size_t pixels(Size s) { return static_cast<std::size_t>(s.w) * s.h; }

// A buffer holding random complex values.
vxFrequencyBuffer randomBuffer(Size s) {
  vxFrequencyBuffer b(s.w, s.h);
  const std::vector<float> values = vxbench::randomFloats(2 * pixels(s));
  std::memcpy(Access::data(b), values.data(), values.size() * sizeof(float));
  return b;
}

vxPelBuffer<unsigned char> imageOf(Size s) {
  const std::vector<unsigned char> samples = vxbench::randomImage(s.w, s.h);
  vxPelBuffer<unsigned char> image(s.w, s.h, 32);
  for (int y = 0; y < s.h; ++y)
    std::memcpy(image.pointToOffset() + y * image.stride(),
                &samples[static_cast<std::size_t>(y) * s.w], s.w);
  return image;
}

// The spectrum of the test image, the input of the inverse benchmarks.
vxFrequencyBuffer imageSpectrum(Size s) {
  vxFrequencyBuffer b;
  vfForwardFFT<unsigned char>(imageOf(s), b);
  return b;
}

// What the peers do after their inverse transform: magnitude, scale, round.
void magnitudeToU8(const float* values, std::size_t count, float scale, unsigned char* out) {
  for (std::size_t i = 0; i < count; ++i) {
    const float re = values[2 * i];
    const float im = values[2 * i + 1];
    out[i] =
        static_cast<unsigned char>(static_cast<int>(std::sqrt(re * re + im * im) * scale + 0.5f));
  }
}

float inverseScale(Size s) { return static_cast<float>(1.0 / (static_cast<double>(s.w) * s.h)); }

// ---- vxfreq; with more than one thread its calls run under a scope of a pool made
// before the timing starts.

struct Threads {
  explicit Threads(long n) : pool(n), scope(pool) {}
  vxThreadPool pool;
  vxParallelScope scope;
};

std::unique_ptr<Threads> threadsFor(long n) {
  return n > 1 ? std::make_unique<Threads>(n) : nullptr;
}

void vxComplex(benchmark::State& state, Size s, bool forward, long threads = 1) {
  const auto pool = threadsFor(threads);
  const vxFrequencyBuffer in = randomBuffer(s);
  vxFrequencyBuffer out = in;
  for (auto _ : state) {
    if (forward)
      vfForwardFFT(in, out);
    else
      vfInverseFFT(in, out);
    benchmark::DoNotOptimize(Access::data(out));
  }
  vxbench::setPixelCounters(state, s);
}

void vxRealU8(benchmark::State& state, Size s, long threads = 1) {
  const auto pool = threadsFor(threads);
  const vxPelBuffer<unsigned char> image = imageOf(s);
  vxFrequencyBuffer spectrum;
  for (auto _ : state) {
    vfForwardFFT<unsigned char>(image, spectrum);
    benchmark::DoNotOptimize(Access::data(spectrum));
  }
  vxbench::setPixelCounters(state, s);
}

// The filter of the Gabor job: a narrow lobe, so most rows of the filtered
// spectrum are zero.
vxFrequencyFilterGabor jobFilter(Size s) {
  return vxFrequencyFilterGabor(vxPair<double>(0.02, 0.01), vxPair<double>(0.0, 0.0), vxRadian(0.5),
                                0.2, vxPair<long>(s.w, s.h), 0);
}

void vxGaborJob(benchmark::State& state, Size s, long threads = 1) {
  const auto pool = threadsFor(threads);
  const vxPelBuffer<unsigned char> image = imageOf(s);
  const vxFrequencyFilterGabor gabor = jobFilter(s);
  vxFrequencyBuffer spectrum;
  vxPelBuffer<unsigned char> out(s.w, s.h, 32);
  for (auto _ : state) {
    vfForwardFFT<unsigned char>(image, spectrum);
    gabor.apply(spectrum);
    vfInverseFFT<unsigned char>(spectrum, out, false, true);
    benchmark::DoNotOptimize(out.pointToOffset());
  }
  vxbench::setPixelCounters(state, s);
}

void vxInverseU8(benchmark::State& state, Size s, long threads = 1) {
  const auto pool = threadsFor(threads);
  const vxFrequencyBuffer spectrum = imageSpectrum(s);
  vxPelBuffer<unsigned char> out(s.w, s.h, 32);
  for (auto _ : state) {
    vfInverseFFT<unsigned char>(spectrum, out, false);
    benchmark::DoNotOptimize(out.pointToOffset());
  }
  vxbench::setPixelCounters(state, s);
}

void vxDisplayJob(benchmark::State& state, Size s, long threads = 1) {
  const auto pool = threadsFor(threads);
  const vxPelBuffer<unsigned char> image = imageOf(s);
  vxFrequencyBuffer spectrum;
  for (auto _ : state) {
    vfForwardFFT<unsigned char>(image, spectrum);
    const vxPelBuffer<unsigned char> shown = vfFrequencyMapImage(
        spectrum.getMagnitudeImage(true), vxFrequencyDefs::Logarithmic, 0.0, 0.0);
    benchmark::DoNotOptimize(shown.pointToOffset());
  }
  vxbench::setPixelCounters(state, s);
}

void vxMagnitudeImage(benchmark::State& state, Size s) {
  const vxFrequencyBuffer spectrum = imageSpectrum(s);
  for (auto _ : state) {
    const vxPelBuffer<double> magnitude = spectrum.getMagnitudeImage(true);
    benchmark::DoNotOptimize(magnitude.pointToOffset());
  }
  vxbench::setPixelCounters(state, s);
}

void vxLogMap(benchmark::State& state, Size s, bool sparse = false) {
  vxFrequencyBuffer spectrum = imageSpectrum(s);
  if (sparse) {
    vxPelBuffer<unsigned char> grid(s.w, s.h, 32);
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) grid.at(x, y) = ((x / 16 + y / 16) % 2) != 0 ? 200 : 30;
    vfForwardFFT<unsigned char>(grid, spectrum);
  }
  const vxPelBuffer<double> magnitude = spectrum.getMagnitudeImage(true);
  for (auto _ : state) {
    const vxPelBuffer<unsigned char> shown =
        vfFrequencyMapImage(magnitude, vxFrequencyDefs::Logarithmic, 0.0, 0.0);
    benchmark::DoNotOptimize(shown.pointToOffset());
  }
  vxbench::setPixelCounters(state, s);
}

// The display steps after a transform, as a peer's user writes them: centred
// magnitudes, their largest value, log(1 + m) scaled so that it reaches 255.
void logDisplay(const float* values, Size s, std::vector<double>& magnitude, unsigned char* out) {
  double top = 0.0;
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * s.w + x;
      const double m = std::sqrt(static_cast<double>(values[2 * i]) * values[2 * i] +
                                 static_cast<double>(values[2 * i + 1]) * values[2 * i + 1]);
      magnitude[static_cast<std::size_t>((y + s.h / 2) % s.h) * s.w + (x + s.w / 2) % s.w] = m;
      top = std::max(top, m);
    }
  const double g = 255.0 / std::log(std::max(top, 2.0));
  for (std::size_t i = 0; i < pixels(s); ++i)
    out[i] = static_cast<unsigned char>(std::log(magnitude[i] + 1.0) * g);
}

// In place: the buffer's own storage is transformed, so it is restored before each
// iteration (not timed).
void vxInverseU8InPlace(benchmark::State& state, Size s) {
  const vxFrequencyBuffer spectrum = imageSpectrum(s);
  vxFrequencyBuffer work = spectrum;
  vxPelBuffer<unsigned char> out(s.w, s.h, 32);
  for (auto _ : state) {
    state.PauseTiming();
    work = spectrum;
    state.ResumeTiming();
    vfInverseFFT<unsigned char>(work, out, false, true);
    benchmark::DoNotOptimize(out.pointToOffset());
  }
  vxbench::setPixelCounters(state, s);
}

void streamCopy(benchmark::State& state, Size s) {
  const std::vector<float> in = vxbench::randomFloats(2 * pixels(s));
  std::vector<float> out(in.size());
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size() * sizeof(float));
    benchmark::DoNotOptimize(out.data());
  }
  vxbench::setPixelCounters(state, s);
}

#ifdef VXFREQ_BENCH_FFTW
// ---- FFTW, planned with FFTW_MEASURE (planning is not timed)

struct FftwFree {
  void operator()(void* p) const { fftwf_free(p); }
};
template <class T>
std::unique_ptr<T, FftwFree> fftwArray(std::size_t count) {
  return std::unique_ptr<T, FftwFree>(static_cast<T*>(fftwf_malloc(count * sizeof(T))));
}

// Plans made while one of these lives use `threads` threads (FFTW's threads library,
// when it was found; otherwise the benchmarks with more than one thread are left out).
class FftwThreads {
public:
  explicit FftwThreads(long threads) {
#ifdef VXFREQ_BENCH_FFTW_THREADS
    static std::once_flag once;
    std::call_once(once, [] { fftwf_init_threads(); });
    fftwf_plan_with_nthreads(static_cast<int>(threads));
#else
    (void)threads;
#endif
  }
  ~FftwThreads() {
#ifdef VXFREQ_BENCH_FFTW_THREADS
    fftwf_plan_with_nthreads(1);
#endif
  }
  FftwThreads(const FftwThreads&) = delete;
  FftwThreads& operator=(const FftwThreads&) = delete;
};

void fftwComplex(benchmark::State& state, Size s, bool forward, long threads = 1) {
  auto in = fftwArray<fftwf_complex>(pixels(s));
  auto out = fftwArray<fftwf_complex>(pixels(s));
  fftwf_plan plan = nullptr;
  {
    const FftwThreads planning(threads);
    plan = fftwf_plan_dft_2d(s.h, s.w, in.get(), out.get(), forward ? FFTW_FORWARD : FFTW_BACKWARD,
                             FFTW_MEASURE);
  }
  const std::vector<float> values = vxbench::randomFloats(2 * pixels(s));
  std::memcpy(in.get(), values.data(), values.size() * sizeof(float));
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out.get());
  }
  fftwf_destroy_plan(plan);
  vxbench::setPixelCounters(state, s);
}

void fftwRealU8(benchmark::State& state, Size s, bool convert, long threads = 1) {
  auto in = fftwArray<float>(pixels(s));
  auto out = fftwArray<fftwf_complex>(static_cast<std::size_t>(s.h) * (s.w / 2 + 1));
  fftwf_plan plan = nullptr;
  {
    const FftwThreads planning(threads);
    plan = fftwf_plan_dft_r2c_2d(s.h, s.w, in.get(), out.get(), FFTW_MEASURE);
  }
  const std::vector<unsigned char> image = vxbench::randomImage(s.w, s.h);
  for (std::size_t i = 0; i < pixels(s); ++i) in.get()[i] = image[i];
  for (auto _ : state) {
    if (convert)
      for (std::size_t i = 0; i < pixels(s); ++i) in.get()[i] = image[i];
    fftwf_execute(plan);
    benchmark::DoNotOptimize(out.get());
  }
  fftwf_destroy_plan(plan);
  vxbench::setPixelCounters(state, s);
}

void fftwGaborJob(benchmark::State& state, Size s, long threads = 1) {
  auto data = fftwArray<fftwf_complex>(pixels(s));
  fftwf_plan forward = nullptr, backward = nullptr;
  {
    const FftwThreads planning(threads);
    forward = fftwf_plan_dft_2d(s.h, s.w, data.get(), data.get(), FFTW_FORWARD, FFTW_MEASURE);
    backward = fftwf_plan_dft_2d(s.h, s.w, data.get(), data.get(), FFTW_BACKWARD, FFTW_MEASURE);
  }
  // The same gains, read off the filter applied to a buffer of ones (not timed).
  vxFrequencyBuffer ones(s.w, s.h);
  float* o = Access::data(ones);
  for (std::size_t i = 0; i < pixels(s); ++i) o[2 * i] = 1.0f;
  jobFilter(s).apply(ones);
  std::vector<float> gain(pixels(s));
  for (std::size_t i = 0; i < pixels(s); ++i) gain[i] = o[2 * i];
  const std::vector<unsigned char> samples = vxbench::randomImage(s.w, s.h);
  std::vector<unsigned char> image(pixels(s));
  const float scale = inverseScale(s);
  float* d = reinterpret_cast<float*>(data.get());
  for (auto _ : state) {
    for (std::size_t i = 0; i < pixels(s); ++i) {
      d[2 * i] = samples[i];
      d[2 * i + 1] = 0.0f;
    }
    fftwf_execute(forward);
    for (std::size_t i = 0; i < pixels(s); ++i) {
      d[2 * i] *= gain[i];
      d[2 * i + 1] *= gain[i];
    }
    fftwf_execute(backward);
    magnitudeToU8(d, pixels(s), scale, image.data());
    benchmark::DoNotOptimize(image.data());
  }
  fftwf_destroy_plan(forward);
  fftwf_destroy_plan(backward);
  vxbench::setPixelCounters(state, s);
}

void fftwInverseU8(benchmark::State& state, Size s, long threads = 1) {
  auto in = fftwArray<fftwf_complex>(pixels(s));
  auto out = fftwArray<fftwf_complex>(pixels(s));
  fftwf_plan plan = nullptr;
  {
    const FftwThreads planning(threads);
    plan = fftwf_plan_dft_2d(s.h, s.w, in.get(), out.get(), FFTW_BACKWARD, FFTW_MEASURE);
  }
  const vxFrequencyBuffer spectrum = imageSpectrum(s);
  std::memcpy(in.get(), Access::data(spectrum), 2 * pixels(s) * sizeof(float));
  std::vector<unsigned char> image(pixels(s));
  const float scale = inverseScale(s);
  for (auto _ : state) {
    fftwf_execute(plan);
    magnitudeToU8(reinterpret_cast<const float*>(out.get()), pixels(s), scale, image.data());
    benchmark::DoNotOptimize(image.data());
  }
  fftwf_destroy_plan(plan);
  vxbench::setPixelCounters(state, s);
}

void fftwDisplayJob(benchmark::State& state, Size s, long threads = 1) {
  auto data = fftwArray<fftwf_complex>(pixels(s));
  fftwf_plan plan = nullptr;
  {
    const FftwThreads planning(threads);
    plan = fftwf_plan_dft_2d(s.h, s.w, data.get(), data.get(), FFTW_FORWARD, FFTW_MEASURE);
  }
  const std::vector<unsigned char> samples = vxbench::randomImage(s.w, s.h);
  std::vector<double> magnitude(pixels(s));
  std::vector<unsigned char> image(pixels(s));
  float* d = reinterpret_cast<float*>(data.get());
  for (auto _ : state) {
    for (std::size_t i = 0; i < pixels(s); ++i) {
      d[2 * i] = samples[i];
      d[2 * i + 1] = 0.0f;
    }
    fftwf_execute(plan);
    logDisplay(d, s, magnitude, image.data());
    benchmark::DoNotOptimize(image.data());
  }
  fftwf_destroy_plan(plan);
  vxbench::setPixelCounters(state, s);
}
#endif

#ifdef VXFREQ_BENCH_OPENCV
// ---- OpenCV cv::dft on `threads` threads

void cvComplex(benchmark::State& state, Size s, bool forward, int threads = 1) {
  cv::setNumThreads(threads);
  cv::Mat in(s.h, s.w, CV_32FC2);
  const std::vector<float> values = vxbench::randomFloats(2 * pixels(s));
  std::memcpy(in.ptr<float>(), values.data(), values.size() * sizeof(float));
  cv::Mat out;
  for (auto _ : state) {
    cv::dft(in, out, forward ? 0 : cv::DFT_INVERSE);
    benchmark::DoNotOptimize(out.data);
  }
  vxbench::setPixelCounters(state, s);
}

void cvRealU8(benchmark::State& state, Size s, int threads = 1) {
  cv::setNumThreads(threads);
  const std::vector<unsigned char> samples = vxbench::randomImage(s.w, s.h);
  const cv::Mat image(s.h, s.w, CV_8U, const_cast<unsigned char*>(samples.data()));
  cv::Mat asFloat, spectrum;
  for (auto _ : state) {
    image.convertTo(asFloat, CV_32F);
    cv::dft(asFloat, spectrum, cv::DFT_COMPLEX_OUTPUT);
    benchmark::DoNotOptimize(spectrum.data);
  }
  vxbench::setPixelCounters(state, s);
}

void cvInverseU8(benchmark::State& state, Size s, int threads = 1) {
  cv::setNumThreads(threads);
  const vxFrequencyBuffer spectrumBuffer = imageSpectrum(s);
  cv::Mat spectrum(s.h, s.w, CV_32FC2);
  std::memcpy(spectrum.ptr<float>(), Access::data(spectrumBuffer), 2 * pixels(s) * sizeof(float));
  cv::Mat result, magnitude, image;
  cv::Mat planes[2];
  for (auto _ : state) {
    cv::dft(spectrum, result, cv::DFT_INVERSE | cv::DFT_SCALE);
    cv::split(result, planes);
    cv::magnitude(planes[0], planes[1], magnitude);
    magnitude.convertTo(image, CV_8U);
    benchmark::DoNotOptimize(image.data);
  }
  vxbench::setPixelCounters(state, s);
}

// The display job with OpenCV's own calls: the quadrant swap by four copies.
void cvDisplayJob(benchmark::State& state, Size s, int threads = 1) {
  cv::setNumThreads(threads);
  const std::vector<unsigned char> samples = vxbench::randomImage(s.w, s.h);
  const cv::Mat image(s.h, s.w, CV_8U, const_cast<unsigned char*>(samples.data()));
  cv::Mat asFloat, spectrum, magnitude, centred(s.h, s.w, CV_32F), shown;
  cv::Mat planes[2];
  const int hw = s.w / 2, hh = s.h / 2;
  for (auto _ : state) {
    image.convertTo(asFloat, CV_32F);
    cv::dft(asFloat, spectrum, cv::DFT_COMPLEX_OUTPUT);
    cv::split(spectrum, planes);
    cv::magnitude(planes[0], planes[1], magnitude);
    magnitude += 1.0;
    cv::log(magnitude, magnitude);
    magnitude(cv::Rect(0, 0, hw, hh)).copyTo(centred(cv::Rect(hw, hh, hw, hh)));
    magnitude(cv::Rect(hw, 0, hw, hh)).copyTo(centred(cv::Rect(0, hh, hw, hh)));
    magnitude(cv::Rect(0, hh, hw, hh)).copyTo(centred(cv::Rect(hw, 0, hw, hh)));
    magnitude(cv::Rect(hw, hh, hw, hh)).copyTo(centred(cv::Rect(0, 0, hw, hh)));
    cv::normalize(centred, shown, 0, 255, cv::NORM_MINMAX, CV_8U);
    benchmark::DoNotOptimize(shown.data);
  }
  vxbench::setPixelCounters(state, s);
}
#endif

#ifdef VXFREQ_BENCH_KISSFFT
// ---- KissFFT

struct KissFree {
  void operator()(void* p) const { kiss_fft_free(p); }
};

void kissComplex(benchmark::State& state, Size s, bool forward) {
  const int dims[2] = {s.h, s.w};
  std::unique_ptr<kiss_fftnd_state, KissFree> cfg(
      kiss_fftnd_alloc(dims, 2, forward ? 0 : 1, nullptr, nullptr));
  const std::vector<float> values = vxbench::randomFloats(2 * pixels(s));
  std::vector<kiss_fft_cpx> in(pixels(s)), out(pixels(s));
  std::memcpy(in.data(), values.data(), values.size() * sizeof(float));
  for (auto _ : state) {
    kiss_fftnd(cfg.get(), in.data(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  vxbench::setPixelCounters(state, s);
}

// The real-input 2-D transform as kiss_fftndr composes it: kiss_fftr along the rows,
// then kiss_fft down the W/2 + 1 columns. (kiss_fftndr_alloc of the Debian build
// returns null, so the composition is written out here.)
void kissRealU8(benchmark::State& state, Size s) {
  const int half = s.w / 2 + 1;
  std::unique_ptr<kiss_fftr_state, KissFree> rows(kiss_fftr_alloc(s.w, 0, nullptr, nullptr));
  std::unique_ptr<kiss_fft_state, KissFree> columns(kiss_fft_alloc(s.h, 0, nullptr, nullptr));
  const std::vector<unsigned char> image = vxbench::randomImage(s.w, s.h);
  std::vector<float> in(pixels(s));
  std::vector<kiss_fft_cpx> out(static_cast<std::size_t>(s.h) * half), column(s.h);
  for (auto _ : state) {
    for (std::size_t i = 0; i < pixels(s); ++i) in[i] = image[i];
    for (int y = 0; y < s.h; ++y)
      kiss_fftr(rows.get(), &in[static_cast<std::size_t>(y) * s.w],
                &out[static_cast<std::size_t>(y) * half]);
    for (int x = 0; x < half; ++x) {
      kiss_fft_stride(columns.get(), &out[x], column.data(), half);
      for (int y = 0; y < s.h; ++y) out[static_cast<std::size_t>(y) * half + x] = column[y];
    }
    benchmark::DoNotOptimize(out.data());
  }
  vxbench::setPixelCounters(state, s);
}

void kissInverseU8(benchmark::State& state, Size s) {
  const int dims[2] = {s.h, s.w};
  std::unique_ptr<kiss_fftnd_state, KissFree> cfg(kiss_fftnd_alloc(dims, 2, 1, nullptr, nullptr));
  const vxFrequencyBuffer spectrum = imageSpectrum(s);
  std::vector<kiss_fft_cpx> in(pixels(s)), out(pixels(s));
  std::memcpy(in.data(), Access::data(spectrum), 2 * pixels(s) * sizeof(float));
  std::vector<unsigned char> image(pixels(s));
  const float scale = inverseScale(s);
  for (auto _ : state) {
    kiss_fftnd(cfg.get(), in.data(), out.data());
    magnitudeToU8(reinterpret_cast<const float*>(out.data()), pixels(s), scale, image.data());
    benchmark::DoNotOptimize(image.data());
  }
  vxbench::setPixelCounters(state, s);
}
#endif

template <class F>
void add(const std::string& name, F run) {
  benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(name.c_str(), run);
  b->Unit(benchmark::kMillisecond);
  // With more than one thread the wall time is what counts.
  if (name.find("_2t/") != std::string::npos) b->UseRealTime();
}

int registerComparisons() {
  for (Size s : vxbench::sizes()) {
    using vxbench::name;
    add(name("complex_fwd", "vxfreq", s), [=](benchmark::State& st) { vxComplex(st, s, true); });
    add(name("complex_inv", "vxfreq", s), [=](benchmark::State& st) { vxComplex(st, s, false); });
    add(name("real_fwd_u8", "vxfreq", s), [=](benchmark::State& st) { vxRealU8(st, s); });
    add(name("inverse_u8", "vxfreq", s), [=](benchmark::State& st) { vxInverseU8(st, s); });
    add(name("inverse_u8", "vxfreq_inplace", s),
        [=](benchmark::State& st) { vxInverseU8InPlace(st, s); });
    add(name("gabor_job", "vxfreq", s), [=](benchmark::State& st) { vxGaborJob(st, s); });
    add(name("stream", "memcpy", s), [=](benchmark::State& st) { streamCopy(st, s); });
    add(name("display_job", "vxfreq", s), [=](benchmark::State& st) { vxDisplayJob(st, s); });
    add(name("magnitude_image", "vxfreq", s),
        [=](benchmark::State& st) { vxMagnitudeImage(st, s); });
    add(name("log_map", "vxfreq", s), [=](benchmark::State& st) { vxLogMap(st, s); });
    add(name("log_map_sparse", "vxfreq", s), [=](benchmark::State& st) { vxLogMap(st, s, true); });
    add(name("complex_fwd", "vxfreq_2t", s),
        [=](benchmark::State& st) { vxComplex(st, s, true, 2); });
    add(name("real_fwd_u8", "vxfreq_2t", s), [=](benchmark::State& st) { vxRealU8(st, s, 2); });
    add(name("inverse_u8", "vxfreq_2t", s), [=](benchmark::State& st) { vxInverseU8(st, s, 2); });
    add(name("gabor_job", "vxfreq_2t", s), [=](benchmark::State& st) { vxGaborJob(st, s, 2); });
    add(name("display_job", "vxfreq_2t", s), [=](benchmark::State& st) { vxDisplayJob(st, s, 2); });
#ifdef VXFREQ_BENCH_FFTW
    add(name("complex_fwd", "fftw", s), [=](benchmark::State& st) { fftwComplex(st, s, true); });
    add(name("complex_inv", "fftw", s), [=](benchmark::State& st) { fftwComplex(st, s, false); });
    add(name("real_fwd_u8", "fftw", s), [=](benchmark::State& st) { fftwRealU8(st, s, true); });
    add(name("real_fwd_u8", "fftw_r2c", s),
        [=](benchmark::State& st) { fftwRealU8(st, s, false); });
    add(name("inverse_u8", "fftw", s), [=](benchmark::State& st) { fftwInverseU8(st, s); });
    add(name("gabor_job", "fftw", s), [=](benchmark::State& st) { fftwGaborJob(st, s); });
    add(name("display_job", "fftw", s), [=](benchmark::State& st) { fftwDisplayJob(st, s); });
#endif
#ifdef VXFREQ_BENCH_FFTW_THREADS
    add(name("complex_fwd", "fftw_2t", s),
        [=](benchmark::State& st) { fftwComplex(st, s, true, 2); });
    add(name("real_fwd_u8", "fftw_2t", s),
        [=](benchmark::State& st) { fftwRealU8(st, s, true, 2); });
    add(name("inverse_u8", "fftw_2t", s), [=](benchmark::State& st) { fftwInverseU8(st, s, 2); });
    add(name("gabor_job", "fftw_2t", s), [=](benchmark::State& st) { fftwGaborJob(st, s, 2); });
    add(name("display_job", "fftw_2t", s), [=](benchmark::State& st) { fftwDisplayJob(st, s, 2); });
#endif
#ifdef VXFREQ_BENCH_OPENCV
    add(name("complex_fwd", "opencv", s), [=](benchmark::State& st) { cvComplex(st, s, true); });
    add(name("complex_inv", "opencv", s), [=](benchmark::State& st) { cvComplex(st, s, false); });
    add(name("real_fwd_u8", "opencv", s), [=](benchmark::State& st) { cvRealU8(st, s); });
    add(name("inverse_u8", "opencv", s), [=](benchmark::State& st) { cvInverseU8(st, s); });
    add(name("display_job", "opencv", s), [=](benchmark::State& st) { cvDisplayJob(st, s); });
    add(name("complex_fwd", "opencv_2t", s),
        [=](benchmark::State& st) { cvComplex(st, s, true, 2); });
    add(name("real_fwd_u8", "opencv_2t", s), [=](benchmark::State& st) { cvRealU8(st, s, 2); });
    add(name("inverse_u8", "opencv_2t", s), [=](benchmark::State& st) { cvInverseU8(st, s, 2); });
    add(name("display_job", "opencv_2t", s), [=](benchmark::State& st) { cvDisplayJob(st, s, 2); });
#endif
#ifdef VXFREQ_BENCH_KISSFFT
    add(name("complex_fwd", "kissfft", s), [=](benchmark::State& st) { kissComplex(st, s, true); });
    add(name("complex_inv", "kissfft", s),
        [=](benchmark::State& st) { kissComplex(st, s, false); });
    add(name("real_fwd_u8", "kissfft", s), [=](benchmark::State& st) { kissRealU8(st, s); });
    add(name("inverse_u8", "kissfft", s), [=](benchmark::State& st) { kissInverseU8(st, s); });
#endif
  }
  return 0;
}

const int registered = registerComparisons();

}  // namespace
