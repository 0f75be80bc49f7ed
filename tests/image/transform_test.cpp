// Forward transforms of images and inverse transforms back to images, up to the
// largest size.
#include "filters/test_support.h"

#include <cmath>
#include <random>

using namespace filter_test;

namespace {

const wchar_t* const kTooLarge = L"Width and Height must be no larger than 2048.";

template <class T>
vxPelBuffer<T> randomImage(long w, long h, unsigned seed, double maxValue) {
  vxPelBuffer<T> image(w, h, 32);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(0.0, maxValue);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      const double v = dist(rng);
      image.at(x, y) =
          std::is_integral<T>::value ? static_cast<T>(std::floor(v)) : static_cast<T>(v);
    }
  return image;
}

vx2XformCache someTransform() {
  vx2XformCache xf;
  xf.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(1.5, 0.25, -0.5, 2.0), vxVector<2>(3.0, -4.0))));
  return xf;
}

// A buffer whose stored values are already the unscaled spatial result, so an
// inverse transform reads them without running the engine: pixel (x, y) of the
// output is then exactly value * s with s = 1 / (W H).
vxFrequencyBuffer spatialBuffer(long w, long h,
                                const std::vector<std::pair<float, float>>& values) {
  vxFrequencyBuffer b(w, h);
  float* d = Access::data(b);
  for (long i = 0; i < static_cast<long>(values.size()); ++i) {
    d[2 * (i / w * b.width() + i % w)] = values[i].first;
    d[2 * (i / w * b.width() + i % w) + 1] = values[i].second;
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
  } cases[] = {{3, 5, {0, 0}},      {100, 60, {0, 0}},   {1, 7, {0, 0}},  {2048, 3, {0, 0}},
               {3, 5, {-1, -4}},    {100, 60, {-37, 0}}, {1, 7, {0, -7}}, {2048, 3, {-2048, -1}},
               {2048, 2048, {0, 0}}};  // the largest size
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " at " << c.at.x << "," << c.at.y);
    const double top = c.h < 2048 ? maxValue : 256.0;  // 8-bit values at the largest size
    vxPelBuffer<T> input = randomImage<T>(c.w, c.h, seed++, top);
    input.offset(c.at);
    input.copyXforms(someTransform());
    vxFrequencyBuffer spectrum;
    vfForwardFFT<T>(input, spectrum);
    EXPECT_EQ(spectrum.imageOffset(), c.at);
    EXPECT_EQ(spectrum.clientXform(), someTransform());
    vxPelBuffer<T> output;
    vfInverseFFT<T>(spectrum, output, false, false);
    ASSERT_EQ(output.width() * 10000 + output.height(), c.w * 10000 + c.h);
    EXPECT_EQ(output.offset(), c.at);
    // Single-precision rounding grows with the number of butterfly stages; at 2048 the
    // twiddle rotation dominates.
    const double tolerance =
        c.h < 2048 ? 4.0 * 1.2e-7 * std::log2(double(spectrum.width()) * spectrum.height()) * top
                   : 1e-4 * top;
    // An unbound output placed by the cyclic shift (by the offset, -w <= x <= 0 and
    // -h <= y <= 0) is a new image without the recorded transform; at offset (0, 0) it
    // carries the recorded transform.
    EXPECT_EQ(output.clientXform().hasXform, c.at.x == 0 && c.at.y == 0);
    for (long y = 0; y < c.h; ++y)
      for (long x = 0; x < c.w; ++x) {
        const T expect = input.at((x - c.at.x) % c.w, (y - c.at.y) % c.h);
        if (std::is_integral<T>::value) {
          ASSERT_EQ(output.at(x, y), expect) << x << "," << y;
        } else {
          ASSERT_NEAR(output.at(x, y), expect, tolerance) << x << "," << y;
        }
      }
  }
}

TEST(ForwardImage, PaddingOffsetPairFormAndRefusals) {
  // A 3 x 5 image transforms like the 4 x 8 image holding it at the top-left; the
  // offset is only recorded.
  vxPelBuffer<unsigned short> small = randomImage<unsigned short>(3, 5, 7, 65536.0),
                              padded(4, 8, 32);
  vfPelCopy(small, padded);
  small.offset(5, -3);
  vxFrequencyBuffer a, b;
  vfForwardFFT<unsigned short>(small, a);
  vfForwardFFT<unsigned short>(padded, b);
  EXPECT_EQ(a.width() * 100 + a.height() * 10 + a.imageWidth(), 483);
  EXPECT_EQ(a.imageOffset(), vxPair<long>(5, -3));
  EXPECT_EQ(Snapshot(a).values, Snapshot(b).values);
  // The pair form transforms the buffer made from the two images.
  const vxPelBuffer<double> re = randomImage<double>(13, 6, 3, 10.0),
                            im = randomImage<double>(13, 6, 4, 10.0);
  vfForwardFFT<double>(re, im, a);
  vfForwardFFT(vxFrequencyBuffer(re, im), b);
  EXPECT_EQ(a, b);
  // Refusals leave the result as it was.
  vxFrequencyBuffer result = patterned(4, 4, 1);
  const Snapshot before(result);
  vxPelBuffer<unsigned char> unbound, c(4, 4, 32), moved(4, 4, 32), tall(4, 5, 32),
      wide(2049, 1, 32), tooTall(1, 2049, 32);
  moved.offset(0, 1);
  const wchar_t* differ = L"Real and Imaginary buffers must have the same size and offset.";
  expectError<Defs::UnboundWindow>([&] { vfForwardFFT<unsigned char>(c, unbound, result); },
                                   nullptr);
  expectError<Defs::UnboundWindow>([&] { vfForwardFFT<unsigned char>(unbound, c, result); },
                                   nullptr);
  expectError<Defs::UnboundWindow>([&] { vfForwardFFT<unsigned char>(unbound, result); }, nullptr);
  expectError<Defs::InvalidSize>([&] { vfForwardFFT<unsigned char>(c, tall, result); }, differ);
  expectError<Defs::InvalidSize>([&] { vfForwardFFT<unsigned char>(c, moved, result); }, differ);
  expectError<Defs::InvalidSize>([&] { vfForwardFFT<unsigned char>(wide, result); }, kTooLarge);
  expectError<Defs::InvalidSize>([&] { vfForwardFFT<unsigned char>(tooTall, tooTall, result); },
                                 kTooLarge);
  EXPECT_EQ(Snapshot(result), before);
}

