// The real-output engine: the real part of an inverse transform as the inverse of the
// spectrum's Hermitian part, against a double-precision inverse DFT for every class of
// sizes, on spectra with and without the symmetry; in place and out of place alike; and
// reference hashes that every path reproduces.
#include "engine/test_support.h"
#include "filt/engine/any_engine.h"
#include "filt/engine/engines.h"
#include "filt/extended.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace engine_test;

struct Size {
  int w, h;
};

// Row pointers into a W x H array.
std::vector<float*> rowsOf(std::vector<float>& a, int w, int h) {
  std::vector<float*> rows(static_cast<std::size_t>(h));
  for (int r = 0; r < h; ++r) rows[r] = a.data() + 2 * static_cast<std::size_t>(w) * r;
  return rows;
}

std::vector<float> realOutput(const std::vector<float>& spectrum, int w, int h,
                              bool symmetric = false) {
  std::vector<float> out(spectrum.size(), 7.0f);
  std::vector<float*> rows = rowsOf(out, w, h);
  vx_detail::anyRealOutputFFT2D(spectrum.data(), rows.data(), w, h, nullptr, symmetric);
  return out;
}

// Every even and odd width beside every class of heights, the degenerate sides and the
// powers of two (another engine from 4 x 2 on).
const std::vector<Size> kSizes = {
    {1, 1},   {2, 1},   {1, 2},    {2, 2},   {3, 3},    {64, 32},  {32, 64},  {6, 10},  {10, 6},
    {15, 9},  {9, 15},  {12, 49},  {49, 12}, {31, 17},  {143, 22}, {22, 143}, {1, 509}, {509, 1},
    {4, 509}, {509, 4}, {3, 4093}, {37, 74}, {2062, 5}, {36, 36},  {4, 2},    {128, 4}, {8, 128},
};

// The positions of a length n that the comparison samples.
std::vector<int> samples(int n) {
  std::vector<int> at;
  for (const int i : {0, 1, n / 3, n / 2, n - 2, n - 1})
    if (i >= 0 && i < n && std::find(at.begin(), at.end(), i) == at.end()) at.push_back(i);
  return at;
}

TEST(RealOutput, RealPartOfTheInverseAgainstADoubleDft) {
  for (const Size s : kSizes) {
    const int w = s.w, h = s.h;
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    const double tolerance = 1.1920929e-7 * std::sqrt(std::log2(2.0 * w * h)) * 2.0;
    const std::vector<int> xs = w <= 64 ? allIndices(w) : samples(w);
    const std::vector<int> ys = h <= 64 ? allIndices(h) : samples(h);
    // Any spectrum: the result is the real part of its inverse.
    const std::vector<float> spectrum = complexInput(w, h, 5);
    std::vector<Cd> ref = dft2D(spectrum, w, h, +1, xs, ys);
    for (Cd& v : ref) v = Cd(v.real(), 0.0);
    const std::vector<float> got = realOutput(spectrum, w, h);
    EXPECT_LT(relativeRms(got, w, ref, xs, ys), tolerance);
    // Every value is (sample, +0).
    for (std::size_t i = 1; i < got.size(); i += 2) ASSERT_EQ(bitsOf(got[i]), 0u) << i;
  }
}

TEST(RealOutput, GivesBackTheSamplesOfARealForwardTransform) {
  const vxExtendedScope extended;
  for (const Size s : kSizes) {
    const int w = s.w, h = s.h;
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    std::vector<float> a = realInput(w, h, 9);
    const std::vector<float> samplesIn = a;
    vf_RealFFT2D(a.data(), vxPair<long>(w, h), +1, 0, h);
    const std::vector<float> back = realOutput(a, w, h);
    double err = 0.0, norm = 0.0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double want = samplesIn[2 * static_cast<std::size_t>(w) * y + x];
        const double have = back[2 * (static_cast<std::size_t>(w) * y + x)] / (1.0 * w * h);
        err += (have - want) * (have - want);
        norm += want * want;
      }
    EXPECT_LT(std::sqrt(err / norm), 1.1920929e-7 * std::log2(4.0 * w * h));
  }
}

