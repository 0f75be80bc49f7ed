// Allocation failure at every allocation of the main operations: std::bad_alloc
// propagates, nothing leaks (checked by the sanitizer build's leak checker), and
// every object involved stays usable. Also the peak memory of a 2048 x 2048 round
// trip.
#include "alloc_hook.h"
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "filt/parallel.h"

#include "../image_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>
#include <string>

namespace {

using image_test::patternImage;
using image_test::samePixels;



// Fails allocation 1, 2, 3, ... of `run` in turn until it completes; after every
// failure `reuse` must find the objects usable. Returns the number of failure points.
long sweep(const std::string& name, const std::function<void()>& prepare,
           const std::function<void()>& run, const std::function<void()>& reuse) {
  SCOPED_TRACE(name);
  for (std::int64_t n = 1;; ++n) {
    prepare();
    bool failed = false;
    alloc_hook::arm(n);
    try {
      run();
    } catch (const std::bad_alloc&) {
      failed = true;
    }
    alloc_hook::disarm();
    reuse();
    if (!failed) return static_cast<long>(n - 1);
    if (n > 100000) {
      ADD_FAILURE() << "no end to allocations";
      return 0;
    }
  }
}

template <class F>
std::string archived(F store) {
  std::ostringstream out;
  {
    vxArchive ar(out);
    store(ar);
  }
  return out.str();
}

}  // namespace

TEST(AllocationFailure, TransformsPropagateBadAllocAndLeaveObjectsUsable) {
  const vxPelBuffer<unsigned char> image = patternImage(40, 20, {-3, -5});
  vxFrequencyBuffer reference;
  vfForwardFFT<unsigned char>(image, reference);
  vxPelBuffer<unsigned char> expected;
  vfInverseFFT<unsigned char>(reference, expected, false);

  vxFrequencyBuffer work;
  vxPelBuffer<unsigned char> out, quadrant;
  vxPelBuffer<double> re, im;
  auto usable = [&] {
    vfForwardFFT<unsigned char>(image, work);
    ASSERT_EQ(work, reference);
    vxPelBuffer<unsigned char> again;
    vfInverseFFT<unsigned char>(work, again, false, false);
    ASSERT_TRUE(samePixels(again, expected));
  };
  long points = 0;
  points += sweep("forward into an empty buffer", [&] { work = vxFrequencyBuffer(); },
                  [&] { vfForwardFFT<unsigned char>(image, work); }, usable);
  points += sweep("forward, pair", [&] { work = vxFrequencyBuffer(3, 3); },
                  [&] { vfForwardFFT<unsigned char>(image, image, work); }, usable);
  points += sweep("buffer forward", [&] { work = vxFrequencyBuffer(); },
                  [&] { vfForwardFFT(reference, work); }, usable);
  points += sweep("inverse, copy", [&] { work = reference; out = vxPelBuffer<unsigned char>(); },
                  [&] { vfInverseFFT<unsigned char>(work, out, true, false); }, usable);
  points += sweep("inverse, in place, quadrant",
                  [&] { work = reference; out = quadrant = vxPelBuffer<unsigned char>(); },
                  [&] { vfInverseFFTQuadrant<unsigned char>(work, out, quadrant, false, true); }, usable);
  points += sweep("inverse to real and imaginary",
                  [&] { work = reference; re = im = vxPelBuffer<double>(); },
                  [&] { vfInverseFFT(work, re, im, false); }, usable);
  RecordProperty("allocation_failure_points", static_cast<int>(points));
  std::cout << "transform allocation failure points: " << points << "\n";
}

