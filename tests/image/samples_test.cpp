// Spectra from single-precision samples and from values written into a buffer: the
// float forward transform gives the bits of a double picture of the same values, and a
// buffer given a picture's placement transforms back to that picture at its place.
#include "filt/extended.h"
#include "filt/fft.h"
#include "filt/padding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Samples of `w` x `h` pixels in rows `stride` floats apart (the gaps hold NaN, which
// must never be read), and the same values as a double picture.
struct Samples {
  std::vector<float> floats;
  vxPelBuffer<double> picture;
};

Samples samples(long w, long h, long stride) {
  Samples s;
  s.floats.assign(static_cast<std::size_t>(stride * h), std::nanf(""));
  s.picture = vxPelBuffer<double>(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      const float v = static_cast<float>(std::sin(0.3 * x + 0.7 * y) * 100.0 + 0.125 * x);
      s.floats[static_cast<std::size_t>(y * stride + x)] = v;
      s.picture.at(x, y) = v;
    }
  return s;
}

bool sameBits(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         std::memcmp(a.elements(), b.elements(), sizeof(float) * 2 * a.width() * a.height()) == 0;
}

TEST(FloatSamples, GiveTheBitsOfADoublePictureInBothModes) {
  for (const bool extended : {false, true}) {
    const vxExtendedScope mode(extended);
    const long sizes[][3] = {{1, 1, 1}, {7, 3, 9}, {64, 64, 64}, {100, 37, 128}, {2048, 2, 2050}};
    for (const auto& size : sizes) {
      SCOPED_TRACE(::testing::Message() << extended << " " << size[0] << "x" << size[1]);
      Samples s = samples(size[0], size[1], size[2]);
      s.picture.offset(3, -5);
      vxFrequencyBuffer fromFloats;
      vxFrequencyBuffer fromDoubles;
      vfForwardFFT(s.floats.data(), size[0], size[1], size[2], vxPair<long>(3, -5), fromFloats);
      vfForwardFFT<double>(s.picture, fromDoubles);
      EXPECT_TRUE(sameBits(fromFloats, fromDoubles));
      EXPECT_TRUE(fromFloats == fromDoubles);  // sizes, offset and flags too
      EXPECT_EQ(fromFloats.imageWidth(), size[0]);
      EXPECT_EQ(fromFloats.imageOffset().y, -5);
    }
  }
}

TEST(FloatSamples, RefuseBadArgumentsBeforeChangingTheResult) {
  const Samples s = samples(8, 8, 8);
  vxFrequencyBuffer result;
  vfForwardFFT(s.floats.data(), 8, 8, 8, vxPair<long>(0, 0), result);
  const vxFrequencyBuffer before(result);
  EXPECT_THROW(vfForwardFFT(s.floats.data(), 0, 8, 8, vxPair<long>(0, 0), result),
               vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfForwardFFT(s.floats.data(), 3000, 1, 3000, vxPair<long>(0, 0), result),
               vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfForwardFFT(nullptr, 8, 8, 8, vxPair<long>(0, 0), result),
               vxFrequencyDefs::InvalidArgument);
  EXPECT_THROW(vfForwardFFT(s.floats.data(), 8, 8, 7, vxPair<long>(0, 0), result),
               vxFrequencyDefs::InvalidArgument);
  EXPECT_THROW(vfForwardFFT(s.floats.data(), 8, 8, 8, vxPair<long>(1L << 40, 0), result),
               vxFrequencyDefs::InvalidArgument);
  EXPECT_TRUE(result == before);
  // The extended mode takes sides up to 16384.
  const vxExtendedScope extended;
  const std::vector<float> strip(3000, 1.0f);
  vfForwardFFT(strip.data(), 3000, 1, 3000, vxPair<long>(0, 0), result);
  EXPECT_EQ(result.width(), 4096);
  EXPECT_FLOAT_EQ(result.getReal(0, 0, false), 3000.0f);
}

// Values written into a buffer and given a placement come back as the picture they
// are the transform of: at its size and, in the extended mode, at its offset.
TEST(ImagePlacement, MakesWrittenValuesThePictureTheyCameFrom) {
  const vxExtendedScope extended;
  Samples s = samples(5, 3, 5);
  s.picture.offset(10, -4);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<double>(s.picture, spectrum);
  vxFrequencyBuffer written(8, 4);
  std::memcpy(written.elements(), spectrum.elements(), sizeof(float) * 2 * 8 * 4);
  vfSetImagePlacement(written, 5, 3, vxPair<long>(10, -4));
  EXPECT_TRUE(written == spectrum);
  vxPelBuffer<double> real;
  vxPelBuffer<double> imag;
  vfInverseFFT(written, real, imag);
  ASSERT_EQ(real.width(), 5);
  ASSERT_EQ(real.height(), 3);
  EXPECT_EQ(real.offset().x, 10);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) EXPECT_NEAR(real.at(x, y), s.picture.at(x, y), 1e-3);
  // A padded transform's margin goes: the placement is that of a plain picture.
  vxFrequencyBuffer padded;
  vfForwardFFTPadded<double>(s.picture, vxPaddingOptions(), padded);
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