// The result replaces the spectrum with the same bits as in other memory, on every path
// and with tasks on two threads.
TEST(RealOutput, InPlaceAndOutOfPlaceAgreeOnEveryPath) {
  onEveryPath([](const TestPath&) {
    for (const Size s : {Size{36, 36}, Size{31, 17}, Size{64, 32}, Size{143, 22}}) {
      SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
      const std::vector<float> spectrum = complexInput(s.w, s.h, 3);
      const std::vector<float> apart = realOutput(spectrum, s.w, s.h);
      std::vector<float> here = spectrum;
      std::vector<float*> rows = rowsOf(here, s.w, s.h);
      vx_detail::anyRealOutputFFT2D(here.data(), rows.data(), s.w, s.h);
      EXPECT_TRUE(sameBits(apart, here));
    }
  });
}

// engine_hashes.txt's [real-output] section: "W H hash" lines.
std::vector<std::pair<Size, std::uint64_t>> referenceHashes() {
  std::istringstream in(
#include "engine_hashes.inc"
  );
  std::vector<std::pair<Size, std::uint64_t>> cases;
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '[') inSection = line == "[real-output]";
    if (!inSection || line.empty() || line[0] == '[' || line[0] == '#') continue;
    std::istringstream fields(line);
    Size s{};
    std::uint64_t hash = 0;
    fields >> s.w >> s.h >> std::hex >> hash;
    EXPECT_FALSE(fields.fail()) << line;
    cases.emplace_back(s, hash);
  }
  return cases;
}

TEST(RealOutput, EveryPathReproducesEveryHash) {
  const auto cases = referenceHashes();
  ASSERT_EQ(cases.size(), 17u);
  onEveryPath([&](const TestPath&) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.first.w << "x" << c.first.h);
      EXPECT_EQ(fnv1a64(realOutput(complexInput(c.first.w, c.first.h), c.first.w, c.first.h)),
                c.second);
    }
  });
}

// A spectrum said to be conjugate-symmetric gives the bits of reading every mirror when
// it is symmetric bit for bit, and the engine reads only its columns 0 .. W/2: NaN in
// the others changes nothing.
TEST(RealOutput, SymmetricSpectraAreReadOnlyUpToHalfTheWidth) {
  const vxExtendedScope extended;
  onEveryPath([](const TestPath&) {
    for (const Size s : {Size{64, 32}, Size{4, 2}, Size{128, 4}, Size{8, 128}, Size{36, 36},
                         Size{31, 17}, Size{2, 5}, Size{37, 74}}) {
      SCOPED_TRACE(::testing::Message() << s.w << "x" << s.h);
      std::vector<float> spectrum = realInput(s.w, s.h, 4);
      vf_RealFFT2D(spectrum.data(), vxPair<long>(s.w, s.h), +1, 0, s.h);
      const std::vector<float> read = realOutput(spectrum, s.w, s.h);
      EXPECT_TRUE(sameBits(read, realOutput(spectrum, s.w, s.h, true)));
      for (std::size_t i = 0; i < spectrum.size(); ++i)
        if (static_cast<int>(i % (2 * s.w)) > 2 * (s.w / 2) + 1) spectrum[i] = std::nanf("");
      EXPECT_TRUE(sameBits(read, realOutput(spectrum, s.w, s.h, true)));
    }
  });
}

// The checks fall before columns 0 and 16 of the 21 columns and rows 0, 16 and 32 of a
// 40 x 40 spectrum; a report at any of them stops the engine with an exception.
TEST(RealOutput, ChecksAttentionBeforeEverySixteenthColumnAndRow) {
  const std::vector<float> spectrum = complexInput(40, 40);
  std::vector<float> out(spectrum.size());
  std::vector<float*> rows = rowsOf(out, 40, 40);
  {
    ProbeGuard probe;
    vx_detail::anyRealOutputFFT2D(spectrum.data(), rows.data(), 40, 40);
    EXPECT_EQ(probe.checks(), 5);
  }
  for (std::int64_t failAt = 1; failAt <= 5; ++failAt) {
    ProbeGuard probe(failAt);
    EXPECT_ANY_THROW(vx_detail::anyRealOutputFFT2D(spectrum.data(), rows.data(), 40, 40));
  }
}

}  // namespace
