// Forward transforms of images and inverse transforms back to images.
#include "filt/buffer_access.h"
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

using Defs = vxFrequencyDefs;
using Access = vx_detail::FrequencyBufferAccess;

namespace {

template <class T>
vxPelBuffer<T> randomImage(long w, long h, unsigned seed, double maxValue) {
  vxPelBuffer<T> image(w, h, 32);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(0.0, maxValue);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      const double v = dist(rng);
      image.at(x, y) = std::is_integral<T>::value ? static_cast<T>(std::floor(v)) : static_cast<T>(v);
    }
  return image;
}

vx2XformCache someTransform() {
  vx2XformCache xf;
  xf.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(1.5, 0.25, -0.5, 2.0), vxVector<2>(3.0, -4.0))));
  return xf;
}

// Expected pixel of an inverse transform into an unbound output: the result shifted
// cyclically by the recorded offset (x, y) with -w <= x <= 0 and -h <= y <= 0.
template <class T>
T shiftedSource(const vxPelBuffer<T>& input, long i, long j, vxPair<long> at) {
  const long w = input.width();
  const long h = input.height();
  return input.at(((i - at.x) % w + w) % w, ((j - at.y) % h + h) % h);
}

// A buffer whose stored values are already the unscaled spatial result, so an
// inverse transform reads them without running the engine: pixel (x, y) of the
// output is then exactly value * s with s = 1 / (W H).
vxFrequencyBuffer spatialBuffer(long w, long h, const std::vector<std::pair<float, float>>& values) {
  vxFrequencyBuffer b(w, h);
  float* d = Access::data(b);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const long x = static_cast<long>(i) % w;
    const long y = static_cast<long>(i) / w;
    d[2 * (y * b.width() + x)] = values[i].first;
    d[2 * (y * b.width() + x) + 1] = values[i].second;
  }
  Access::setInverseComputed(b, true);
  return b;
}

}  // namespace

template <class T>
class ImageRoundTrip : public ::testing::Test {};
using PixelTypes = ::testing::Types<unsigned char, unsigned short, double>;
TYPED_TEST_SUITE(ImageRoundTrip, PixelTypes);

TYPED_TEST(ImageRoundTrip, OddSizesComeBackWithTheirPixelsSizeAndPlacement) {
  using T = TypeParam;
  const double maxValue = std::is_same<T, unsigned char>::value ? 256.0 : 65536.0;
  struct Case {
    long w, h;
    vxPair<long> at;
  } cases[] = {{3, 5, {0, 0}},   {100, 60, {0, 0}},  {1, 7, {0, 0}},   {2048, 3, {0, 0}},
               {3, 5, {-1, -4}}, {100, 60, {-37, 0}}, {1, 7, {0, -7}}, {2048, 3, {-2048, -1}}};
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " at " +
                 std::to_string(c.at.x) + "," + std::to_string(c.at.y));
    vxPelBuffer<T> input = randomImage<T>(c.w, c.h, seed++, maxValue);
    input.offset(c.at);
    input.copyXforms(someTransform());
    vxFrequencyBuffer spectrum;
    vfForwardFFT<T>(input, spectrum);
    EXPECT_EQ(spectrum.imageOffset(), c.at);
    EXPECT_EQ(spectrum.clientXform(), someTransform());

    vxPelBuffer<T> output;
    vfInverseFFT<T>(spectrum, output, false, false);
    ASSERT_TRUE(output.isBound());
    EXPECT_EQ(output.width(), c.w);
    EXPECT_EQ(output.height(), c.h);
    EXPECT_EQ(output.offset(), c.at);
    const bool shifted = c.at.x != 0 || c.at.y != 0;
    // Single-precision rounding grows with the number of butterfly stages.
    const double tolerance =
        4.0 * 1.1920929e-7 * std::log2(static_cast<double>(spectrum.width() * spectrum.height())) * maxValue;
    // An unbound output placed by the cyclic shift is a new image without the
    // recorded transform; at offset (0, 0) it carries the recorded transform.
    EXPECT_EQ(output.clientXform().hasXform, !shifted);
    for (long y = 0; y < c.h; ++y)
      for (long x = 0; x < c.w; ++x) {
        const T expect = shiftedSource(input, x, y, c.at);
        if (std::is_integral<T>::value) {
          ASSERT_EQ(output.at(x, y), expect) << x << "," << y;
        } else {
          ASSERT_NEAR(output.at(x, y), expect, tolerance) << x << "," << y;
        }
      }
  }
}