TEST(InverseImage, LowBitsNormalizationQuadrantsAndAngles) {
  // 300 comes back as 44 in an 8-bit image, -3 as 3 (the magnitude).
  vxPelBuffer<double> image(8, 8, 32), re, im;
  image.at(2, 3) = 300.0;
  image.at(0, 0) = -3.0;
  vxFrequencyBuffer spectrum;
  vfForwardFFT<double>(image, spectrum);
  vxPelBuffer<unsigned char> bytes;
  vfInverseFFT<unsigned char>(spectrum, bytes, false);
  vfInverseFFT(spectrum, re, im);
  EXPECT_EQ(bytes.at(2, 3) * 1000 + bytes.at(0, 0), 44003);
  EXPECT_NEAR(re.at(0, 0), -3.0, 1e-4);
  // Normalization: scaled magnitudes 2, 4, 6 map to 0, 128 (127.5 + 0.5), 255, the
  // 16-bit range likewise; equal magnitudes map to 0, and without normalization round.
  const vxFrequencyBuffer ramp = spatialBuffer(2, 2, {{8, 0}, {0, 16}, {-24, 0}, {0, -24}});
  vxPelBuffer<unsigned char> n8;
  vxPelBuffer<unsigned short> n16;
  vfInverseFFT<unsigned char>(ramp, n8, true);
  vfInverseFFT<unsigned short>(ramp, n16, true);
  EXPECT_EQ(std::vector<int>({n8.at(0, 0), n8.at(1, 0), n8.at(0, 1), n8.at(1, 1)}),
            std::vector<int>({0, 128, 255, 255}));
  EXPECT_EQ(std::vector<int>({n16.at(0, 0), n16.at(1, 0), n16.at(1, 1)}),
            std::vector<int>({0, 32768, 65535}));
  const vxFrequencyBuffer flat = spatialBuffer(2, 2, {{40, 0}, {0, 40}, {-40, 0}, {0, -40}});
  vfInverseFFT<unsigned char>(flat, n8, true);
  EXPECT_EQ(n8.at(0, 0) + n8.at(1, 0) + n8.at(0, 1) + n8.at(1, 1), 0);
  vfInverseFFT<unsigned char>(flat, n8, false);
  EXPECT_EQ(n8.at(1, 1), 10);
  // Quadrant codes, through every form, and angles in float.
  const vxFrequencyBuffer values =
      spatialBuffer(3, 2, {{-1, 0}, {0, -0.5f}, {-1, -1}, {0, 0}, {-0.0f, 2}, {3, 4}});
  vxPelBuffer<unsigned char> image8, quadrant, dquadrant, direct;
  vxPelBuffer<double> dimage, angle;
  vxPelBuffer<unsigned short> image16;
  vfInverseFFTQuadrant<unsigned char>(values, image8, quadrant, false);
  vfInverseFFTQuadrant<double>(values, dimage, dquadrant, false);
  vf_ComputeQuadrantImage(values, direct);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(
        quadrant.at(i % 3, i / 3) * 100 + dquadrant.at(i % 3, i / 3) * 10 + direct.at(i % 3, i / 3),
        std::vector<int>({111, 222, 333, 0, 0, 0})[i])
        << i;
  vfInverseFFTAngle<unsigned short>(values, image16, angle, false);
  EXPECT_EQ(angle.at(2, 1), static_cast<double>(std::atan2(4.0f, 3.0f)));
  EXPECT_EQ(angle.at(0, 0), static_cast<double>(std::atan2(0.0f, -1.0f)));
  EXPECT_EQ(image16.at(2, 1), 1);  // a 4 x 2 transform, s = 1/8: magnitude 5 -> 0.625 -> 1
}

// A bound 8 x 8 output receiving a 4 x 4 result gets the top left 4 x 4 pixels and
// keeps the rest, its transform included; the real/imaginary form gives its bound
// outputs the recorded transform.
TEST(InverseImage, BoundOutputsKeepTheirWindow) {
  vxPelBuffer<unsigned char> small(4, 4, 32), big(8, 8, 32);
  for (long i = 0; i < 16; ++i) small.at(i % 4, i / 4) = static_cast<unsigned char>(1 + i);
  small.copyXforms(someTransform());
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(small, spectrum);
  vfPelSet_U8(big, 200);
  vfInverseFFT<unsigned char>(spectrum, big, false);
  EXPECT_FALSE(big.clientXform().hasXform);
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 8; ++x)
      EXPECT_EQ(big.at(x, y), (x < 4 && y < 4) ? 1 + x + 4 * y : 200) << x << "," << y;
  vxPelBuffer<double> re(4, 4, 32), im(4, 4, 32);
  vfInverseFFT(spectrum, re, im);
  EXPECT_TRUE(re.clientXform() == someTransform() && im.clientXform() == someTransform());
  EXPECT_NEAR(re.at(3, 3), 16.0, 1e-4);
}
