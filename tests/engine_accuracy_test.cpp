// Both engines against a direct double-precision DFT, exact results for inputs
// whose transforms are exact in float, and forward-inverse round trips.
#include "filt/engines.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using namespace engine_test;

struct Size {
  int w, h;
};

// Forward and inverse of the complex engine and the real engine against the
// DFT at columns `us` and rows `vs`.
void compareWithDft(int w, int h, const std::vector<int>& us, const std::vector<int>& vs) {
  SCOPED_TRACE(::testing::Message() << w << "x" << h);
  const vxPair<long> size(w, h);
  const std::vector<float> x = complexInput(w, h, 11);
  for (int sign : {-1, +1}) {
    std::vector<float> a = x;
    vf_ComplexFFT2D(a.data(), size, -sign, 0, h);
    EXPECT_LE(relativeRms(a, w, dft2D(x, w, h, sign, us, vs), us, vs), tolerance(w, h))
        << (sign < 0 ? "forward" : "inverse");
  }
  std::vector<float> r = realInput(w, h, 12);
  const std::vector<float> samples = realAsComplex(r, w, h);
  vf_RealFFT2D(r.data(), size, +1, 0, h);
  EXPECT_LE(relativeRms(r, w, dft2D(samples, w, h, -1, us, vs), us, vs), tolerance(w, h)) << "real";
}

TEST(EngineAccuracy, MatchesDoubleDftEverywhereUpTo256) {
  const Size sizes[] = {{1, 1},   {2, 1},   {1, 2},   {2, 2},    {4, 4},    {8, 8},   {16, 16},
                        {32, 32}, {64, 64}, {256, 256}, {8, 2},   {2, 8},    {16, 4},  {4, 16},
                        {128, 16}, {16, 128}, {256, 1}, {1, 256}, {64, 256}, {256, 32}};
  for (const Size& s : sizes) compareWithDft(s.w, s.h, allIndices(s.w), allIndices(s.h));
}

TEST(EngineAccuracy, MatchesDoubleDftForLongRows) {
  const Size full[] = {{2048, 1}, {1, 2048}, {2048, 4}, {4, 2048}, {1024, 16}, {16, 1024}};
  for (const Size& s : full) compareWithDft(s.w, s.h, allIndices(s.w), allIndices(s.h));

  // Large arrays at 16 x 16 sampled frequencies, DC and Nyquist among them.
  const Size sampled[] = {{512, 512}, {1024, 1024}, {2048, 2048}, {2048, 512}};
  for (const Size& s : sampled) {
    auto pick = [](int n) {
      std::vector<int> v = {0, 1, 2, 3, n / 2 - 1, n / 2, n / 2 + 1, n - 2, n - 1};
      for (int k = 1; v.size() < 16; ++k) v.push_back((k * 2654435761u) % n);
      return v;
    };
    compareWithDft(s.w, s.h, pick(s.w), pick(s.h));
  }
}