TEST(ForwardImage, PaddingOffsetAndConversionRules) {
  // A 3 x 5 image transforms like the 4 x 8 image holding it at the top-left.
  vxPelBuffer<unsigned short> small = randomImage<unsigned short>(3, 5, 7, 65536.0);
  vxPelBuffer<unsigned short> padded(4, 8, 32);
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 3; ++x) padded.at(x, y) = small.at(x, y);
  vxFrequencyBuffer a, b;
  vfForwardFFT<unsigned short>(small, a);
  vfForwardFFT<unsigned short>(padded, b);
  EXPECT_EQ(a.width(), 4);
  EXPECT_EQ(a.height(), 8);
  EXPECT_EQ(a.imageWidth(), 3);
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 4; ++x) EXPECT_EQ(a.get(x, y, false), b.get(x, y, false));

  // The offset changes nothing in the values; it is only recorded.
  vxPelBuffer<unsigned short> moved(small);
  moved.offset(5, -3);
  vxFrequencyBuffer c;
  vfForwardFFT<unsigned short>(moved, c);
  EXPECT_EQ(c.imageOffset(), vxPair<long>(5, -3));
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 4; ++x) EXPECT_EQ(c.get(x, y, false), a.get(x, y, false));

  // A 1 x 1 image; a double sample enters as the nearest float.
  vxPelBuffer<double> one(1, 1, 32);
  one.at(0, 0) = 0.1;
  vxFrequencyBuffer d;
  vfForwardFFT<double>(one, d);
  EXPECT_EQ(d.get(0, 0, false), vxPair<double>(static_cast<float>(0.1), 0.0));
}

TEST(ForwardImage, PairFormEqualsTheBufferMadeFromTwoImagesTransformed) {
  vxPelBuffer<double> re = randomImage<double>(13, 6, 3, 10.0);
  vxPelBuffer<double> im = randomImage<double>(13, 6, 4, 10.0);
  vxFrequencyBuffer direct;
  vfForwardFFT<double>(re, im, direct);
  vxFrequencyBuffer viaBuffer;
  vfForwardFFT(vxFrequencyBuffer(re, im), viaBuffer);
  ASSERT_EQ(direct, viaBuffer);

  // The real form agrees with the pair form with a zero imaginary image.
  vxPelBuffer<double> zero(13, 6, 32);
  vxFrequencyBuffer pair, single;
  vfForwardFFT<double>(re, zero, pair);
  vfForwardFFT<double>(re, single);
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 16; ++x) {
      EXPECT_NEAR(single.getReal(x, y, false), pair.getReal(x, y, false), 2e-3);
      EXPECT_NEAR(single.getImaginary(x, y, false), pair.getImaginary(x, y, false), 2e-3);
    }
}

TEST(ForwardImage, RefusalsLeaveTheResultAsItWas) {
  vxFrequencyBuffer result(4, 4);
  result.putReal(1, 1, 5.0, false);
  const vxFrequencyBuffer before(result);
  vxPelBuffer<unsigned char> unbound, a(4, 4, 32), b(4, 4, 32), tall(4, 5, 32), wide(2049, 1, 32);

  auto expectUnchanged = [&] { EXPECT_EQ(result, before); };
  try {
    vfForwardFFT<unsigned char>(a, unbound, result);
    ADD_FAILURE();
  } catch (const Defs::UnboundWindow& e) {
    EXPECT_EQ(e.message(), nullptr);
  }
  expectUnchanged();
  EXPECT_THROW(vfForwardFFT<unsigned char>(unbound, a, result), Defs::UnboundWindow);
  EXPECT_THROW(vfForwardFFT<unsigned char>(unbound, result), Defs::UnboundWindow);
  expectUnchanged();
  b.offset(0, 1);
  for (auto* other : {&tall, &b}) {
    try {
      vfForwardFFT<unsigned char>(a, *other, result);
      ADD_FAILURE();
    } catch (const Defs::InvalidSize& e) {
      EXPECT_STREQ(e.message(), L"Real and Imaginary buffers must have the same size and offset.");
    }
    expectUnchanged();
  }
  try {
    vfForwardFFT<unsigned char>(wide, result);
    ADD_FAILURE();
  } catch (const Defs::InvalidSize& e) {
    EXPECT_STREQ(e.message(), L"Width and Height must be no larger than 2048.");
  }
  expectUnchanged();
}

TEST(ForwardImage, ClearsTheFlagsOfTheResult) {
  vxFrequencyBuffer result(8, 8);
  Access::setMask(result, 1, 2, 3);
  Access::setInverseComputed(result, true);
  vxPelBuffer<unsigned char> image = randomImage<unsigned char>(8, 8, 9, 256.0);
  vfForwardFFT<unsigned char>(image, result);
  EXPECT_EQ(Access::masked(result), 0);
  EXPECT_FALSE(result.inverseComputed());
}

