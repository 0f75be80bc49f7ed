// Using all cores: a pool of the machine's threads, given to the library through a
// parallel scope. The band-reject job on a 2048 x 2048 picture runs on one thread and
// on all of them; the results are the same bits, only the time differs.
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "filt/parallel.h"
#include "guide_picture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

struct Result {
  vxFrequencyBuffer spectrum;          // the filtered spectrum
  vxPelBuffer<unsigned char> cleaned;  // and the picture it gives back
  double milliseconds = 0;             // the fastest of the runs
};

// The job of band_reject.cpp, `runs` times on the pool's threads.
Result removePattern(vxThreadPool& pool, const vxPelBuffer<unsigned char>& picture,
                     const vxFrequencyFilter& reject, int runs) {
  Result result;
  result.milliseconds = 1e30;
  const vxParallelScope scope(pool);  // calls on this thread may use the pool's threads
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    vfForwardFFT(picture, result.spectrum);
    reject.apply(result.spectrum);
    vfInverseFFTReal(result.spectrum, result.cleaned);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    result.milliseconds = std::min(result.milliseconds, took.count());
  }
  return result;
}

// Whether two results hold the same bits: every float of the spectra, every pixel.
bool sameBits(const Result& a, const Result& b) {
  const std::size_t floats =
      2u * static_cast<std::size_t>(a.spectrum.width() * a.spectrum.height());
  if (std::memcmp(a.spectrum.elements(), b.spectrum.elements(), floats * sizeof(float)) != 0)
    return false;
  for (long y = 0; y < a.cleaned.height(); ++y)
    if (std::memcmp(&a.cleaned.at(0, y), &b.cleaned.at(0, y),
                    static_cast<std::size_t>(a.cleaned.width())) != 0)
      return false;
  return true;
}

// The size x size pixels from (x0, y0): a part of the picture, to show.
vxPelBuffer<unsigned char> crop(const vxPelBuffer<unsigned char>& picture, long x0, long y0,
                                long size) {
  vxPelBuffer<unsigned char> part(size, size, 1);
  for (long y = 0; y < size; ++y)
    for (long x = 0; x < size; ++x) part.at(x, y) = picture.at(x0 + x, y0 + y);
  return part;
}

}  // namespace

int main() {
  const long size = 2048;
  const vxPelBuffer<unsigned char> picture = guide::surfacePicture(size, true, true);
  const double frequency = std::hypot(static_cast<double>(guide::kPatternCyclesX) / size,
                                      static_cast<double>(guide::kPatternCyclesY) / size);
  // Built once, outside any scope: it is the same filter for every run.
  const vxFrequencyFilterBandReject reject(0.004, 0.003, frequency, vxPair<long>(size, size), 0);

  // As many threads as the machine runs at once (the calling thread is one of them).
  const long threads = std::max(1L, static_cast<long>(std::thread::hardware_concurrency()));
  vxThreadPool one(1), all(threads);
  const Result alone = removePattern(one, picture, reject, 5);
  const Result shared = removePattern(all, picture, reject, 5);

  std::printf(
      "%ld x %ld band-reject job: %.1f ms on 1 thread, %.1f ms on %ld threads "
      "(%.2f times as fast)\n",
      size, size, alone.milliseconds, shared.milliseconds, all.threads(),
      alone.milliseconds / shared.milliseconds);
  const bool same = sameBits(alone, shared);
  std::printf("spectra and pictures of 1 and %ld threads: %s\n", all.threads(),
              same ? "the same bits" : "DIFFERENT");

  // Around the scratch's middle: the picture and the result of all threads.
  const long x0 = size / 2 - 128, y0 = size * 55 / 100 - 128;
  guide::writePgm("all_cores.pgm",
                  guide::sideBySide(crop(picture, x0, y0, 256), crop(shared.cleaned, x0, y0, 256)));
  return same ? 0 : 1;
}
