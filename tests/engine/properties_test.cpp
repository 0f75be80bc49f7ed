// The engines against a direct double-precision DFT, and the masked inverse, which
// holds exactly.
#include "engine/test_support.h"
#include "filt/engine/engines.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace engine_test;

struct Size {
  int w, h;
};

// Both directions of the complex engine and the real engine against the DFT at
// columns `us` and rows `vs`.
void compareWithDft(int w, int h, const std::vector<int>& us, const std::vector<int>& vs) {
  SCOPED_TRACE(::testing::Message() << w << "x" << h);
  const vxPair<long> size(w, h);
  const std::vector<float> x = complexInput(w, h, 11);
  for (int sign : {-1, +1}) {
    std::vector<float> a = x;
    vf_ComplexFFT2D(a.data(), size, -sign, 0, h);
    EXPECT_LE(relativeRms(a, w, dft2D(x, w, h, sign, us, vs), us, vs), tolerance(w, h)) << sign;
  }
  std::vector<float> r = realInput(w, h, 12);
  const std::vector<float> samples = realAsComplex(r, w, h);
  vf_RealFFT2D(r.data(), size, +1, 0, h);
  EXPECT_LE(relativeRms(r, w, dft2D(samples, w, h, -1, us, vs), us, vs), tolerance(w, h)) << "real";
}

TEST(EngineAccuracy, MatchesDoubleDft) {
  const Size full[] = {{1, 1},    {2, 1},    {1, 2},    {2, 2},     {4, 4},   {8, 8},
                       {16, 16},  {32, 32},  {64, 64},  {256, 256}, {8, 2},   {2, 8},
                       {16, 4},   {4, 16},   {128, 16}, {256, 1},   {1, 256}, {64, 256},
                       {2048, 4}, {4, 2048}, {1024, 16}};
  for (const Size& s : full) compareWithDft(s.w, s.h, allIndices(s.w), allIndices(s.h));
  // Large arrays at 16 x 16 frequencies, DC and Nyquist among them.
  for (const Size& s : {Size{512, 512}, Size{2048, 2048}, Size{2048, 512}}) {
    auto pick = [](int n) {
      std::vector<int> v = {0, 1, 2, 3, n / 2 - 1, n / 2, n / 2 + 1, n - 2, n - 1};
      for (int k = 1; v.size() < 16; ++k) v.push_back((k * 2654435761u) % n);
      return v;
    };
    compareWithDft(s.w, s.h, pick(s.w), pick(s.h));
  }
}

// The inverse with a band of kept rows, on data whose other rows are zero, gives the
// same bits as the inverse of all rows.
TEST(ComplexEngine, MaskedInverseIsBitIdenticalToUnmasked) {
  const long cases[][4] = {{4, 4, 0, 1},         {4, 4, 2, 3},     {2, 2, 1, 1},
                           {8, 8, 3, 5},         {64, 64, 28, 35}, {64, 64, 60, 64},
                           {256, 256, 100, 140}, {32, 8, 2, 5},    {8, 32, 10, 20},
                           {128, 16, 8, 8},      {16, 1, 0, 0},    {1, 16, 4, 12}};
  for (const auto& c : cases) {
    const int w = static_cast<int>(c[0]), h = static_cast<int>(c[1]);
    SCOPED_TRACE(::testing::Message() << w << "x" << h << " band " << c[2] << ".." << c[3]);
    std::vector<float> a = complexInput(w, h, 4);
    zeroOutsideBand(a, w, h, c[2], c[3]);
    std::vector<float> masked = a;
    vf_ComplexFFT2D(a.data(), vxPair<long>(w, h), -1, 0, h);
    vf_ComplexFFT2D(masked.data(), vxPair<long>(w, h), -1, c[2], c[3]);
    ASSERT_EQ(fnv1a64(masked), fnv1a64(a));
  }
}
}  // namespace
