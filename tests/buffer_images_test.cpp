// Images read off a frequency buffer, and the display mapping of double images.
#include "filt/buffer_access.h"
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <cmath>

using Defs = vxFrequencyDefs;
using Access = vx_detail::FrequencyBufferAccess;

TEST(BufferImages, StorageAndCentredOrder) {
  vxPelBuffer<double> ones(2, 2, 32);
  vfPelSet(ones, 1.0);
  vxFrequencyBuffer b;
  vfForwardFFT<double>(ones, b);
  const vxPelBuffer<double> plain = b.getRealImage(false);
  const vxPelBuffer<double> centred = b.getRealImage(true);
  const vxPelBuffer<double> magnitude = b.getMagnitudeImage(true);
  EXPECT_EQ(plain.at(0, 0), 4.0);
  EXPECT_EQ(centred.at(1, 1), 4.0);
  EXPECT_EQ(magnitude.at(1, 1), 4.0);
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 2; ++x)
      if (x != 1 || y != 1) {
        EXPECT_EQ(magnitude.at(x, y), 0.0);
      }

  // Width 8: element x goes to pixel (x + 4) mod 8; rows likewise with height 4.
  vxFrequencyBuffer wide(8, 4);
  for (long x = 0; x < 8; ++x) wide.put(x, 1, vxPair<double>(x, -x), false);
  const vxPelBuffer<double> re = wide.getRealImage(true);
  const vxPelBuffer<double> im = wide.getImaginaryImage(true);
  EXPECT_EQ(re.width(), 8);
  EXPECT_EQ(re.height(), 4);
  EXPECT_EQ(re.at(4, 3), 0.0);
  EXPECT_EQ(re.at(7, 3), 3.0);
  EXPECT_EQ(re.at(0, 3), 4.0);
  EXPECT_EQ(re.at(3, 3), 7.0);
  EXPECT_EQ(im.at(3, 3), -7.0);

  // A buffer made from a 3 x 3 image gives 4 x 4 images; a 1 x 1 buffer a 1 x 1 image.
  EXPECT_EQ(vxFrequencyBuffer(3, 3).getPhaseImage(true).width(), 4);
  EXPECT_EQ(vxFrequencyBuffer(1, 1).getMagnitudeImage(true).width(), 1);
}

TEST(BufferImages, MagnitudeInFloatAndPhaseReducedToOneTurn) {
  vxFrequencyBuffer b(4, 1);
  b.put(0, 0, vxPair<double>(0.0, -1.0), false);
  b.put(1, 0, vxPair<double>(0.0, 0.0), false);
  b.put(2, 0, vxPair<double>(3.0, 4.0), false);
  b.put(3, 0, vxPair<double>(0.1, 0.2), false);
  const vxPelBuffer<double> phase = b.getPhaseImage(false);
  const double pi = 3.141592653589793;
  EXPECT_DOUBLE_EQ(phase.at(0, 0), 1.5 * pi);
  EXPECT_EQ(phase.at(1, 0), 0.0);
  EXPECT_DOUBLE_EQ(phase.at(2, 0), std::atan2(4.0, 3.0));
  const vxPelBuffer<double> magnitude = b.getMagnitudeImage(false);
  const float re = 0.1f, im = 0.2f;
  EXPECT_EQ(magnitude.at(3, 0), static_cast<double>(std::sqrt(re * re + im * im)));
  EXPECT_EQ(magnitude.at(2, 0), 5.0);
}

TEST(BufferImages, RefusedWithoutDataOrAfterAnInPlaceInverse) {
  vxFrequencyBuffer empty;
  EXPECT_THROW(empty.getRealImage(false), Defs::Uninitialized);
  vxFrequencyBuffer b(4, 4);
  Access::setInverseComputed(b, true);
  EXPECT_THROW(b.getRealImage(false), Defs::InvalidBuffer);
  EXPECT_THROW(b.getImaginaryImage(true), Defs::InvalidBuffer);
  EXPECT_THROW(b.getMagnitudeImage(true), Defs::InvalidBuffer);
  EXPECT_THROW(b.getPhaseImage(false), Defs::InvalidBuffer);
}

namespace {

// Maps a row of values and returns the pixels.
std::vector<int> mapped(std::initializer_list<double> values, Defs::FrequencyMapping rule,
                        double low = 0.0, double high = 0.0) {
  vxPelBuffer<double> image(static_cast<long>(values.size()), 1, 32);
  long x = 0;
  for (double v : values) image.at(x++, 0) = v;
  const vxPelBuffer<unsigned char> out = vfFrequencyMapImage(image, rule, low, high);
  std::vector<int> pixels;
  for (long i = 0; i < out.width(); ++i) pixels.push_back(out.at(i, 0));
  return pixels;
}

}  // namespace

TEST(FrequencyMapImage, EveryRuleOnHandComputedValues) {
  using V = std::vector<int>;
  EXPECT_EQ(mapped({-5.0, 3.7, 300.0}, Defs::Clamp), (V{0, 3, 255}));
  EXPECT_EQ(mapped({0.0, 5.0, 10.0}, Defs::Linear), (V{0, 127, 255}));
  EXPECT_EQ(mapped({-10.0, 0.0, 10.0}, Defs::Linear), (V{0, 127, 255}));
  EXPECT_EQ(mapped({0.0, 0.0}, Defs::Linear), (V{0, 0}));
  EXPECT_EQ(mapped({4.0, 4.0}, Defs::Linear), (V{255, 255}));
  EXPECT_EQ(mapped({2.0, 10.0, 12.0, 1.0}, Defs::LinearRange, 2.0, 10.0), (V{0, 204, 255, 0}));
  EXPECT_EQ(mapped({0.0}, Defs::LinearRange, -10.0, 10.0), (V{127}));
  EXPECT_EQ(mapped({0.0, 1.0}, Defs::Logarithmic), (V{0, 255}));
  // ln(11) * 255 / ln(10) = 265.3..., whose low 8 bits are 9.
  EXPECT_EQ(mapped({0.0, 10.0}, Defs::Logarithmic), (V{0, 9}));
  const double pi = 3.141592653589793;
  EXPECT_EQ(mapped({pi, 2 * pi - 0.001, -0.5}, Defs::Angle), (V{127, 254, 236}));
  // Not-a-number values map to 0 rather than to an undefined conversion.
  EXPECT_EQ(mapped({std::nan(""), 1.0}, Defs::Clamp), (V{0, 1}));
}

TEST(FrequencyMapImage, KeepsTheTransformAndRefusesUnboundImages) {
  vxPelBuffer<double> image(3, 2, 32);
  image.offset(7, 8);
  vx2XformCache xf;
  xf.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(), vxVector<2>(1.0, 2.0))));
  image.copyXforms(xf);
  const vxPelBuffer<unsigned char> out = vfFrequencyMapImage(image, Defs::Clamp, 0, 0);
  EXPECT_EQ(out.width(), 3);
  EXPECT_EQ(out.height(), 2);
  EXPECT_EQ(out.offset(), vxPair<long>(0, 0));
  EXPECT_EQ(out.clientXform(), xf);
  try {
    vfFrequencyMapImage(vxPelBuffer<double>(), Defs::Linear, 0, 0);
    ADD_FAILURE();
  } catch (const Defs::UnboundWindow& e) {
    EXPECT_EQ(e.message(), nullptr);
  }
}