TEST(AllocationFailure, FilterBuildsAndOutOfPlaceApply) {
  const vxPair<long> size(64, 32);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(patternImage(64, 32, {0, 0}), spectrum);
  const vxFrequencyFilterBandPass bandPass(0.02, 0.01, 0.2, size, 1);
  const vxFrequencyFilterBandReject bandReject(0.02, 0.0, 0.2, size, 1);
  const vxFrequencyFilterGabor gabor(vxPair<double>(0.02, 0.03), vxPair<double>(0.0, 0.0),
                                     vxRadian(0.5), 0.2, size, 1);
  const vxFrequencyFilterGaborReject gaborReject(vxPair<double>(0.02, 0.03), vxPair<double>(0.0, 0.0),
                                                 vxRadian(0.5), 0.2, size, 1);
  const vxFrequencyFilterImage imageFilter(spectrum);
  const vxFrequencyFilter* filters[] = {&bandPass, &bandReject, &gabor, &gaborReject, &imageFilter};

  long points = 0;
  // Builds: a failed rebuild leaves a filter that a later build repairs.
  vxFrequencyFilterBandPass bp;
  points += sweep("band-pass build", [&] { bp = vxFrequencyFilterBandPass(0.01, 0.0, 0.1, {8, 8}, 0); },
                  [&] { bp.set(0.02, 0.01, 0.2, size, 1); },
                  [&] {
                    bp.set(0.02, 0.01, 0.2, size, 1);
                    ASSERT_TRUE(bp == bandPass);
                  });
  vxFrequencyFilterGabor gb;
  points += sweep("Gabor build", [&] { gb = vxFrequencyFilterGabor(); },
                  [&] { gb.set(vxPair<double>(0.02, 0.03), vxPair<double>(0.0, 0.0), vxRadian(0.5), 0.2, size, 1); },
                  [&] {
                    gb.set(vxPair<double>(0.02, 0.03), vxPair<double>(0.0, 0.0), vxRadian(0.5), 0.2, size, 1);
                    ASSERT_TRUE(gb == gabor);
                  });
  std::unique_ptr<vxFrequencyFilter> copy;
  points += sweep("clone", [&] { copy.reset(); }, [&] { copy.reset(gaborReject.clone()); }, [] {});
  vxFrequencyFilterImage imf;
  points += sweep("image filter build", [&] { imf = vxFrequencyFilterImage(); },
                  [&] { imf.setImage(spectrum); }, [&] {
                    imf.setImage(spectrum);
                    ASSERT_TRUE(imf == imageFilter);
                  });

  for (const vxFrequencyFilter* filter : filters) {
    vxFrequencyBuffer expected;
    filter->apply(spectrum, expected);
    vxFrequencyBuffer out;
    points += sweep("apply out of place", [&] { out = vxFrequencyBuffer(); },
                    [&] { filter->apply(spectrum, out); }, [&] {
                      filter->apply(spectrum, out);
                      ASSERT_EQ(out, expected);
                    });
  }
  RecordProperty("allocation_failure_points", static_cast<int>(points));
  std::cout << "filter allocation failure points: " << points << "\n";
}

TEST(AllocationFailure, ArchiveLoading) {
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(patternImage(16, 8, {2, 3}), spectrum);
  vxFrequencyFilterGabor gabor(vxPair<double>(0.05, 0.05), vxPair<double>(0.01, 0.0), vxRadian(1.0),
                               0.25, {16, 8}, 0);
  vxFrequencyFilter* asBase = &gabor;
  const std::string bufferBytes = archived([&](vxArchive& ar) { ar || spectrum; });
  const std::string filterBytes = archived([&](vxArchive& ar) { ar || asBase; });

  long points = 0;
  vxFrequencyBuffer loaded;
  points += sweep("buffer", [&] { loaded = vxFrequencyBuffer(4, 4); },
                  [&] {
                    std::istringstream in(bufferBytes);
                    vxArchive ar(in);
                    ar || loaded;
                  },
                  [&] {
                    std::istringstream in(bufferBytes);
                    vxArchive ar(in);
                    ar || loaded;
                    ASSERT_EQ(loaded, spectrum);
                  });
  std::unique_ptr<vxFrequencyFilter> filter;
  points += sweep("filter through its base class", [&] { filter.reset(); },
                  [&] {
                    std::istringstream in(filterBytes);
                    vxArchive ar(in);
                    vxFrequencyFilter* p = nullptr;
                    ar || p;
                    filter.reset(p);
                  },
                  [&] {
                    if (filter == nullptr) return;
                    auto* g = dynamic_cast<vxFrequencyFilterGabor*>(filter.get());
                    ASSERT_NE(g, nullptr);
                    ASSERT_TRUE(*g == gabor);
                  });
  RecordProperty("allocation_failure_points", static_cast<int>(points));
  std::cout << "archive allocation failure points: " << points << "\n";
}