TEST(InverseImage, IntegerOutputsKeepTheLowBitsAndNormalizeStretches) {
  // 300 comes back as 44 in an 8-bit image.
  vxPelBuffer<double> image(8, 8, 32);
  image.at(2, 3) = 300.0;
  image.at(0, 0) = -3.0;
  vxFrequencyBuffer spectrum;
  vfForwardFFT<double>(image, spectrum);
  vxPelBuffer<unsigned char> bytes;
  vfInverseFFT<unsigned char>(spectrum, bytes, false);
  EXPECT_EQ(bytes.at(2, 3), 44);
  EXPECT_EQ(bytes.at(0, 0), 3);
  vxPelBuffer<double> magnitude, re, im;
  vfInverseFFT<double>(spectrum, magnitude, false);
  EXPECT_NEAR(magnitude.at(0, 0), 3.0, 1e-4);
  vfInverseFFT(spectrum, re, im);
  EXPECT_NEAR(re.at(0, 0), -3.0, 1e-4);
  EXPECT_NEAR(im.at(0, 0), 0.0, 1e-4);

  // Normalization: scaled magnitudes 2, 4, 6 map to 0, 128 (127.5 + 0.5), 255; the
  // 16-bit range likewise; equal magnitudes map to 0.
  const vxFrequencyBuffer ramp = spatialBuffer(2, 2, {{8, 0}, {0, 16}, {-24, 0}, {0, -24}});
  vxPelBuffer<unsigned char> n8;
  vfInverseFFT<unsigned char>(ramp, n8, true);
  EXPECT_EQ(n8.at(0, 0), 0);
  EXPECT_EQ(n8.at(1, 0), 128);
  EXPECT_EQ(n8.at(0, 1), 255);
  EXPECT_EQ(n8.at(1, 1), 255);
  vxPelBuffer<unsigned short> n16;
  vfInverseFFT<unsigned short>(ramp, n16, true);
  EXPECT_EQ(n16.at(0, 0), 0);
  EXPECT_EQ(n16.at(1, 0), 32768);
  EXPECT_EQ(n16.at(1, 1), 65535);
  const vxFrequencyBuffer flat = spatialBuffer(2, 2, {{40, 0}, {0, 40}, {-40, 0}, {0, -40}});
  vxPelBuffer<unsigned char> f8;
  vfInverseFFT<unsigned char>(flat, f8, true);
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 2; ++x) EXPECT_EQ(f8.at(x, y), 0);
  // Without normalize the same values are rounded: 10 each.
  vfInverseFFT<unsigned char>(flat, f8, false);
  EXPECT_EQ(f8.at(1, 1), 10);
}

TEST(InverseImage, QuadrantCodesAndAngles) {
  const vxFrequencyBuffer values =
      spatialBuffer(3, 2, {{-1, 0}, {0, -0.5f}, {-1, -1}, {0, 0}, {-0.0f, 2}, {3, 4}});
  const unsigned char expect[6] = {1, 2, 3, 0, 0, 0};
  vxPelBuffer<unsigned char> image, quadrant;
  vfInverseFFTQuadrant<unsigned char>(values, image, quadrant, false);
  vxPelBuffer<double> dimage;
  vxPelBuffer<unsigned char> dquadrant;
  vfInverseFFTQuadrant<double>(values, dimage, dquadrant, false);
  vxPelBuffer<unsigned char> direct;
  vf_ComputeQuadrantImage(values, direct);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(quadrant.at(i % 3, i / 3), expect[i]) << i;
    EXPECT_EQ(dquadrant.at(i % 3, i / 3), expect[i]) << i;
    EXPECT_EQ(direct.at(i % 3, i / 3), expect[i]) << i;
  }
  vxPelBuffer<unsigned short> image16;
  vxPelBuffer<double> angle;
  vfInverseFFTAngle<unsigned short>(values, image16, angle, false);
  EXPECT_EQ(angle.at(2, 1), static_cast<double>(std::atan2(4.0f, 3.0f)));
  EXPECT_EQ(angle.at(0, 0), static_cast<double>(std::atan2(0.0f, -1.0f)));
  // The buffer is a 4 x 2 transform, s = 1/8: magnitude 5 becomes 0.625 and rounds to 1.
  EXPECT_EQ(image16.at(2, 1), 1);
}

