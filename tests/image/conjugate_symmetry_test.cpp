// Spectra known to be conjugate-symmetric: which operations keep that knowledge, and the
// inverses that use it. In the extended mode a conversion that reads only real parts,
// or the magnitudes of a symmetric spectrum, takes the real-output engine; everything
// else (angles, both parts, the compatible mode) the complex one.
#include "filt/engine/any_engine.h"
#include "filt/extended.h"
#include "filt/freqfilt.h"
#include "filters/test_support.h"
#include "platform/archive.h"

#include <cmath>
#include <sstream>
#include <vector>

using namespace filter_test;

namespace {

vxPelBuffer<unsigned char> photo(long w, long h) {
  return imageOf(w, h, [](long x, long y) {
    return static_cast<int>(100 + 60 * std::sin(0.31 * x) * std::cos(0.17 * y) + (x * y) % 37);
  });
}

// X(-u, -v) = conj X(u, v), bit for bit, in the columns that the real-input engine
// mirrors (columns 0 and W/2 come from transforms of their own, symmetric within
// rounding).
bool exactlySymmetric(const vxFrequencyBuffer& b) {
  const long w = b.width(), h = b.height();
  for (long v = 0; v < h; ++v)
    for (long u = 1; u < w; ++u) {
      if (2 * u == w) continue;
      const float* a = element(b, u, v);
      const float* m = element(b, (w - u) % w, (h - v) % h);
      if (bits(a[0]) != bits(m[0]) || bits(a[1]) != bits(-m[1])) return false;
    }
  return true;
}

bool symmetric(const vxFrequencyBuffer& b) { return Access::hermitian(b); }

// The largest |X(u, v) - conj X(-u, -v)| over the largest |X|.
double asymmetry(const vxFrequencyBuffer& b) {
  const long w = b.width(), h = b.height();
  double worst = 0.0, largest = 0.0;
  for (long v = 0; v < h; ++v)
    for (long u = 0; u < w; ++u) {
      const float* a = element(b, u, v);
      const float* m = element(b, (w - u) % w, (h - v) % h);
      worst = std::max(worst, std::hypot(double(a[0]) - m[0], double(a[1]) + m[1]));
      largest = std::max(largest, std::hypot(double(a[0]), double(a[1])));
    }
  return worst / largest;
}

}  // namespace

TEST(SymmetricSpectra, KnownThroughWhatKeepsTheSymmetryAndForgottenOtherwise) {
  const vxExtendedScope extended;
  for (const vxPair<long> size : {vxPair<long>(30, 21), vxPair<long>(64, 32)}) {
    SCOPED_TRACE(size.x);
    vxFrequencyBuffer spectrum;
    vfForwardFFT<unsigned char>(photo(size.x, size.y), spectrum);
    ASSERT_TRUE(symmetric(spectrum));
    ASSERT_TRUE(exactlySymmetric(spectrum));
    const vxPair<long> at(spectrum.width(), spectrum.height());

    // Band filters, in place and into another buffer, keep it.
    vxFrequencyBuffer banded;
    vxFrequencyFilterBandReject(0.02, 0.01, 0.2, at, 1).apply(spectrum, banded);
    EXPECT_TRUE(symmetric(banded) && exactlySymmetric(banded));
    vxFrequencyFilterBandPass(0.05, 0.0, 0.1, at, 0).apply(banded);
    EXPECT_TRUE(symmetric(banded));
    EXPECT_LT(asymmetry(banded), 1e-7);  // rounding alone
    // Copies and moves carry it; arithmetic of two symmetric spectra keeps it.
    vxFrequencyBuffer copy = banded;
    EXPECT_TRUE(symmetric(copy));
    vfFrequencyMultiply(spectrum, copy);
    vfFrequencyAdd(spectrum, copy);
    vfFrequencyConjugate(copy);
    EXPECT_TRUE(symmetric(copy) && exactlySymmetric(copy));
    vxFrequencyBuffer moved = std::move(copy);
    EXPECT_TRUE(symmetric(moved));

    // A Gabor lobe, a value put, writable storage, a complex transform, an archive and
    // arithmetic with an unknown spectrum all forget it.
    vxFrequencyBuffer gabor = spectrum;
    vxFrequencyFilterGabor(vxPair<double>(0.02, 0.02), vxPair<double>(0.0, 0.0), vxRadian(0.3), 0.2,
                           at, 0)
        .apply(gabor);
    EXPECT_FALSE(symmetric(gabor));
    vxFrequencyBuffer put = spectrum;
    put.putReal(1, 1, 5.0, false);
    EXPECT_FALSE(symmetric(put));
    vxFrequencyBuffer written = spectrum;
    const vxFrequencyBuffer& readOnly = written;
    EXPECT_NE(readOnly.elements(), nullptr);
    EXPECT_TRUE(symmetric(written));
    EXPECT_NE(written.elements(), nullptr);
    EXPECT_FALSE(symmetric(written));
    vxFrequencyBuffer transformed;
    vfForwardFFT(spectrum, transformed);
    EXPECT_FALSE(symmetric(transformed));
    vxFrequencyBuffer product = spectrum;
    vfFrequencyMultiply(gabor, product);
    EXPECT_FALSE(symmetric(product));
    std::ostringstream bytes;
    {
      vxArchive out(bytes);
      out || spectrum;
    }
    std::istringstream stored(bytes.str());
    vxFrequencyBuffer loaded;
    vxArchive in(stored);
    in || loaded;
    EXPECT_TRUE(loaded == spectrum);
    EXPECT_FALSE(symmetric(loaded));
  }
}

