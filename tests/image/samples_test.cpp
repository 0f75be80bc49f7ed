// Spectra from samples read where they are and from values written into a buffer: the
// samples give the bits of an image of the same values at any strides, and a buffer
// given a picture's placement transforms back to that picture at its place.
#include "filt/extended.h"
#include "filt/fft.h"
#include "filt/padding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

bool sameBits(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         std::memcmp(a.elements(), b.elements(), sizeof(float) * 2 * a.width() * a.height()) == 0;
}

// A w x h picture of type T laid out in memory as (rowStride, pixelStride) say, anywhere
// in a larger array whose other elements hold a value no pixel has; and the same picture
// as an image of the library (float samples: a double image).
template <class T>
struct Layout {
  std::vector<T> memory;
  const T* origin = nullptr;
};

template <class T>
T valueAt(long x, long y) {
  const double v = std::sin(0.3 * x + 0.7 * y) * 100.0 + 0.125 * x;
  if (std::is_integral<T>::value) return static_cast<T>(std::lround(v + 120.0) + 7 * y);
  return static_cast<T>(v);
}

template <class T>
Layout<T> laidOut(long w, long h, long rowStride, long pixelStride) {
  const long reach = std::abs(rowStride) * (h - 1) + std::abs(pixelStride) * (w - 1) + 1;
  Layout<T> l;
  l.memory.assign(static_cast<std::size_t>(reach),
                  static_cast<T>(std::is_integral<T>::value ? 250 : 1e30));
  // The origin sits where backward strides still stay inside the array.
  const long start =
      (rowStride < 0 ? -rowStride * (h - 1) : 0) + (pixelStride < 0 ? -pixelStride * (w - 1) : 0);
  l.origin = l.memory.data() + start;
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      l.memory[static_cast<std::size_t>(start + y * rowStride + x * pixelStride)] =
          valueAt<T>(x, y);
  return l;
}

template <class T, class I>
void checkSameBits(bool extended) {
  const vxExtendedScope mode(extended);
  // {w, h, rowStride, pixelStride}: rows apart, columns reversed, column-major, one row
  // repeated, a long strip.
  const long cases[][4] = {{1, 1, 1, 1},  {7, 3, 9, 1},   {64, 64, 64, 1}, {100, 37, -100, 1},
                           {13, 5, 1, 5}, {9, 4, 20, -2}, {16, 3, 0, 1},   {2048, 2, 2050, 1}};
  for (const auto& c : cases) {
    const long w = c[0], h = c[1];
    SCOPED_TRACE(::testing::Message()
                 << extended << " " << w << "x" << h << " strides " << c[2] << "," << c[3]);
    const Layout<T> layout = laidOut<T>(w, h, c[2], c[3]);
    vxPelBuffer<I> image(w, h, 32);
    for (long y = 0; y < h; ++y)
      for (long x = 0; x < w; ++x)
        image.at(x, y) = static_cast<I>(layout.origin[y * c[2] + x * c[3]]);
    image.offset(3, -5);
    vxFrequencyBuffer fromSamples, fromImage;
    vfForwardFFT<T>(layout.origin, w, h, c[2], c[3], vxPair<long>(3, -5), fromSamples);
    vfForwardFFT<I>(image, fromImage);
    EXPECT_TRUE(sameBits(fromSamples, fromImage));
    EXPECT_TRUE(fromSamples == fromImage);  // sizes, offset and flags too
  }
}

TEST(Samples, GiveTheBitsOfAnImageOfTheSameValuesAtAnyStrides) {
  for (const bool extended : {false, true}) {
    checkSameBits<unsigned char, unsigned char>(extended);
    checkSameBits<unsigned short, unsigned short>(extended);
    checkSameBits<double, double>(extended);
    checkSameBits<float, double>(extended);
  }
}