TEST(InverseImage, OffsetsShiftCyclicallyAndBoundOutputsKeepTheirWindow) {
  // 4 x 4 with offset (-2, -2): pixel (i, j) is the result at ((i+2) mod 4, (j+2) mod 4).
  vxPelBuffer<unsigned char> input(4, 4, 32);
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 4; ++x) input.at(x, y) = static_cast<unsigned char>(10 * y + x);
  input.offset(-2, -2);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(input, spectrum);
  vxPelBuffer<unsigned char> out;
  vfInverseFFT<unsigned char>(spectrum, out, false);
  EXPECT_EQ(out.offset(), vxPair<long>(-2, -2));
  for (long j = 0; j < 4; ++j)
    for (long i = 0; i < 4; ++i) EXPECT_EQ(out.at(i, j), 10 * ((j + 2) % 4) + (i + 2) % 4);

  // A bound 8 x 8 output at (0, 0) receiving a 4 x 4 result at (0, 0) gets the top
  // left 4 x 4 pixels and keeps the rest, its transform included.
  vxPelBuffer<unsigned char> small(4, 4, 32);
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 4; ++x) small.at(x, y) = static_cast<unsigned char>(1 + x + 4 * y);
  small.copyXforms(someTransform());
  vxFrequencyBuffer s2;
  vfForwardFFT<unsigned char>(small, s2);
  vxPelBuffer<unsigned char> big(8, 8, 32);
  vfPelSet_U8(big, 200);
  vfInverseFFT<unsigned char>(s2, big, false);
  EXPECT_FALSE(big.clientXform().hasXform);
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 8; ++x)
      EXPECT_EQ(big.at(x, y), (x < 4 && y < 4) ? 1 + x + 4 * y : 200) << x << "," << y;

  // The real/imaginary form gives the bound outputs the recorded transform.
  vxPelBuffer<double> re(4, 4, 32), im(4, 4, 32);
  vfInverseFFT(s2, re, im);
  EXPECT_EQ(re.clientXform(), someTransform());
  EXPECT_EQ(im.clientXform(), someTransform());
  EXPECT_NEAR(re.at(3, 3), 16.0, 1e-4);
}

TEST(InverseImage, InPlaceMarksTheBufferAndLaterCallsReuseTheResult) {
  vxPelBuffer<unsigned char> input = randomImage<unsigned char>(6, 5, 11, 256.0);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(input, spectrum);
  const vxFrequencyBuffer original(spectrum);

  vxPelBuffer<unsigned char> notInPlace;
  vfInverseFFT<unsigned char>(spectrum, notInPlace, false, false);
  EXPECT_EQ(spectrum, original);  // storage and flags untouched
  EXPECT_FALSE(spectrum.inverseComputed());

  vxPelBuffer<unsigned char> first, second;
  vfInverseFFT<unsigned char>(spectrum, first, false, true);
  EXPECT_TRUE(spectrum.inverseComputed());
  EXPECT_THROW(spectrum.getReal(0, 0, false), Defs::InvalidBuffer);
  EXPECT_THROW(spectrum.getMagnitudeImage(false), Defs::InvalidBuffer);
  const vxFrequencyBuffer spatial(spectrum);
  vfInverseFFT<unsigned char>(spectrum, second, false, false);
  EXPECT_EQ(spectrum, spatial);  // read again, not transformed again
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 6; ++x) {
      EXPECT_EQ(first.at(x, y), input.at(x, y));
      EXPECT_EQ(second.at(x, y), input.at(x, y));
    }
  EXPECT_THROW(vfInverseFFT<unsigned char>(vxFrequencyBuffer(), first, false),
               Defs::Uninitialized);
}

TEST(InverseImage, AttentionFailuresThrowTheCoreExceptionAtEveryCheck) {
  vxPelBuffer<unsigned char> input = randomImage<unsigned char>(40, 20, 13, 256.0);
  input.offset(-3, -5);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(input, spectrum);

  vx_detail::AttentionProbe counter;
  vx_detail::setAttentionProbe(&counter);
  vxPelBuffer<unsigned char> out, quadrant;
  vfInverseFFTQuadrant<unsigned char>(spectrum, out, quadrant, true, false);
  vx_detail::setAttentionProbe(nullptr);
  ASSERT_GT(counter.checks, 3);

  for (std::int64_t k = 1; k <= counter.checks; ++k) {
    vxFrequencyBuffer copy(spectrum);
    vx_detail::AttentionProbe probe;
    probe.failAt = k;
    vx_detail::setAttentionProbe(&probe);
    vxPelBuffer<unsigned char> o, q;
    EXPECT_THROW(vfInverseFFTQuadrant<unsigned char>(copy, o, q, true, true), vxAttentionInterrupted)
        << "check " << k;
    vx_detail::setAttentionProbe(nullptr);
    // The buffer stays usable: it can be transformed again from an image.
    vfForwardFFT<unsigned char>(input, copy);
    EXPECT_EQ(copy, spectrum);
  }
}