// The real part of the inverse is the real-output engine's result, scaled; the
// magnitudes of a symmetric spectrum are its absolute values; in place, the storage
// keeps samples with zero imaginary parts.
TEST(SymmetricSpectra, RealPartsAndSymmetricMagnitudesTakeTheRealOutputEngine) {
  const vxExtendedScope extended;
  const long w = 45, h = 28;
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(photo(w, h), spectrum);
  vxFrequencyFilterBandReject(0.02, 0.0, 0.15, vxPair<long>(w, h), 1).apply(spectrum);
  std::vector<float> engine(2 * static_cast<std::size_t>(w) * h);
  std::vector<float*> rows;
  for (long r = 0; r < h; ++r) rows.push_back(engine.data() + 2 * w * r);
  vx_detail::anyRealOutputFFT2D(Access::data(spectrum), rows.data(), w, h);
  const float s = static_cast<float>(1.0 / (w * h));

  vxPelBuffer<double> real, magnitude;
  vfInverseFFTReal<double>(spectrum, real);
  vfInverseFFT<double>(spectrum, magnitude, false);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      ASSERT_EQ(real.at(x, y), static_cast<double>(engine[2 * (w * y + x)] * s)) << x << "," << y;
      ASSERT_EQ(magnitude.at(x, y), std::fabs(real.at(x, y))) << x << "," << y;
    }

  vxFrequencyBuffer inPlace = spectrum;
  vxPelBuffer<unsigned char> u8;
  vfInverseFFT<unsigned char>(inPlace, u8, false, true);
  ASSERT_TRUE(inPlace.inverseComputed());
  for (std::size_t i = 0; i < engine.size(); ++i)
    ASSERT_EQ(bits(Access::data(inPlace)[i]), bits(engine[i])) << i;
}

// Without the symmetry the magnitudes need the complex result: the imaginary parts are
// far from zero after a Gabor lobe. An in-place real inverse keeps that complex result
// for the conversions that follow, and the compatible mode always takes it.
TEST(SymmetricSpectra, OtherSpectraAndTheCompatibleModeKeepTheComplexInverse) {
  const vxExtendedScope extended;
  const long w = 40, h = 30;
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(photo(w, h), spectrum);
  vxFrequencyFilterGabor(vxPair<double>(0.03, 0.03), vxPair<double>(0.0, 0.0), vxRadian(0.5), 0.15,
                         vxPair<long>(w, h), 0)
      .apply(spectrum);
  vxPelBuffer<double> magnitude, re, im, real;
  vfInverseFFT<double>(spectrum, magnitude, false);
  vfInverseFFT(spectrum, re, im);
  double largest = 0.0;
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      largest = std::max(largest, std::fabs(im.at(x, y)));
      EXPECT_NEAR(magnitude.at(x, y), std::hypot(re.at(x, y), im.at(x, y)), 1e-3);
    }
  EXPECT_GT(largest, 0.3);

  vxFrequencyBuffer inPlace = spectrum;
  vfInverseFFTReal<double>(inPlace, real, true);
  vxPelBuffer<double> re2, im2;
  vfInverseFFT(inPlace, re2, im2);
  EXPECT_TRUE(samePixels(im2, im));

  const vxExtendedScope compatible(false);
  vxFrequencyBuffer pow2;
  vfForwardFFT<unsigned char>(photo(32, 16), pow2);
  vfInverseFFTReal<double>(pow2, real);
  vfInverseFFT(pow2, re, im);
  EXPECT_TRUE(samePixels(real, re));
}
