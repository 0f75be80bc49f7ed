// The extended mode's engines at sizes that are not powers of two on both sides: every
// class of factors (powers of two beside other sides, 3-, 5- and 7-smooth, the larger
// radices, primes and products with a large prime) against a double-precision DFT, the
// real-input engine against the complex one, and reference hashes that every path
// reproduces.
#include "engine/test_support.h"
#include "filt/engine/any_plan.h"
#include "filt/engine/engines.h"
#include "filt/extended.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using namespace engine_test;

struct Size {
  int w, h;
};

// Each class of lengths once along each axis, small enough for the direct DFT.
const std::vector<Size> kAccuracySizes = {
    {2048, 6},  {6, 2048},  // a power of two beside a length of two factors
    {15, 9},    {49, 25},   // 3-, 5- and 7-smooth
    {625, 729}, {360, 1},   // powers of 5 and 3; one row
    {143, 323}, {31, 17},   // radices 11, 13, 17, 19 and the primes up to 31
    {1, 16381}, {3, 4093},  // primes beyond the radices: Bluestein's transform
    {2062, 5},  {37, 74},   // a large prime times a small one
};

// Positions 0, 1, n/3, n/2 and n - 1 that a length of n has, each once.
std::vector<int> samples(int n) {
  std::vector<int> at;
  for (const int i : {0, 1, n / 3, n / 2, n - 1})
    if (i < n && std::find(at.begin(), at.end(), i) == at.end()) at.push_back(i);
  return at;
}

TEST(AnySizeAccuracy, BothEnginesAgainstADoubleDft) {
  const vxExtendedScope extended;
  for (const Size s : kAccuracySizes) {
    const int w = s.w, h = s.h;
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    const double tolerance = 1.1920929e-7 * std::sqrt(std::log2(2.0 * w * h));
    const std::vector<int> us = samples(w), vs = samples(h);
    for (const int sign : {-1, +1}) {
      std::vector<float> a = complexInput(w, h, 11);
      const std::vector<Cd> ref = dft2D(a, w, h, sign, us, vs);
      vf_ComplexFFT2D(a.data(), vxPair<long>(w, h), -sign, 0, h);
      const double e = relativeRms(a, w, ref, us, vs);
      EXPECT_LT(e, tolerance) << "direction " << -sign;
    }
    std::vector<float> real = realInput(w, h, 11);
    const std::vector<float> asComplex = realAsComplex(real, w, h);
    const std::vector<Cd> ref = dft2D(asComplex, w, h, -1, us, vs);
    vf_RealFFT2D(real.data(), vxPair<long>(w, h), +1, 0, h);
    // The half beyond W/2 is the conjugate mirror of the other, exactly.
    for (int v = 0; v < h; ++v)
      for (int u = 1; 2 * u < w; ++u) {
        const std::size_t at = 2 * (static_cast<std::size_t>(v) * w + (w - u));
        const std::size_t from = 2 * (static_cast<std::size_t>((h - v) % h) * w + u);
        ASSERT_EQ(bitsOf(real[at]), bitsOf(real[from])) << u << "," << v;
        ASSERT_EQ(bitsOf(real[at + 1]), bitsOf(-real[from + 1])) << u << "," << v;
      }
    const double e = relativeRms(real, w, ref, us, vs);
    EXPECT_LT(e, tolerance) << "real input";
  }
}

// The hashes of engine_hashes.txt's [any] section, on every path: camera pictures, a
// prime row and column both ways, powers of 3 and 5, and two primes that take radix
// stages.
TEST(AnySizeVectors, EveryPathReproducesEveryHash) {
  const vxExtendedScope extended;
  onEveryPath([](const TestPath&) {
    const std::vector<EngineHashes> cases = engineHashes("any");
    ASSERT_EQ(cases.size(), 10u);
    for (const EngineHashes& c : cases) expectEngineHashes(c);
  });
}

}  // namespace