TEST(Memory, A2048SquareRoundTripStaysWithinTwoSpectraAndTheImages) {
  const long n = 2048;
  vxPelBuffer<unsigned char> image = patternImage(n, n, {0, 0});
  const std::size_t spectrumBytes = 2 * sizeof(float) * n * n;  // 32 MiB
  const std::size_t imageBytes = n * n;                          // 4 MiB

  alloc_hook::resetPeak();
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(image, spectrum);
  vxPelBuffer<unsigned char> out;
  vfInverseFFT<unsigned char>(spectrum, out, false, false);
  const std::size_t copyPeak = alloc_hook::peakAboveStart();
  ASSERT_TRUE(samePixels(out, image));

  vxFrequencyBuffer spectrum2;
  vxPelBuffer<unsigned char> out2;
  alloc_hook::resetPeak();
  vfForwardFFT<unsigned char>(image, spectrum2);
  vfInverseFFT<unsigned char>(spectrum2, out2, false, true);
  const std::size_t inPlacePeak = alloc_hook::peakAboveStart();
  ASSERT_TRUE(samePixels(out2, image));

  std::cout << "2048 x 2048 8-bit round trip, peak MiB: " << copyPeak / 1048576.0
            << " (copying inverse), " << inPlacePeak / 1048576.0 << " (in place)\n";
  RecordProperty("peak_bytes_copy", static_cast<int>(copyPeak));
  RecordProperty("peak_bytes_in_place", static_cast<int>(inPlacePeak));
  const std::size_t slack = 1 << 20;  // tables and small objects
  EXPECT_LE(copyPeak, 2 * spectrumBytes + imageBytes + slack);
  EXPECT_LE(inPlacePeak, spectrumBytes + imageBytes + slack);
}

// Under a pool, allocations fail on whichever thread makes them: the failure reaches
// the caller and the objects stay usable.
TEST(AllocationFailure, InsideTheTasksOfAPool) {
  vxThreadPool pool(2);
  const vxParallelScope scope(pool);
  vxFrequencyBuffer spectrum, work;
  vfForwardFFT<unsigned char>(patternImage(512, 256), spectrum);
  const vxFrequencyFilterBandReject filter(0.02, 0.01, 0.2, vxPair<long>(512, 256), 1);
  vxFrequencyBuffer expected;
  filter.apply(spectrum, expected);
  const vxPelBuffer<unsigned char> map =
      vfFrequencyMapImage(expected.getMagnitudeImage(true), vxFrequencyDefs::Logarithmic, 0, 0);
  vxPelBuffer<unsigned char> mapped;
  auto usable = [&] {
    filter.apply(spectrum, work);
    ASSERT_EQ(work, expected);
    ASSERT_TRUE(samePixels(vfFrequencyMapImage(work.getMagnitudeImage(true),
                                               vxFrequencyDefs::Logarithmic, 0, 0),
                           map));
  };
  sweep("apply and display", [&] { work = vxFrequencyBuffer(); },
        [&] {
          filter.apply(spectrum, work);
          mapped = vfFrequencyMapImage(work.getMagnitudeImage(true), vxFrequencyDefs::Logarithmic, 0, 0);
        },
        usable);
}