TEST(EngineAccuracy, ExactTransformsOfSimpleInputs) {
  // 1 x 1: unchanged, both ways and in the real engine.
  for (long dir : {+1L, -1L}) {
    std::vector<float> one = {2.0f, 3.0f};
    vf_ComplexFFT2D(one.data(), vxPair<long>(1, 1), dir, 0, 1);
    EXPECT_EQ(one, (std::vector<float>{2.0f, 3.0f}));
  }
  std::vector<float> realOne = {5.0f, 0.0f};
  vf_RealFFT2D(realOne.data(), vxPair<long>(1, 1), +1, 0, 1);
  EXPECT_EQ(realOne, (std::vector<float>{5.0f, 0.0f}));

  // 2 x 1: (1, 0), (0, 0) -> (1, 0), (1, 0).
  std::vector<float> two = {1.0f, 0.0f, 0.0f, 0.0f};
  vf_ComplexFFT2D(two.data(), vxPair<long>(2, 1), +1, 0, 1);
  EXPECT_EQ(two, (std::vector<float>{1.0f, 0.0f, 1.0f, 0.0f}));

  const Size sizes[] = {{1, 8}, {8, 1}, {2, 2}, {8, 8}, {16, 4}, {4, 16}, {64, 32}};
  for (const Size& s : sizes) {
    SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
    const std::size_t n = 2 * static_cast<std::size_t>(s.w) * s.h;
    const vxPair<long> size(s.w, s.h);
    // A unit impulse at (0, 0) gives (1, 0) everywhere.
    std::vector<float> impulse(n, 0.0f);
    impulse[0] = 1.0f;
    vf_ComplexFFT2D(impulse.data(), size, +1, 0, s.h);
    for (std::size_t p = 0; p < n; ++p) ASSERT_EQ(impulse[p], p % 2 == 0 ? 1.0f : 0.0f) << p;
    // A constant c gives (c W H, 0) at DC and zero elsewhere, in both engines.
    const float c = 0.75f;
    std::vector<float> constant(n);
    for (std::size_t p = 0; p < n; ++p) constant[p] = p % 2 == 0 ? c : 0.0f;
    std::vector<float> real(n, 0.0f);
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) real[2 * static_cast<std::size_t>(s.w) * y + x] = c;
    vf_ComplexFFT2D(constant.data(), size, +1, 0, s.h);
    vf_RealFFT2D(real.data(), size, +1, 0, s.h);
    for (std::size_t p = 0; p < n; ++p) {
      const float expected = p == 0 ? c * s.w * s.h : 0.0f;
      ASSERT_EQ(constant[p], expected) << p;
      ASSERT_EQ(real[p], expected) << p;
    }
  }

  // A sample 1 at column 1 of an 8 x 1 row gives e^(-2 pi i u/8), e^(+2 pi i u/8) inverse.
  for (long dir : {+1L, -1L}) {
    std::vector<float> a(16, 0.0f), r(16, 0.0f);
    a[2] = 1.0f;  // complex value 1
    r[1] = 1.0f;  // real sample 1
    vf_ComplexFFT2D(a.data(), vxPair<long>(8, 1), dir, 0, 1);
    if (dir > 0) vf_RealFFT2D(r.data(), vxPair<long>(8, 1), dir, 0, 1);
    for (int u = 0; u < 8; ++u) {
      const double angle = -double(dir) * 6.283185307179586 * u / 8;
      EXPECT_NEAR(a[2 * u], std::cos(angle), 1e-7) << u;
      EXPECT_NEAR(a[2 * u + 1], std::sin(angle), 1e-7) << u;
      if (dir > 0) {
        EXPECT_NEAR(r[2 * u], std::cos(angle), 1e-7) << u;
        EXPECT_NEAR(r[2 * u + 1], std::sin(angle), 1e-7) << u;
      }
    }
  }
}

TEST(EngineAccuracy, ForwardThenInverseGivesAreaTimesInput) {
  const Size sizes[] = {{8, 8}, {16, 4}, {4, 16}, {1, 8}, {8, 1}, {2, 2}, {256, 128}, {2048, 8}};
  for (const Size& s : sizes) {
    SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
    const vxPair<long> size(s.w, s.h);
    const std::vector<float> x = complexInput(s.w, s.h, 3);
    std::vector<float> a = x;
    vf_ComplexFFT2D(a.data(), size, +1, 0, s.h);
    vf_ComplexFFT2D(a.data(), size, -1, 0, s.h);
    const double area = double(s.w) * s.h;
    double err = 0.0, norm = 0.0;
    for (std::size_t p = 0; p < x.size(); ++p) {
      err += (a[p] / area - x[p]) * (a[p] / area - x[p]);
      norm += double(x[p]) * x[p];
    }
    EXPECT_LE(std::sqrt(err / norm), 2 * tolerance(s.w, s.h));
  }
}

}  // namespace
