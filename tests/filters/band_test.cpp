// Band-pass and band-reject filters: tables against hand-computed profile values,
// tones on and off the ring, symmetry, pass plus reject against the input.
#include "filt/extended.h"
#include "filt/filters/band_family.h"
#include "filt/freqfilt.h"
#include "filters/test_support.h"

#include <cmath>
#include <utility>

using namespace filter_test;

namespace {

struct PassProbe : vxFrequencyFilterBandPass {  // the table is protected
  using vxFrequencyFilterBandPass::data;
  using vxFrequencyFilterBandPass::vxFrequencyFilterBandPass;
};
struct RejectProbe : vxFrequencyFilterBandReject {
  using vxFrequencyFilterBandReject::data;
  using vxFrequencyFilterBandReject::vxFrequencyFilterBandReject;
};
using Pass = vxFrequencyFilterBandPass;
using Reject = vxFrequencyFilterBandReject;

const vxPair<long> k8(8, 8);

// Within one float step of `want`.
void expectClose(float got, double want) {
  const float w = static_cast<float>(want);
  EXPECT_LE(std::fabs(got - w), std::fabs(w - std::nextafter(w, 0.0f)) + 1e-30) << got;
}

}  // namespace

TEST(BandFilter, TablesOfHandComputedProfiles) {
  // W = 8: s = 0.4 bins; support 4 s + 0.05 W = 2.0, made odd: 3. One bin off the
  // ring (entry 32) the gain is exp(-1 / (2 s^2)) = exp(-3.125).
  const PassProbe pass(0.05, 0.0, 0.25, k8, 0);
  const RejectProbe reject(0.05, 0.0, 0.25, k8, 0);
  EXPECT_EQ(pass.supportWidth(), 3);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pass.data()) % 16, 0u);
  EXPECT_EQ(pass.data()[0], 1.0f);
  EXPECT_EQ(pass.data()[32], static_cast<float>(std::exp(-3.125)));
  EXPECT_EQ(reject.data()[32], static_cast<float>(1.0 - std::exp(-3.125)));
  expectClose(pass.data()[16], std::exp(-0.78125));  // half a bin
  // W = 256: 10.24 + 5.12 + 12.8 = 28.16 -> 29; the plateau covers 163.84 entries.
  const PassProbe flat(0.01, 0.02, 0.1, vxPair<long>(256, 16), 0);
  EXPECT_EQ(flat.supportWidth(), 29);
  for (long i = 0; i <= 163; ++i) ASSERT_EQ(flat.data()[i], 1.0f) << i;
  expectClose(flat.data()[164], std::exp(-(0.005 * 0.005) / (2 * 2.56 * 2.56)));  // 0.005 bins out
  // W = 64, sigma 4 bins: support 19, entry 128 one sigma out; the height plays no part.
  const PassProbe one(0.0625, 0.0, 0.2, vxPair<long>(64, 64), 0),
      tall(0.0625, 0.0, 0.2, vxPair<long>(64, 1024), 0);
  EXPECT_EQ(one.supportWidth(), 19);
  EXPECT_EQ(one.data()[128], static_cast<float>(std::exp(-0.5)));
  for (long i = 0; i < 19 * 32; ++i) ASSERT_EQ(bits(one.data()[i]), bits(tall.data()[i]));
}