TEST(Samples, RefuseBadArgumentsBeforeChangingTheResult) {
  const std::vector<float> floats(64, 1.5f);
  vxFrequencyBuffer result;
  vfForwardFFT(floats.data(), 8, 8, 8, 1, vxPair<long>(0, 0), result);
  const vxFrequencyBuffer before(result);
  EXPECT_THROW(vfForwardFFT(floats.data(), 0, 8, 8, 1, vxPair<long>(0, 0), result),
               vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfForwardFFT(floats.data(), 3000, 1, 3000, 1, vxPair<long>(0, 0), result),
               vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfForwardFFT<unsigned char>(nullptr, 8, 8, 8, 1, vxPair<long>(0, 0), result),
               vxFrequencyDefs::InvalidArgument);
  EXPECT_THROW(vfForwardFFT(floats.data(), 8, 8, 8, 1, vxPair<long>(1L << 40, 0), result),
               vxFrequencyDefs::InvalidArgument);
  EXPECT_TRUE(result == before);
  // The extended mode takes sides up to 16384.
  const vxExtendedScope extended;
  const std::vector<unsigned short> strip(3000, 1);
  vfForwardFFT(strip.data(), 3000, 1, 3000, 1, vxPair<long>(0, 0), result);
  EXPECT_EQ(result.width(), 3000);
  EXPECT_FLOAT_EQ(result.getReal(0, 0, false), 3000.0f);
}

// Values written into a buffer and given a placement come back as the picture they
// are the transform of: at its size and, in the extended mode, at its offset.
TEST(ImagePlacement, MakesWrittenValuesThePictureTheyCameFrom) {
  const vxExtendedScope extended;
  vxPelBuffer<double> picture(5, 3, 32);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) picture.at(x, y) = valueAt<double>(x, y);
  picture.offset(10, -4);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<double>(picture, spectrum);
  vxFrequencyBuffer written(spectrum.width(), spectrum.height());
  std::memcpy(written.elements(), spectrum.elements(),
              sizeof(float) * 2 * spectrum.width() * spectrum.height());
  vfSetImagePlacement(written, 5, 3, vxPair<long>(10, -4));
  EXPECT_TRUE(written == spectrum);
  vxPelBuffer<double> real;
  vxPelBuffer<double> imag;
  vfInverseFFT(written, real, imag);
  ASSERT_EQ(real.width(), 5);
  ASSERT_EQ(real.height(), 3);
  EXPECT_EQ(real.offset().x, 10);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) EXPECT_NEAR(real.at(x, y), picture.at(x, y), 1e-3);
  // A padded transform's margin goes: the placement is that of a plain picture.
  vxFrequencyBuffer padded;
  vfForwardFFTPadded<double>(picture, vxPaddingOptions(), padded);
  ASSERT_GT(vfPaddingMargin(padded).x, 0);
  vfSetImagePlacement(padded, 5, 3, vxPair<long>(10, -4));
  EXPECT_EQ(vfPaddingMargin(padded).x, 0);
  EXPECT_EQ(vfPaddingMargin(padded).y, 0);
}

TEST(ImagePlacement, RefusesWhatNoPictureCouldHave) {
  vxFrequencyBuffer none;
  EXPECT_THROW(vfSetImagePlacement(none, 1, 1, vxPair<long>(0, 0)), vxFrequencyDefs::Uninitialized);
  vxFrequencyBuffer buf(8, 4);
  buf.put(1, 1, vxPair<double>(2.0, 3.0), false);
  const vxFrequencyBuffer before(buf);
  EXPECT_THROW(vfSetImagePlacement(buf, 9, 4, vxPair<long>(0, 0)), vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfSetImagePlacement(buf, 8, 0, vxPair<long>(0, 0)), vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfSetImagePlacement(buf, 8, 4, vxPair<long>(0, -(1L << 33))),
               vxFrequencyDefs::InvalidArgument);
  EXPECT_TRUE(buf == before);
  vfSetImagePlacement(buf, 2, 1, vxPair<long>(-7, 9));
  EXPECT_EQ(buf.imageWidth(), 2);
  EXPECT_EQ(buf.imageHeight(), 1);
  EXPECT_EQ(buf.imageOffset().x, -7);
  EXPECT_EQ(buf.imageOffset().y, 9);
  EXPECT_EQ(buf.getImaginary(1, 1, false), 3.0);
}

}  // namespace
