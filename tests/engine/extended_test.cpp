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

struct ExtendedCase {
  int w, h;
  std::uint64_t forward;        // complex engine, forward
  std::uint64_t inverse;        // complex engine, inverse, all rows kept
  std::uint64_t inverseMasked;  // rows outside centred band [H/4, 3H/4] zeroed
  std::uint64_t real;           // real-input engine, forward
};

// Inputs from the generator of test_support.h at its default seed; FNV-1a 64 over all
// 2 W H output floats in storage order.
const ExtendedCase kExtendedCases[] = {
    {1, 1, 0xc81978963e5bb982ull, 0xc81978963e5bb982ull, 0xc81978963e5bb982ull,
     0xf5e4a89da2645efdull},
    {8, 8, 0x16d2a90f299541f6ull, 0x7e203eca5558b5f2ull, 0xff3909f6477c8607ull,
     0x5f392cd450d0d1e4ull},
    {64, 32, 0x74fd9e5e6c55dd71ull, 0x9a2b44a0b6de5111ull, 0x979cf41ae70e4fd4ull,
     0x81e0cc642896f7c6ull},
    {32, 64, 0x978ef337ec899eb7ull, 0x3abd0e4d160d0e1dull, 0x587b03aa4117c8c7ull,
     0xb413e7f963bf455full},
    {2, 16384, 0x543af967d565978cull, 0x02c3b0017766d926ull, 0xeb25e634783ea13cull,
     0x349faf6320a792bbull},
    {16384, 2, 0x1a94f3621626aedaull, 0xfff2688497d7e8e7ull, 0xfff2688497d7e8e7ull,
     0x2dacbe60db1d66baull},
    {2048, 2048, 0xfb25c1826b0f790cull, 0xaf485f809bdfe9cbull, 0xe193305d0b8a55daull,
     0xde3bf336311ce13full},
    {4096, 4096, 0xc6d13909722933afull, 0x33324b7765465a0bull, 0xe960ab8985564833ull,
     0x6f69e9090a71d115ull},
};

TEST(ExtendedVectors, EveryPathReproducesEveryHash) {
  const vxExtendedScope extended;
  onEveryPath([](const TestPath&) {
    for (const ExtendedCase& c : kExtendedCases) {
      SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
      const vxPair<long> size(c.w, c.h);
      const std::vector<float> input = complexInput(c.w, c.h);
      std::vector<float> a = input;
      vf_ComplexFFT2D(a.data(), size, +1, 0, c.h);
      EXPECT_EQ(fnv1a64(a), c.forward);
      a = input;
      vf_ComplexFFT2D(a.data(), size, -1, 0, c.h);
      EXPECT_EQ(fnv1a64(a), c.inverse);
      a = input;
      zeroOutsideBand(a, c.w, c.h, c.h / 4, 3 * c.h / 4);
      vf_ComplexFFT2D(a.data(), size, -1, c.h / 4, 3 * c.h / 4);
      EXPECT_EQ(fnv1a64(a), c.inverseMasked);
      a = realInput(c.w, c.h);
      vf_RealFFT2D(a.data(), size, +1, 0, c.h);
      EXPECT_EQ(fnv1a64(a), c.real);
    }
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