// 64 x 64, ring at 16 bins, s = 1.28 bins: tones on the ring pass and are rejected,
// tones off it the other way round; gains are symmetric under kx -> -kx and
// ky -> -ky, fall away from the ring, and pass plus reject gives the input.
TEST(BandFilter, TonesOnAndOffTheRingSymmetryAndPassPlusReject) {
  const vxPair<long> size(64, 64);
  const vxFrequencyBuffer p = gains(Pass(0.02, 0.0, 0.25, size, 0), 64, 64);
  const vxFrequencyBuffer r = gains(Reject(0.02, 0.0, 0.25, size, 0), 64, 64);
  for (auto on :
       {vxPair<long>(16, 0), vxPair<long>(-16, 0), vxPair<long>(0, 16), vxPair<long>(0, -16)}) {
    EXPECT_EQ(p.get(on.x, on.y, true), vxPair<double>(1, 1));
    EXPECT_EQ(r.get(on.x, on.y, true), vxPair<double>(0, 0));
  }
  for (auto off :
       {vxPair<long>(0, 0), vxPair<long>(3, 0), vxPair<long>(-31, -31), vxPair<long>(0, 26)}) {
    EXPECT_EQ(p.get(off.x, off.y, true), vxPair<double>(0, 0));
    EXPECT_EQ(r.get(off.x, off.y, true), vxPair<double>(1, 1));
  }
  expectClose(static_cast<float>(p.getReal(17, 0, true)), std::exp(-1 / (2 * 1.28 * 1.28)));
  for (long k = 0; k < 8; ++k)
    EXPECT_GE(p.getReal(16 + k, 0, true), p.getReal(17 + k, 0, true)) << k;
  for (long y = -31; y <= 31; ++y)
    for (long x = -31; x <= 31; ++x) {
      ASSERT_EQ(bits(float(p.getReal(x, y, true))), bits(float(p.getReal(-x, y, true))))
          << x << "," << y;
      ASSERT_EQ(bits(float(p.getReal(x, y, true))), bits(float(p.getReal(x, -y, true))))
          << x << "," << y;
      ASSERT_NEAR(p.getReal(x, y, true) + r.getReal(x, y, true), 1.0, 1e-6) << x << "," << y;
    }
  // Out of place the pass filter gives the same bits; so does the reject filter
  // away from the ring's outer edge.
  const vxFrequencyBuffer in = patterned(64, 64, 4);
  vxFrequencyBuffer a = in, b, c = in, d;
  Pass(0.02, 0.0, 0.25, size, 0).apply(a);
  Pass(0.02, 0.0, 0.25, size, 0).apply(in, b);
  EXPECT_EQ(Snapshot(a).values, Snapshot(b).values);
  Reject(0.02, 0.0, 0.25, size, 0).apply(c);
  Reject(0.02, 0.0, 0.25, size, 0).apply(in, d);
  EXPECT_EQ(c.get(17, 3, true), d.get(17, 3, true));
  EXPECT_EQ(c.get(2, 1, true), in.get(2, 1, true));
}

TEST(BandFilter, RowsInHorizontalBinsAndTheEdgesOfTheRing) {
  // 64 x 8: support 17, ring at 16; a row step is 8 horizontal bins, so element
  // (0, 1) lies 8 bins inside the ring: exp(-64 / (2 x 3.2^2)).
  const vxFrequencyBuffer w = gains(Pass(0.05, 0.0, 0.25, vxPair<long>(64, 8), 0), 64, 8);
  expectClose(static_cast<float>(w.getReal(0, 1, false)), std::exp(-3.125));
  EXPECT_EQ(w.get(0, 2, false), vxPair<double>(1, 1));  // 16 bins: on the ring
  // 16 x 64: row frequency 20 counts as 5 bins, inside the ring (1 < 25 < 49), but
  // beyond the reach of 4 x 4 + 3 = 19 rows: zeroed.
  EXPECT_EQ(gains(Pass(0.03, 0.02, 0.25, vxPair<long>(16, 64), 0), 16, 64).getReal(0, 20, false),
            0.0);
  // 8 x 8, ring 0.4, support 1: kx = 1 lies on the outer bound trunc(1.4^2), so the
  // in-place reject form leaves it; the out-of-place form tests the table index
  // trunc((1 - 0.4) x 32) = 19 < 32 instead and gains it.
  const RejectProbe edge(0.02, 0.0, 0.05, k8, 0);
  const vxFrequencyBuffer in = patterned(8, 8, 1);
  vxFrequencyBuffer e1 = in, e2;
  edge.apply(e1);
  edge.apply(in, e2);
  EXPECT_TRUE(edge.supportWidth() == 1 && edge.data()[19] < 0.999f);
  EXPECT_EQ(e1.get(1, 0, false), in.get(1, 0, false));
  EXPECT_EQ(element(e2, 1, 0)[1], element(in, 1, 0)[1] * edge.data()[19]);
}

