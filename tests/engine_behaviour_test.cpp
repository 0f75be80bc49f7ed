// Properties of the engines that hold exactly: the real engine's relation to the
// complex engine, its conjugate symmetry and its indifference to the unused half
// of each row; the masked inverse and the transposes that skip zero rows.
#include "filt/engine_transpose.h"
#include "filt/engines.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

using namespace engine_test;

struct Size {
  int w, h;
};

TEST(RealEngine, AgreesWithComplexEngineOnRealData) {
  const Size sizes[] = {{1, 1}, {2, 2},   {1, 8},     {8, 1},    {2, 8},    {8, 2},   {8, 8},
                        {16, 16}, {16, 4}, {4, 16}, {64, 256}, {256, 64}, {512, 512}};
  for (const Size& s : sizes) {
    SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
    const vxPair<long> size(s.w, s.h);
    std::vector<float> r = realInput(s.w, s.h, 5);
    std::vector<float> c = realAsComplex(r, s.w, s.h);
    vf_RealFFT2D(r.data(), size, +1, 0, s.h);
    vf_ComplexFFT2D(c.data(), size, +1, 0, s.h);
    double diff = 0.0, norm = 0.0;
    for (std::size_t p = 0; p < c.size(); ++p) {
      diff += (double(r[p]) - c[p]) * (double(r[p]) - c[p]);
      norm += double(c[p]) * c[p];
    }
    EXPECT_LE(std::sqrt(diff / norm), 2 * tolerance(s.w, s.h));
  }
}

TEST(RealEngine, SpectrumIsExactlyConjugateSymmetric) {
  const Size sizes[] = {{2, 2}, {4, 4}, {8, 8}, {64, 64}, {16, 1}, {16, 4}, {4, 16}, {128, 32}, {32, 128}};
  for (const Size& s : sizes) {
    SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
    std::vector<float> a = realInput(s.w, s.h, 9);
    vf_RealFFT2D(a.data(), vxPair<long>(s.w, s.h), +1, 0, s.h);
    auto re = [&](int u, int v) { return a[2 * (std::size_t(v) * s.w + u)]; };
    auto im = [&](int u, int v) { return a[2 * (std::size_t(v) * s.w + u) + 1]; };
    EXPECT_EQ(bitsOf(im(0, 0)), 0u);
    EXPECT_EQ(bitsOf(im(s.w / 2, 0)), 0u);
    for (int v = 0; v < s.h; ++v)
      for (int u = 1; u < s.w / 2; ++u) {
        const int mu = s.w - u, mv = (s.h - v) % s.h;
        ASSERT_EQ(bitsOf(re(mu, mv)), bitsOf(re(u, v))) << u << "," << v;
        ASSERT_EQ(bitsOf(im(mu, mv)), bitsOf(-im(u, v))) << u << "," << v;
      }
  }
}

TEST(RealEngine, IgnoresTheUnusedHalfOfEachRow) {
  const Size sizes[] = {{2, 2}, {2, 8}, {4, 4}, {8, 8}, {16, 1}, {64, 64}, {32, 8}, {8, 32}, {256, 16}};
  const float fills[] = {std::numeric_limits<float>::quiet_NaN(), 1e30f, -3.0f};
  for (const Size& s : sizes) {
    SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
    const vxPair<long> size(s.w, s.h);
    std::vector<float> clean = realInput(s.w, s.h, 2);
    vf_RealFFT2D(clean.data(), size, +1, 0, s.h);
    for (float fill : fills) {
      std::vector<float> dirty = realInput(s.w, s.h, 2, fill);
      vf_RealFFT2D(dirty.data(), size, +1, 0, s.h);
      ASSERT_EQ(fnv1a64(dirty), fnv1a64(clean)) << "fill " << fill;
    }
  }
}

TEST(RealEngine, RejectsTheInverseDirectionWithoutTouchingData) {
  std::vector<float> a = realInput(8, 8, 1);
  const std::vector<float> before = a;
  EXPECT_THROW(vf_RealFFT2D(a.data(), vxPair<long>(8, 8), -1, 0, 8), std::invalid_argument);
  EXPECT_EQ(fnv1a64(a), fnv1a64(before));
}

// The inverse with a band of kept rows, on data whose other rows are zero, gives
// the same bits as the inverse of all rows.
TEST(ComplexEngine, MaskedInverseIsBitIdenticalToUnmasked) {
  struct Case {
    int w, h;
    long miny, maxy;
  };
  const Case cases[] = {{4, 4, 0, 1},     {4, 4, 2, 3},     {4, 4, 1, 1},   {2, 2, 1, 1},
                        {8, 8, 3, 5},     {64, 64, 28, 35}, {64, 64, 0, 3}, {64, 64, 60, 64},
                        {256, 256, 100, 140}, {32, 8, 2, 5}, {8, 32, 10, 20}, {128, 16, 8, 8},
                        {16, 128, 0, 40}, {16, 1, 0, 0},    {1, 16, 4, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " band " << c.miny << ".." << c.maxy);
    const vxPair<long> size(c.w, c.h);
    std::vector<float> a = complexInput(c.w, c.h, 4);
    for (int r = 0; r < c.h; ++r) {
      const int centred = (r + c.h / 2) % c.h;
      if (centred < c.miny || centred > c.maxy)
        for (int k = 0; k < 2 * c.w; ++k) a[2 * std::size_t(c.w) * r + k] = 0.0f;
    }
    std::vector<float> masked = a;
    vf_ComplexFFT2D(a.data(), size, -1, 0, c.h);
    vf_ComplexFFT2D(masked.data(), size, -1, c.miny, c.maxy);
    ASSERT_EQ(fnv1a64(masked), fnv1a64(a));
  }
}

// The in-place transpose leaves alone exactly the block pairs whose eight rows are
// all outside the band, and transposes everything else.
TEST(ComplexEngine, SquareTransposeSkipsOnlyBlockPairsOutsideTheBand) {
  const int n = 32;
  const long miny = 12, maxy = 19;  // centred rows 12..19: stored rows 28..31 and 0..3
  auto outside = [&](int row) {
    const int centred = (row + n / 2) % n;
    return centred < miny || centred > maxy;
  };
  std::vector<float> a(2 * n * n);
  for (std::size_t p = 0; p < a.size(); ++p) a[p] = float(p);
  const std::vector<float> before = a;
  vx_detail::transposeSquareInPlace(a.data(), n, miny, maxy);
  int untouchedPairs = 0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const bool skipped = outside(i / 4 * 4) && outside(j / 4 * 4);
      const std::size_t from = skipped ? 2 * (i * n + j) : 2 * (j * n + i);
      ASSERT_EQ(a[2 * (i * n + j)], before[from]) << i << "," << j;
      ASSERT_EQ(a[2 * (i * n + j) + 1], before[from + 1]) << i << "," << j;
      untouchedPairs += skipped && i % 4 == 0 && j % 4 == 0 && i > j;
    }
  EXPECT_EQ(untouchedPairs, 15);  // 6 block bands outside: 6 diagonal blocks and 15 pairs kept

  // The full band transposes everything.
  a = before;
  vx_detail::transposeSquareInPlace(a.data(), n, 0, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) ASSERT_EQ(a[2 * (i * n + j)], before[2 * (j * n + i)]);
}

}  // namespace
