// Fixed hashes of every output that goes through a function of the C library or of
// vxfreq's own arctangent: the angle and phase images, the display maps (log among
// them) and the four filter families (exp, sqrt, sin and cos in their tables). The
// engine hashes (engine/engine_hashes.txt) cover the transforms themselves. The
// hashes were taken on x86-64; the same tests run on aarch64 (under emulation in
// `make test-arm64`) and with both compilers, so a C library or compiler that
// rounds one of these differently shows up here.
#include "engine/test_support.h"
#include "filt/atan2.h"
#include "filt/fft.h"
#include "filt/freqfilt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using engine_test::fnv1a64;

// A 61 x 45 picture of noise over a ramp: a spectrum with every kind of value.
vxFrequencyBuffer spectrum() {
  vxPelBuffer<unsigned char> image(61, 45, 32);
  engine_test::Lcg g(7);
  for (long y = 0; y < 45; ++y)
    for (long x = 0; x < 61; ++x)
      image.at(x, y) = static_cast<unsigned char>(static_cast<int>(96 + 64 * g.next()) + x + y);
  vxFrequencyBuffer buf;
  vfForwardFFT<unsigned char>(image, buf);
  return buf;
}

template <class T>
std::vector<float> asFloats(const vxPelBuffer<T>& image) {
  std::vector<float> v;
  for (long y = 0; y < image.height(); ++y)
    for (long x = 0; x < image.width(); ++x) {
      const double d = static_cast<double>(image.at(x, y));
      float halves[2];  // a double's bits as two floats, so fnv1a64 sees all of them
      std::memcpy(halves, &d, sizeof d);
      v.insert(v.end(), halves, halves + 2);
    }
  return v;
}

std::vector<float> values(const vxFrequencyBuffer& b) {
  std::vector<float> v;
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x) {
      const vxPair<double> c = b.get(x, y, false);
      v.push_back(static_cast<float>(c.x));
      v.push_back(static_cast<float>(c.y));
    }
  return v;
}

TEST(CrossMachineBits, AngleImagesAndArctangent) {
  const vxFrequencyBuffer buf = spectrum();
  vxPelBuffer<unsigned char> magnitude;
  vxPelBuffer<double> angle;
  vfInverseFFTAngle(buf, magnitude, angle, false);
  EXPECT_EQ(fnv1a64(asFloats(angle)), 0xd284af18a8ded773ull);
  EXPECT_EQ(fnv1a64(asFloats(buf.getPhaseImage(true))), 0xc103e354746cf203ull);

  // vfAtan2f is the correctly rounded angle wherever the double-precision angle
  // rounds unambiguously; the C99 special values hold exactly.
  std::mt19937 g(5);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-60, 60);
  for (int i = 0; i < 200000; ++i) {
    const float y = std::ldexp(mantissa(g), exponent(g));
    const float x = std::ldexp(mantissa(g), exponent(g));
    ASSERT_EQ(vfAtan2f(y, x), static_cast<float>(std::atan2(static_cast<double>(y), x)))
        << y << " " << x;
  }
  const float inf = INFINITY;
  const float pi = 3.14159265358979f;
  EXPECT_TRUE(vfAtan2f(0.0f, 0.0f) == 0.0f && !std::signbit(vfAtan2f(0.0f, 0.0f)));
  EXPECT_TRUE(vfAtan2f(-0.0f, 1.0f) == 0.0f && std::signbit(vfAtan2f(-0.0f, 1.0f)));
  EXPECT_EQ(vfAtan2f(0.0f, -0.0f), pi);
  EXPECT_EQ(vfAtan2f(-0.0f, -2.0f), -pi);
  EXPECT_EQ(vfAtan2f(inf, -inf), 3 * pi / 4);
  EXPECT_EQ(vfAtan2f(-inf, inf), -pi / 4);
  EXPECT_EQ(vfAtan2f(3.0f, inf), 0.0f);
  EXPECT_EQ(vfAtan2f(-3.0f, -inf), -pi);
  EXPECT_EQ(vfAtan2f(inf, 5.0f), pi / 2);
  EXPECT_EQ(vfAtan2f(-1.0f, 0.0f), -pi / 2);
  EXPECT_TRUE(std::isnan(vfAtan2f(NAN, 1.0f)) && std::isnan(vfAtan2f(1.0f, NAN)));
}

TEST(CrossMachineBits, DisplayMaps) {
  const vxFrequencyBuffer buf = spectrum();
  const vxPelBuffer<double> magnitude = buf.getMagnitudeImage(true);
  EXPECT_EQ(fnv1a64(asFloats(magnitude)), 0x0765ce6a30762773ull);
  const std::uint64_t expected[] = {0xa2d7d618d6289c65ull, 0xb3af42322031f637ull,
                                    0x730678e50f6cad1dull, 0xdea8c7247e77dc34ull,
                                    0x95c0df3b25298c05ull};
  const vxFrequencyDefs::FrequencyMapping maps[] = {
      vxFrequencyDefs::Clamp, vxFrequencyDefs::Linear, vxFrequencyDefs::LinearRange,
      vxFrequencyDefs::Logarithmic, vxFrequencyDefs::Angle};
  for (int m = 0; m < 5; ++m)
    EXPECT_EQ(fnv1a64(asFloats(vfFrequencyMapImage(magnitude, maps[m], 10.0, 3000.0))), expected[m])
        << "mapping " << m;
}

TEST(CrossMachineBits, FilterTables) {
  const vxFrequencyBuffer input = spectrum();
  const vxPair<long> size(64, 64);
  const vxFrequencyFilterBandPass pass(0.03, 0.01, 0.2, size, 2);
  const vxFrequencyFilterBandReject reject(0.05, 0.0, 0.31, size, 0);
  const vxFrequencyFilterGabor gabor(vxPair<double>(0.04, 0.02), vxPair<double>(0.01, 0.0),
                                     vxRadian(0.7), 0.25, size, 1);
  const vxFrequencyFilterGaborReject gaborReject(
      vxPair<double>(0.02, 0.05), vxPair<double>(0.0, 0.02), vxRadian(-2.1), 0.15, size, 0);
  const vxFrequencyFilter* filters[] = {&pass, &reject, &gabor, &gaborReject};
  const std::uint64_t expected[] = {0x2bf77aeea7be4c04ull, 0xcd852eb5a3aae7d0ull,
                                    0x44b480f8432e3e72ull, 0xb1b23faaddadd067ull};
  for (int f = 0; f < 4; ++f) {
    vxFrequencyBuffer out;
    filters[f]->apply(input, out);
    EXPECT_EQ(fnv1a64(values(out)), expected[f]) << "filter " << f;
  }
}

}  // namespace