// Parameters no 32-bit table or field can hold are refused before anything changes;
// a rebuild to a table of the same size reuses it.
TEST(BandFilter, OversizedBuildsAreRefusedAndSameSizedTablesReused) {
  PassProbe f(0.05, 0.0, 0.25, k8, 1);
  const PassProbe copy(f);
  const float* table = f.data();
  expectError<Defs::InvalidSize>([&] { f.set(0.05, 0.0, 0.25, vxPair<long>(1L << 30, 8), 0); },
                                 L"The filter's gain table would have more than 2^31 - 4 entries.");
  expectError<Defs::InvalidArgument>([&] { f.set(0.05, 0.0, 0.25, k8, 1L << 31); },
                                     L"DC radius must fit in 32 bits.");
  EXPECT_TRUE(f == copy);
  f.frequency(0.3);
  EXPECT_EQ(f.data(), table);
}

// At sizes that are not powers of two (extended mode) the gains follow the transform's
// frequency grid, fftfreq's: index k stands for k / W below W/2 and (k - W) / W from
// there on, so a ring's gains are the same at k and W - k along both axes, odd sides
// included, and a tone on the ring is removed where one off it stays.
TEST(BandFilter, AnySizeFollowsTheFrequencyGrid) {
  const vxExtendedScope extended;
  for (const vxPair<long> size : {vxPair<long>(5, 7), vxPair<long>(9, 6), vxPair<long>(25, 27)}) {
    SCOPED_TRACE(::testing::Message() << size.x << "x" << size.y);
    const Pass pass(0.08, 0.02, 0.3, size, 0);
    vxFrequencyBuffer ones(size.x, size.y);
    for (long y = 0; y < size.y; ++y)
      for (long x = 0; x < size.x; ++x) ones.put(x, y, vxPair<double>(1, 0), false);
    pass.apply(ones);
    bool somewhereOn = false;
    for (long y = 0; y < size.y; ++y)
      for (long x = 0; x < size.x; ++x) {
        const double g = ones.get(x, y, false).x;
        EXPECT_EQ(g, ones.get((size.x - x) % size.x, (size.y - y) % size.y, false).x)
            << x << "," << y;
        somewhereOn = somewhereOn || g > 0.5;
      }
    EXPECT_TRUE(somewhereOn);
  }
  // 25 x 27: a horizontal tone of 0.32 cycles per pixel (8 of 25 bins) is on the ring of
  // 0.3 (plateau 0.02) and goes; one of 0.12 stays.
  const Reject reject(0.01, 0.03, 0.3, vxPair<long>(25, 27), 0);
  for (const auto& [bins, kept] : {std::pair<int, bool>(8, false), std::pair<int, bool>(3, true)}) {
    vxPelBuffer<double> tone(25, 27, 32);
    for (long y = 0; y < 27; ++y)
      for (long x = 0; x < 25; ++x)
        tone.at(x, y) = std::cos(2 * 3.141592653589793 * bins * x / 25.0);
    vxFrequencyBuffer spectrum;
    vfForwardFFT<double>(tone, spectrum);
    ASSERT_EQ(spectrum.width(), 25);
    reject.apply(spectrum);
    EXPECT_NEAR(std::abs(spectrum.get(bins, 0, false).x), kept ? 25 * 27 / 2.0 : 0.0, 1.0) << bins;
    EXPECT_NEAR(std::abs(spectrum.get(25 - bins, 0, false).x), kept ? 25 * 27 / 2.0 : 0.0, 1.0);
  }
}

// The bounds of the columns a ring can reach: the smallest k >= 0 with k k > x and the
// largest with k k < x, exact at the squares and around them.
TEST(BandFilterReach, IntegerBoundsOfTheRing) {
  using vx_detail::BandFilterFamily;
  for (long x : {1L, 2L, 15L, 16L, 17L, 99L, 100L, 101L, 1L << 40, (1L << 40) + 1}) {
    const long below = BandFilterFamily::largestBelow(x);
    EXPECT_LT(below * below, x);
    EXPECT_GE((below + 1) * (below + 1), x);
    const long above = BandFilterFamily::smallestAbove(x);
    EXPECT_GT(above * above, x);
    EXPECT_LE((above - 1) * (above - 1), x);
  }
  EXPECT_EQ(BandFilterFamily::smallestAbove(-5), 0);
  EXPECT_EQ(BandFilterFamily::largestBelow(16), 3);
  EXPECT_EQ(BandFilterFamily::smallestAbove(16), 5);
}
