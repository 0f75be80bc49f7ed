// The real-part inverses to images: rounding halves to even, saturation, placement, and
// filtered pictures whose highlights the magnitude conversion wraps.
#include "filt/extended.h"
#include "filt/freqfilt.h"
#include "filters/test_support.h"

#include <cmath>
#include <limits>
#include <vector>

using namespace filter_test;

namespace {

// A buffer already holding the spatial result `values` (one row, W = 8): the inverse
// reads it without a transform, so pixel x is values[x] / 8 exactly.
vxFrequencyBuffer spatialRow(const std::vector<float>& values) {
  vxFrequencyBuffer b(8, 1);
  float* d = Access::data(b);
  for (std::size_t x = 0; x < values.size(); ++x) d[2 * x] = 8.0f * values[x];
  Access::setInverseComputed(b, true);
  return b;
}

}  // namespace

TEST(RealInverse, RoundsHalvesToEvenAndSaturatesWhereTheMagnitudeWraps) {
  const float inf = std::numeric_limits<float>::infinity();
  const vxFrequencyBuffer row =
      spatialRow({2.5f, 3.5f, -0.4f, 260.0f, 254.5f, std::nanf(""), inf, 67600.0f});
  vxPelBuffer<unsigned char> u8, wrapped;
  vxPelBuffer<unsigned short> u16;
  vxPelBuffer<double> real;
  vfInverseFFTReal<unsigned char>(row, u8);
  vfInverseFFTReal<unsigned short>(row, u16);
  vfInverseFFTReal<double>(row, real);
  vfInverseFFT<unsigned char>(row, wrapped, false);
  const unsigned char e8[] = {2, 4, 0, 255, 254, 0, 255, 255};
  const unsigned short e16[] = {2, 4, 0, 260, 254, 0, 65535, 65535};
  for (long x = 0; x < 8; ++x) {
    EXPECT_EQ(u8.at(x, 0), e8[x]) << x;
    EXPECT_EQ(u16.at(x, 0), e16[x]) << x;
  }
  EXPECT_EQ(real.at(0, 0), 2.5);
  EXPECT_EQ(real.at(3, 0), 260.0);
  EXPECT_TRUE(std::isnan(real.at(5, 0)));
  EXPECT_EQ(wrapped.at(3, 0), 4);  // the magnitude kept to its low 8 bits
}

// A bright square, sharpened (a kernel of 5 with four neighbours of -1): along its edges
// the result rises far above 255 and falls below 0, which the real inverse saturates and
// the magnitude conversion wraps (490 to 234) or mirrors (-215 to 215). Every pixel is
// the rounded, clamped real part of the double inverse; forward and inverse alone give
// the picture back exactly, in place or not, at its offset, into a bound image's overlap.
TEST(RealInverse, SharpenedEdgesSaturateAndPicturesComeBack) {
  const vxExtendedScope extended;
  const long w = 300, h = 200;
  vxPelBuffer<unsigned char> picture = imageOf(
      w, h, [](long x, long y) { return x > 100 && x < 200 && y > 50 && y < 150 ? 255 : 20; });
  picture.offset(7, -3);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(picture, spectrum);
  const vxFrequencyBuffer plain = spectrum;
  // A sharpening kernel at the transform's size (the picture's own).
  const long W = spectrum.width(), H = spectrum.height();
  vxPelBuffer<double> kernel(W, H, 32);
  kernel.at(0, 0) = 5.0;
  kernel.at(1, 0) = kernel.at(W - 1, 0) = kernel.at(0, 1) = kernel.at(0, H - 1) = -1.0;
  vxFrequencyBuffer kernelSpectrum;
  vfForwardFFT<double>(kernel, kernelSpectrum);
  vxFrequencyFilterImage(kernelSpectrum).apply(spectrum);
  vxPelBuffer<unsigned char> filtered, wrapped;
  vxPelBuffer<double> re, im;
  vfInverseFFTReal<unsigned char>(spectrum, filtered);
  vfInverseFFT<unsigned char>(spectrum, wrapped, false);
  vfInverseFFT(spectrum, re, im);
  long saturated = 0, wraps = 0;
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      const double v = std::nearbyint(re.at(x, y));
      ASSERT_EQ(filtered.at(x, y), v < 0 ? 0 : (v > 255 ? 255 : v)) << x << "," << y;
      saturated += v > 255 || v < 0;
      wraps += (v > 255 && wrapped.at(x, y) < 250) || (v < 0 && wrapped.at(x, y) > 100);
    }
  EXPECT_GT(saturated, 700);
  EXPECT_EQ(wraps, saturated);
  EXPECT_EQ(filtered.offset().x, 7);

  vxFrequencyBuffer again = plain;
  vxPelBuffer<unsigned char> back, bound(w + 4, h, 32);
  bound.offset(5, -3);
  vfPelSet(bound, static_cast<unsigned char>(1));
  vfInverseFFTReal<unsigned char>(again, back, true);
  vfInverseFFTReal<unsigned char>(plain, bound);
  EXPECT_TRUE(again.inverseComputed() && !plain.inverseComputed());
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      ASSERT_EQ(back.at(x, y), picture.at(x, y)) << x << "," << y;
      ASSERT_EQ(bound.at(x + 2, y), picture.at(x, y));
    }
  EXPECT_EQ(bound.at(0, 0), 1);  // left of the picture: untouched
}
