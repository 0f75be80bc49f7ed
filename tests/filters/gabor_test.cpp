// Gabor and Gabor-reject filters: window sizes, hand-computed gains, tones at and away
// from the centre point (the mirrored tone among them), symmetry about the centre,
// Gabor plus reject against the input and the mask band.
#include "filt/freqfilt.h"
#include "filters/test_support.h"

#include <cmath>
#include <vector>

using namespace filter_test;

namespace {

const double kPi = 3.14159265358979323846;
const vxPair<double> kSigma(0.02, 0.02), kFlat(0.0, 0.0);
const vxPair<long> k64(64, 64);
using Gabor = vxFrequencyFilterGabor;
using GaborReject = vxFrequencyFilterGaborReject;
}  // namespace

// 64 x 64 at angle 0, frequency 0.25: sigma 1.28 bins, a window of 8 x 1.28 + 3.2 =
// 13.44 -> 13 elements each way around centred (16, 0).
TEST(GaborFilter, WindowGainsSymmetryAndTheMirroredTone) {
  const Gabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  EXPECT_EQ(g.supportWidth() * 100 + g.supportHeight(), 1313);
  const vxFrequencyBuffer a = gains(g, 64, 64);
  const vxFrequencyBuffer r = gains(GaborReject(kSigma, kFlat, vxRadian(0), 0.25, k64, 0), 64, 64);
  EXPECT_EQ(a.get(16, 0, true), vxPair<double>(1, 1));
  EXPECT_EQ(r.get(16, 0, true), vxPair<double>(0, 0));
  EXPECT_NEAR(a.getReal(17, 0, true), std::exp(-1 / 3.2768), 1e-7);
  EXPECT_NEAR(a.getReal(16, 1, true), std::exp(-1 / 3.2768), 1e-7);
  EXPECT_NEAR(a.getReal(10, 0, true), std::exp(-36 / 3.2768), 1e-9);  // the window's edge
  EXPECT_NEAR(a.getReal(19, 2, true), std::exp(-13 / 3.2768), 1e-7);
  for (long k = 0; k <= 6; ++k)
    for (long j = 0; j <= 6; ++j) {
      const double g0 = a.getReal(16 + k, j, true);
      EXPECT_EQ(a.getReal(16 - k, j, true), g0) << k << "," << j;
      EXPECT_EQ(a.getReal(16 + k, -j, true), g0) << k << "," << j;
    }
  for (long y = -32; y < 32; ++y)
    for (long x = -32; x < 32; ++x) {
      const bool window = std::abs(x - 16) <= 6 && std::abs(y) <= 6;
      if (!window) {
        ASSERT_EQ(a.get(x, y, true), vxPair<double>(0, 0)) << x << "," << y;
      }  // -16 among them
      if (!window) {
        ASSERT_EQ(r.get(x, y, true), vxPair<double>(1, 1)) << x << "," << y;
      }
      ASSERT_NEAR(a.getReal(x, y, true) + r.getReal(x, y, true), 1.0, 1e-6) << x << "," << y;
    }
  EXPECT_EQ(maskOf(a), std::vector<long>({1, 26, 38}));  // centred rows -6 .. 6
  EXPECT_EQ(maskOf(r), std::vector<long>({0, 0, 0}));
  // A quarter turn puts the centre at (0, 16) with the same profile turned.
  const vxFrequencyBuffer q = gains(Gabor(kSigma, kFlat, vxRadian(kPi / 2), 0.25, k64, 0), 64, 64);
  for (long k = -6; k <= 6; ++k)
    for (long j = -6; j <= 6; ++j)
      ASSERT_NEAR(q.getReal(j, 16 + k, true), a.getReal(16 + k, j, true), 1e-6);
  // A plateau of 0.05 W = 3.2 bins along the direction: 19 x 13, seven gains of exactly 1.
  const Gabor p(kSigma, vxPair<double>(0.05, 0), vxRadian(0), 0.25, k64, 0);
  EXPECT_EQ(p.supportWidth() * 100 + p.supportHeight(), 1913);
  const vxFrequencyBuffer pg = gains(p, 64, 64);
  for (long i = -4; i <= 4; ++i)
    EXPECT_EQ(pg.getReal(16 + i, 0, true) == 1.0, std::abs(i) <= 3) << i;
}

TEST(GaborFilter, OddShapesAndTheBuffersEdge) {
  // 64 x 32 at a quarter turn: 9 x 7 around centred (0, 8); a row is two bins.
  const vxPair<double> sigma(0.02, 0.01), plateau(0.01, 0.0);
  const Gabor q(sigma, plateau, vxRadian(kPi / 2), 0.25, vxPair<long>(64, 32), 0);
  EXPECT_EQ(q.supportWidth() * 100 + q.supportHeight(), 907);
  const vxFrequencyBuffer qg = gains(q, 64, 32);
  EXPECT_EQ(maskOf(qg), std::vector<long>({1, 21, 27}));
  EXPECT_EQ(qg.get(0, 8, true), vxPair<double>(1, 1));
  EXPECT_EQ(qg.get(0, 4, true), vxPair<double>(0, 0));
  EXPECT_NEAR(qg.getReal(1, 8, true), std::exp(-1 / (2 * 0.64 * 0.64)),
              1e-6);  // across: sigma 0.64 bins
  // Frequency 0.5: the centre lies just beyond the last column; nothing wraps round.
  const vxFrequencyBuffer e = gains(Gabor(kSigma, kFlat, vxRadian(0), 0.5, k64, 0), 64, 64);
  EXPECT_TRUE(e.get(-32, 0, true) == vxPair<double>(0, 0) &&
              e.get(-31, 0, true) == vxPair<double>(0, 0));
  // Out of place: the same values and mask, the input left alone.
  vxFrequencyBuffer in = patterned(64, 64, 3), a, b;
  Access::setMask(in, 1, 0, 5);
  const Gabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  a = in;
  g.apply(a);
  g.apply(in, b);
  EXPECT_EQ(maskOf(in), std::vector<long>({1, 0, 5}));
  EXPECT_EQ(Snapshot(a), Snapshot(b));
  EXPECT_EQ(a.getReal(17, 0, true), float(in.getReal(17, 0, true) * float(std::exp(-1 / 3.2768))));
  // The inverse of the masked band gives the bits of the inverse of all rows.
  vxFrequencyBuffer unmasked = a;
  Access::setMask(unmasked, 0, 0, 0);
  vxPelBuffer<double> re, im, re2, im2;
  vfInverseFFT(a, re, im);
  vfInverseFFT(unmasked, re2, im2);
  EXPECT_TRUE(filter_test::samePixels(re, re2) && filter_test::samePixels(im, im2));
}

// A NaN sigma or plateau passes the range checks; the build refuses it unchanged.
TEST(GaborFilter, NaNSigmaOrPlateauIsRefusedBeforeAnythingChanges) {
  Gabor f(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const Gabor before(f);
  expectError<Defs::InvalidArgument>(
      [&] {
        f.sigma({0.02, std::nan("")});
      },
      L"Sigma values must be numbers.");
  expectError<Defs::InvalidArgument>(
      [&] {
        f.plateau({std::nan(""), 0.0});
      },
      L"Plateau values must be numbers.");
  EXPECT_TRUE(f == before);
}
