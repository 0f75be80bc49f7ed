// Several threads transform, filter (with filters they share, read-only) and invert
// their own buffers at once; every result must equal the single-threaded one bit for
// bit. Under ThreadSanitizer (tsan preset) this shows no mutable state is shared.
#include "filt/freqfilt.h"
#include "filt/parallel.h"
#include "filters/test_support.h"

#include <thread>
#include <vector>

namespace {

using filter_test::samePixels;

constexpr int kThreads = 4;
constexpr int kIterations = 20;
constexpr long kWidth = 96, kHeight = 64;  // padded to 128 x 64

vxPelBuffer<unsigned char> imageFor(int thread) {
  vxPelBuffer<unsigned char> image = filter_test::imageOf(kWidth, kHeight, [&](long x, long y) {
    return (x * (3 + thread) + y * (7 + 2 * thread)) & 255;
  });
  image.offset(-thread, -2 * thread);
  return image;
}

struct Shared {
  Shared() { vfForwardFFT<unsigned char>(imageFor(7), common); }
  vxFrequencyFilterGabor gabor{{0.02, 0.03}, {0.01, 0.0},           vxRadian(0.7),
                               0.2,          vxPair<long>(128, 64), 1};
  vxFrequencyFilterBandReject bandReject{0.01, 0.005, 0.1, vxPair<long>(128, 64), 2};
  vxFrequencyBuffer common;  // read by every thread at once through the const API
};

struct Result {
  vxPelBuffer<unsigned char> gaborImage;
  vxPelBuffer<unsigned short> rejectImage;
  vxPelBuffer<double> commonImage;
  vxFrequencyBuffer spectrum;
};

// One thread's job: everything on its own objects except the shared, const ones.
Result job(const Shared& shared, int thread) {
  Result r;
  const vxPelBuffer<unsigned char> image = imageFor(thread);
  vfForwardFFT<unsigned char>(image, r.spectrum);
  vxFrequencyBuffer filtered;
  shared.bandReject.apply(r.spectrum, filtered);
  vfInverseFFT<unsigned short>(filtered, r.rejectImage, true, true);
  vxFrequencyBuffer gabor(r.spectrum);
  shared.gabor.apply(gabor);
  vfInverseFFT<unsigned char>(gabor, r.gaborImage, true, true);
  vfInverseFFT<double>(shared.common, r.commonImage, false);
  return r;
}

// A job large enough for its operations to split their rows under a scope.
struct SplitResult {
  vxFrequencyBuffer spectrum, filtered;
  vxPelBuffer<unsigned char> map;
};

SplitResult splitJob(int thread) {
  SplitResult r;
  const vxPelBuffer<unsigned char> image = filter_test::imageOf(
      512, 256, [&](long x, long y) { return (x * (5 + thread) + y * y) & 255; });
  vfForwardFFT<unsigned char>(image, r.spectrum);
  vxFrequencyFilterBandPass(0.02, 0.01, 0.15, vxPair<long>(512, 256), 1)
      .apply(r.spectrum, r.filtered);
  vfFrequencyMultiply(r.spectrum, r.filtered);
  r.map =
      vfFrequencyMapImage(r.filtered.getMagnitudeImage(true), vxFrequencyDefs::Logarithmic, 0, 0);
  return r;
}

bool sameResult(const Result& a, const Result& b) {
  return samePixels(a.gaborImage, b.gaborImage) && samePixels(a.rejectImage, b.rejectImage) &&
         samePixels(a.commonImage, b.commonImage) && a.spectrum == b.spectrum;
}

// Runs `same(t)` on kThreads threads at once; each must find its results the expected ones.
template <class Same>
void expectNoMismatches(Same same) {
  std::vector<int> matched(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&, t] { matched[t] = same(t); });
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(matched[t]) << "thread " << t;
}

}  // namespace

TEST(Concurrency, ThreadsOnDistinctObjectsGiveTheSingleThreadedResults) {
  const Shared shared;
  std::vector<Result> expected;
  for (int t = 0; t < kThreads; ++t) expected.push_back(job(shared, t));
  expectNoMismatches([&](int t) {
    for (int i = 0; i < kIterations; ++i)
      if (!sameResult(job(shared, t), expected[t])) return false;
    return true;
  });
}

TEST(Concurrency, ThreadsSharingOnePoolThroughScopesOfTheirOwnGiveTheSerialResults) {
  std::vector<SplitResult> expected;
  for (int t = 0; t < kThreads; ++t) expected.push_back(splitJob(t));
  vxThreadPool pool(3);
  expectNoMismatches([&](int t) {
    const vxParallelScope scope(pool);
    for (int i = 0; i < 3; ++i) {
      const SplitResult r = splitJob(t);
      if (!(r.spectrum == expected[t].spectrum && r.filtered == expected[t].filtered &&
            samePixels(r.map, expected[t].map)))
        return false;
    }
    return true;
  });
}
