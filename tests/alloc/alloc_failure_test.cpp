// Allocation failure at every allocation of the main operations: std::bad_alloc
// propagates, nothing leaks (checked by the sanitizer build's leak checker), and
// every object involved stays usable.
#include "alloc_hook.h"
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "filt/parallel.h"

#include "filters/test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <sstream>
#include <string>

namespace {

using filter_test::patternImage;
using filter_test::samePixels;

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

// Peak memory of a 2048 x 2048 8-bit round trip on the default path: the copying
// inverse needs its result beside the spectrum, the in-place one nothing more. The first
// call of an engine at a size may time its paths on a copy of its input: one spectrum
// more, once.
TEST(Memory, A2048SquareRoundTripStaysWithinTwoSpectraAndTheImages) {
  const long n = 2048;
  const vxPelBuffer<unsigned char> image = patternImage(n, n, {0, 0});
  const std::size_t spectrumBytes = 2 * sizeof(float) * n * n;  // 32 MiB
  const std::size_t imageBytes = n * n;                         // 4 MiB
  const std::size_t slack = 1 << 20;                            // tables and small objects
  {
    alloc_hook::resetPeak();
    vxFrequencyBuffer spectrum;
    vfForwardFFT<unsigned char>(image, spectrum);
    vxPelBuffer<unsigned char> out;
    vfInverseFFT<unsigned char>(spectrum, out, false, false);
    EXPECT_LE(alloc_hook::peakAboveStart(), 3 * spectrumBytes + imageBytes + slack);
  }
  for (bool inPlace : {false, true}) {
    alloc_hook::resetPeak();
    vxFrequencyBuffer spectrum;
    vfForwardFFT<unsigned char>(image, spectrum);
    vxPelBuffer<unsigned char> out;
    vfInverseFFT<unsigned char>(spectrum, out, false, inPlace);
    const std::size_t peak = alloc_hook::peakAboveStart();
    ASSERT_TRUE(samePixels(out, image));
    EXPECT_LE(peak, (inPlace ? 1 : 2) * spectrumBytes + imageBytes + slack)
        << "in place: " << inPlace;
  }
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
  points += sweep(
      "forward into an empty buffer", [&] { work = vxFrequencyBuffer(); },
      [&] { vfForwardFFT<unsigned char>(image, work); }, usable);
  points += sweep(
      "forward, pair", [&] { work = vxFrequencyBuffer(3, 3); },
      [&] { vfForwardFFT<unsigned char>(image, image, work); }, usable);
  points += sweep(
      "buffer forward", [&] { work = vxFrequencyBuffer(); }, [&] { vfForwardFFT(reference, work); },
      usable);
  points += sweep(
      "inverse, copy",
      [&] {
        work = reference;
        out = vxPelBuffer<unsigned char>();
      },
      [&] { vfInverseFFT<unsigned char>(work, out, true, false); }, usable);
  points += sweep(
      "inverse, in place, quadrant",
      [&] {
        work = reference;
        out = quadrant = vxPelBuffer<unsigned char>();
      },
      [&] { vfInverseFFTQuadrant<unsigned char>(work, out, quadrant, false, true); }, usable);
  points += sweep(
      "inverse to real and imaginary",
      [&] {
        work = reference;
        re = im = vxPelBuffer<double>();
      },
      [&] { vfInverseFFT(work, re, im, false); }, usable);
  EXPECT_GT(points, 0);
}

TEST(AllocationFailure, FilterBuildsAndOutOfPlaceApply) {
  const vxPair<long> size(64, 32);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(patternImage(64, 32, {0, 0}), spectrum);
  const vxFrequencyFilterBandPass bandPass(0.02, 0.01, 0.2, size, 1);
  const vxFrequencyFilterBandReject bandReject(0.02, 0.0, 0.2, size, 1);
  const vxFrequencyFilterGabor gabor(vxPair<double>(0.02, 0.03), vxPair<double>(0.0, 0.0),
                                     vxRadian(0.5), 0.2, size, 1);
  const vxFrequencyFilterGaborReject gaborReject(gabor.sigma(), gabor.plateau(), vxRadian(0.5), 0.2,
                                                 size, 1);
  const vxFrequencyFilterImage imageFilter(spectrum);
  const vxFrequencyFilter* filters[] = {&bandPass, &bandReject, &gabor, &gaborReject, &imageFilter};
  // Builds: a failed rebuild leaves a filter that a later build repairs.
  vxFrequencyFilterBandPass bp;
  vxFrequencyFilterGabor gb;
  vxFrequencyFilterImage imf;
  auto builds = [&](const char* name, auto& f, auto unbuilt, auto build, const auto& expected) {
    return sweep(
        name, [&] { f = unbuilt; }, build,
        [&] {
          build();
          ASSERT_TRUE(f == expected);
        });
  };
  long points = builds(
      "band-pass build", bp, vxFrequencyFilterBandPass(0.01, 0.0, 0.1, {8, 8}, 0),
      [&] { bp.set(0.02, 0.01, 0.2, size, 1); }, bandPass);
  points += builds(
      "Gabor build", gb, vxFrequencyFilterGabor(),
      [&] { gb.set(gabor.sigma(), gabor.plateau(), vxRadian(0.5), 0.2, size, 1); }, gabor);
  points += builds(
      "image filter build", imf, vxFrequencyFilterImage(), [&] { imf.setImage(spectrum); },
      imageFilter);
  for (const vxFrequencyFilter* filter : filters) {
    vxFrequencyBuffer expected, out;
    filter->apply(spectrum, expected);
    auto apply = [&] { filter->apply(spectrum, out); };
    points += sweep(
        "apply out of place", [&] { out = vxFrequencyBuffer(); }, apply,
        [&] {
          apply();
          ASSERT_EQ(out, expected);
        });
  }
  EXPECT_GT(points, 0);
}

TEST(AllocationFailure, ArchiveLoading) {
  vxFrequencyBuffer spectrum, loaded;
  vfForwardFFT<unsigned char>(patternImage(16, 8, {2, 3}), spectrum);
  vxFrequencyFilterGabor gabor(vxPair<double>(0.05, 0.05), vxPair<double>(0.01, 0.0), vxRadian(1.0),
                               0.25, {16, 8}, 0);
  vxFrequencyFilter* asBase = &gabor;
  const std::string bufferBytes = archived([&](vxArchive& ar) { ar || spectrum; });
  const std::string filterBytes = archived([&](vxArchive& ar) { ar || asBase; });
  std::unique_ptr<vxFrequencyFilter> filter;
  auto loadBuffer = [&] {
    std::istringstream in(bufferBytes);
    vxArchive ar(in);
    ar || loaded;
  };
  auto loadFilter = [&] {
    std::istringstream in(filterBytes);
    vxArchive ar(in);
    vxFrequencyFilter* p = nullptr;
    ar || p;
    filter.reset(p);
  };
  EXPECT_GT(sweep(
                "buffer", [&] { loaded = vxFrequencyBuffer(4, 4); }, loadBuffer,
                [&] {
                  loadBuffer();
                  ASSERT_EQ(loaded, spectrum);
                }),
            0);
  EXPECT_GT(sweep(
                "filter through its base class", [&] { filter.reset(); }, loadFilter,
                [&] {
                  auto* g = dynamic_cast<vxFrequencyFilterGabor*>(filter.get());
                  ASSERT_TRUE(filter == nullptr || (g != nullptr && *g == gabor));
                }),
            0);
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
    ASSERT_TRUE(samePixels(
        vfFrequencyMapImage(work.getMagnitudeImage(true), vxFrequencyDefs::Logarithmic, 0, 0),
        map));
  };
  sweep(
      "apply and display", [&] { work = vxFrequencyBuffer(); },
      [&] {
        filter.apply(spectrum, work);
        mapped =
            vfFrequencyMapImage(work.getMagnitudeImage(true), vxFrequencyDefs::Logarithmic, 0, 0);
      },
      usable);
}
