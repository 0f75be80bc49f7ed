// The engines in the extended mode: the twiddle tables against independently computed
// sines and cosines, reference hashes that every path reproduces (sizes up to 16384
// along an axis), the accuracy against a double-precision DFT, and the mode's scope.
#include "filt/extended.h"
#include "engine/test_support.h"
#include "filt/engine/engines.h"
#include "filt/engine/twiddles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

using namespace engine_test;

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;

// Every factor of the extended mode's tables is cos or sin of 2 pi m / 2^k rounded to
// float; long double sin and cos of the same angles, rounded to float, must agree.
// Where the exact value is 0 or 1 the tables hold exactly that (long double's 2 pi is
// not exact, so its cos(pi/2) is 1e-20, not 0).
TEST(ExtendedTwiddles, EveryFactorIsTheRoundedSineOrCosine) {
  for (int k = 0; k <= vx_detail::EngineTables::kAccurateLevels; ++k) {
    const std::int64_t n = std::int64_t{1} << k;
    for (std::int64_t m = 0; m < n; ++m) {
      double c = 0.0, s = 0.0;
      vx_detail::cosSinTwoPi(m, n, c, s);
      const long double angle = kTwoPi * static_cast<long double>(m) / static_cast<long double>(n);
      const bool quarter = (4 * m) % n == 0;
      const float wantC =
          quarter ? static_cast<float>(std::lround(std::cos(static_cast<double>(angle))))
                  : static_cast<float>(std::cos(angle));
      const float wantS =
          quarter ? static_cast<float>(std::lround(std::sin(static_cast<double>(angle))))
                  : static_cast<float>(std::sin(angle));
      ASSERT_EQ(bitsOf(static_cast<float>(c)), bitsOf(wantC + 0.0f)) << m << "/" << n;
      ASSERT_EQ(bitsOf(static_cast<float>(s)), bitsOf(wantS + 0.0f)) << m << "/" << n;
    }
  }
  // Angles beyond one turn and below zero reduce to it.
  double c1, s1, c2, s2;
  vx_detail::cosSinTwoPi(5, 16, c1, s1);
  vx_detail::cosSinTwoPi(5 - 3 * 16, 16, c2, s2);
  EXPECT_EQ(c1, c2);
  EXPECT_EQ(s1, s2);
}

// The extended mode's hashes of engine_hashes.txt, on every path.
TEST(ExtendedVectors, EveryPathReproducesEveryHash) {
  const vxExtendedScope extended;
  onEveryPath([](const TestPath&) {
    const std::vector<EngineHashes> cases = engineHashes("extended");
    ASSERT_EQ(cases.size(), 8u);
    for (const EngineHashes& c : cases) expectEngineHashes(c);
  });
}

// The relative RMS error against a double-precision DFT at sampled rows and columns is
// that of the best single-precision transforms: about 0.3 eps sqrt(log2(W H)) is
// observed (1.2e-7 at 64 x 64, 1.7e-7 at 4096 x 4096); the compatible mode's float
// rotation of the twiddle factors gives 14 times that at 4096 x 4096.
TEST(ExtendedAccuracy, BothEnginesAsAccurateAsSinglePrecisionAllows) {
  const vxExtendedScope extended;
  const int sizes[][2] = {{64, 64}, {512, 8}, {8, 1024}, {1024, 1024}, {4096, 4096}, {16384, 4}};
  for (const auto& s : sizes) {
    const int w = s[0], h = s[1];
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    const double tolerance = 0.5 * 1.1920929e-7 * std::sqrt(std::log2(double(w) * h));
    const std::vector<int> us = {0, 1, 3, w / 2, w - 1};
    const std::vector<int> vs = {0, 1, h / 3, h - 1};
    for (int sign : {-1, +1}) {
      std::vector<float> a = complexInput(w, h, 7);
      const std::vector<Cd> ref = dft2D(a, w, h, sign, us, vs);
      vf_ComplexFFT2D(a.data(), vxPair<long>(w, h), -sign, 0, h);
      EXPECT_LT(relativeRms(a, w, ref, us, vs), tolerance) << "direction " << -sign;
    }
    std::vector<float> real = realInput(w, h, 7);
    const std::vector<Cd> ref = dft2D(realAsComplex(real, w, h), w, h, -1, us, vs);
    vf_RealFFT2D(real.data(), vxPair<long>(w, h), +1, 0, h);
    EXPECT_LT(relativeRms(real, w, ref, us, vs), tolerance) << "real input";
  }
}

// The mode belongs to the thread and its scope: nested scopes restore the mode they
// found, another thread keeps its own, and the compatible mode is the default.
TEST(ExtendedMode, ScopesNestAndBelongToTheirThread) {
  EXPECT_FALSE(vfExtendedMode());
  EXPECT_EQ(vfMaxTransformSide(), 2048);
  {
    const vxExtendedScope outer;
    EXPECT_TRUE(vfExtendedMode());
    EXPECT_EQ(vfMaxTransformSide(), 16384);
    std::thread([] { EXPECT_FALSE(vfExtendedMode()); }).join();
    {
      const vxExtendedScope inner(false);
      EXPECT_FALSE(vfExtendedMode());
    }
    EXPECT_TRUE(vfExtendedMode());
  }
  EXPECT_FALSE(vfExtendedMode());
}

}  // namespace
