// The largest supported size works end to end for every pixel type; one more is
// refused before anything changes.
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>

template <class T>
class SizeLimits : public ::testing::Test {};
using LimitPixelTypes = ::testing::Types<unsigned char, unsigned short, double>;
TYPED_TEST_SUITE(SizeLimits, LimitPixelTypes);

TYPED_TEST(SizeLimits, TwoThousandFortyEightRoundTripsAndOneMoreIsRefused) {
  using T = TypeParam;
  const long n = 2048;
  vxPelBuffer<T> image(n, n, 32);
  for (long y = 0; y < n; ++y)
    for (long x = 0; x < n; ++x) image.at(x, y) = static_cast<T>((x ^ y) & 255);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<T>(image, spectrum);
  EXPECT_EQ(spectrum.width(), n);
  EXPECT_EQ(spectrum.getReal(0, 0, false), [&] {
    double sum = 0;
    for (long y = 0; y < n; ++y)
      for (long x = 0; x < n; ++x) sum += image.at(x, y);
    return sum;
  }());
  vxPelBuffer<T> back;
  vfInverseFFT<T>(spectrum, back, false, true);
  ASSERT_EQ(back.width(), n);
  // Integer pixels come back exactly; doubles within the single-precision error of
  // a 2048 x 2048 transform (the twiddle rotation dominates at this length).
  const double tolerance = std::is_integral<T>::value ? 0.0 : 255.0 * 1e-4;
  long wrong = 0;
  for (long y = 0; y < n; ++y)
    for (long x = 0; x < n; ++x)
      if (std::fabs(static_cast<double>(back.at(x, y)) - static_cast<double>(image.at(x, y))) > tolerance)
        ++wrong;
  EXPECT_EQ(wrong, 0);

  vxPelBuffer<T> tooWide(n + 1, 1, 32);
  vxPelBuffer<T> tooTall(1, n + 1, 32);
  vxFrequencyBuffer kept(spectrum, 4, 4);
  const vxFrequencyBuffer before(kept);
  EXPECT_THROW(vfForwardFFT<T>(tooWide, kept), vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfForwardFFT<T>(tooTall, tooTall, kept), vxFrequencyDefs::InvalidSize);
  EXPECT_EQ(kept, before);
}
