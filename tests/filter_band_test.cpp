// Band-pass and band-reject filters: the gain table, the gains given to chosen
// elements, the DC squares, validation and apply checks in order, and the value-class
// behaviour (copies, assignment, equality, clones, setters).
#include "filt/freqfilt.h"
#include "filter_test_support.h"

#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

using namespace filter_test;

namespace {

// The table is protected; these expose it.
struct PassProbe : vxFrequencyFilterBandPass {
  using vxFrequencyFilterBandPass::vxFrequencyFilterBandPass;
  using vxFrequencyFilterBandPass::data;
};
struct RejectProbe : vxFrequencyFilterBandReject {
  using vxFrequencyFilterBandReject::vxFrequencyFilterBandReject;
  using vxFrequencyFilterBandReject::data;
};

// The radial profile at table index i (1/32 bin per entry), in double.
double profile(long i, double width, double sigma, double plateau) {
  const double s = width * sigma;
  double d = i / 32.0 - width * plateau;
  if (d < 0) d = 0;
  return std::exp(-(d * d) / (2.0 * s * s));
}

// Two floats at most `ulps` apart.
void expectClose(float got, double want, int ulps = 1) {
  const float w = static_cast<float>(want);
  const float lo = std::nextafter(w, -1.0f);
  EXPECT_LE(std::fabs(got - w), ulps * std::fabs(w - lo) + 1e-30) << got << " vs " << want;
}

// The table entry the band filters use for element (c, r) of a w x h buffer, by the
// library's distance rule: row frequency scaled by w/h and truncated after squaring,
// columns and rows above half the size counted as negative frequencies. `ring` tells
// whether the element lies strictly between the inner and outer circles.
long gainIndex(long c, long r, long w, long h, double frequency, long support, bool& ring,
               bool& withinReach) {
  const long kx = c < w / 2 ? c : c - w;
  const long ky = r < h / 2 ? r : r - h;
  const float rc = static_cast<float>(w * frequency);
  const double aspect = static_cast<double>(h) / w;
  withinReach = std::abs(ky) <= static_cast<long>(rc * aspect + support);
  const long yy = static_cast<long>(ky * ky * (1.0 / (aspect * aspect)));
  const long d2 = kx * kx + yy;
  const float outerF = static_cast<float>(support) + rc;
  const float innerF = rc - static_cast<float>(support);
  const long outer = static_cast<long>(outerF * outerF);
  const long inner = innerF < 0 ? -1 : static_cast<long>(innerF * innerF);
  ring = inner < d2 && d2 < outer;
  return std::labs(static_cast<long>((std::sqrt(static_cast<double>(d2)) - rc) * 32.0));
}

enum class Form { InPlace, OutOfPlace };

// Checks every element of a filtered w x h buffer against the rule above.
template <class Probe>
void expectFiltered(const Probe& f, bool reject, Form form, const vxFrequencyBuffer& before,
                    const vxFrequencyBuffer& after, double frequency) {
  const long w = before.width(), h = before.height();
  const long support = f.supportWidth();
  for (long r = 0; r < h; ++r) {
    for (long c = 0; c < w; ++c) {
      bool ring = false, reach = false;
      const long idx = gainIndex(c, r, w, h, frequency, support, ring, reach);
      const float* in = element(before, c, r);
      const float* out = element(after, c, r);
      bool gained = reach && ring;
      if (reject && form == Form::OutOfPlace) gained = reach && idx < support * 32;
      float re = in[0], im = in[1];
      if (gained) {
        re = static_cast<float>(static_cast<double>(in[0]) * f.data()[idx]);
        im = static_cast<float>(static_cast<double>(in[1]) * f.data()[idx]);
      } else if (!reject) {
        re = im = 0.0f;
      }
      ASSERT_EQ(bits(out[0]), bits(re)) << "column " << c << " row " << r;
      ASSERT_EQ(bits(out[1]), bits(im)) << "column " << c << " row " << r;
    }
  }
}

vxFrequencyBuffer patterned(long w, long h, std::uint32_t seed) {
  vxFrequencyBuffer b(w, h);
  fillPattern(b, seed);
  return b;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Tables

TEST(BandFilterTable, SmallBufferExample) {
  // W = 8: s = 0.4, support 4 x 0.4 + 0.4 = 2.0, made odd: 3.
  const PassProbe pass(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  const RejectProbe reject(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  EXPECT_EQ(pass.supportWidth(), 3);
  EXPECT_EQ(reject.supportWidth(), 3);
  EXPECT_TRUE(const_cast<PassProbe&>(pass).isInitialized());
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pass.data()) % 16, 0u);
  EXPECT_EQ(pass.data()[0], 1.0f);
  EXPECT_EQ(pass.data()[32], static_cast<float>(std::exp(-3.125)));
  EXPECT_EQ(pass.data()[64], static_cast<float>(std::exp(-12.5)));
  EXPECT_EQ(reject.data()[0], 0.0f);
  EXPECT_EQ(reject.data()[32], static_cast<float>(1.0 - std::exp(-3.125)));
  for (long i = 0; i < 96; ++i) {
    SCOPED_TRACE(i);
    expectClose(pass.data()[i], profile(i, 8, 0.05, 0.0));
    expectClose(reject.data()[i], 1.0 - profile(i, 8, 0.05, 0.0));
  }
}

TEST(BandFilterTable, PlateauAndOneSigma) {
  // W = 256: 4 x 2.56 + 5.12 + 12.8 = 28.16 -> 28 -> 29; plateau 5.12 bins = 163.84
  // entries.
  const PassProbe plateau(0.01, 0.02, 0.1, vxPair<long>(256, 16), 0);
  EXPECT_EQ(plateau.supportWidth(), 29);
  for (long i = 0; i <= 163; ++i) ASSERT_EQ(plateau.data()[i], 1.0f) << i;
  EXPECT_LT(plateau.data()[164], 1.0f);
  expectClose(plateau.data()[164], profile(164, 256, 0.01, 0.02));
  expectClose(plateau.data()[29 * 32 - 1], profile(29 * 32 - 1, 256, 0.01, 0.02));

  // W = 64, sigma 4 bins: support 16 + 3.2 = 19.2 -> 19; entry 128 is one sigma out.
  const PassProbe one(0.0625, 0.0, 0.2, vxPair<long>(64, 64), 0);
  EXPECT_EQ(one.supportWidth(), 19);
  EXPECT_EQ(one.data()[128], static_cast<float>(std::exp(-0.5)));
}

TEST(BandFilterTable, SupportIgnoresHeight) {
  const PassProbe a(0.05, 0.01, 0.25, vxPair<long>(64, 8), 0);
  const PassProbe b(0.05, 0.01, 0.25, vxPair<long>(64, 1024), 0);
  ASSERT_EQ(a.supportWidth(), b.supportWidth());
  for (long i = 0; i < a.supportWidth() * 32; ++i) ASSERT_EQ(bits(a.data()[i]), bits(b.data()[i]));
}

// ---------------------------------------------------------------------------------
// Validation

TEST(BandFilterBuild, ValidationMessagesAndOrder) {
  const vxPair<long> ok(8, 8);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double f : {0.5000001, -0.0001, nan})
    expectError<Defs::InvalidArgument>([&] { vxFrequencyFilterBandPass(0.05, 0, f, ok, 0); },
                                       kFrequency);
  vxFrequencyFilterBandPass edge0(0.05, 0, 0.0, ok, 0);
  vxFrequencyFilterBandPass edge5(0.05, 0, 0.5, ok, 0);
  EXPECT_EQ(edge5.frequency(), 0.5);
  for (double s : {0.0, -1.0, nan})
    expectError<Defs::InvalidArgument>([&] { vxFrequencyFilterBandPass(s, 0, 0.25, ok, 0); },
                                       L"Sigma must be positive.");
  for (double p : {-0.01, nan})
    expectError<Defs::InvalidArgument>([&] { vxFrequencyFilterBandReject(0.05, p, 0.25, ok, 0); },
                                       L"Plateau cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { vxFrequencyFilterBandPass(0.05, 0, 0.25, ok, -1); },
                                     L"DC Removal Radius cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { vxFrequencyFilterBandReject(0.05, 0, 0.25, ok, -1); },
                                     L"DC Protection Radius cannot be negative.");
  for (vxPair<long> size : {vxPair<long>(0, 8), vxPair<long>(12, 8), vxPair<long>((1L << 30) + 1, 8),
                            vxPair<long>(-8, 8), vxPair<long>(1L << 31, 8), vxPair<long>(8, 12),
                            vxPair<long>(8, 0)})
    expectError<Defs::InvalidSize>([&] { vxFrequencyFilterBandPass(0.05, 0, 0.25, size, 0); },
                                   kPowerOfTwo);
  vxFrequencyFilterBandPass tiny(0.05, 0, 0.25, vxPair<long>(1, 1), 0);
  vxFrequencyFilterBandReject wide(0.05, 0, 0.25, vxPair<long>(4096, 2), 0);
  EXPECT_EQ(wide.size(), vxPair<long>(4096, 2));

  // With several bad arguments the first in the order wins.
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterBandPass(0.0, -1, 0.7, vxPair<long>(3, 3), -1); }, kFrequency);
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterBandPass(0.0, -1, 0.2, vxPair<long>(3, 3), -1); },
      L"Sigma must be positive.");
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterBandPass(0.1, -1, 0.2, vxPair<long>(3, 3), -1); },
      L"Plateau cannot be negative.");
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterBandPass(0.1, 0, 0.2, vxPair<long>(3, 3), -1); },
      L"DC Removal Radius cannot be negative.");
}

TEST(BandFilterBuild, FailedBuildChangesNothing) {
  PassProbe f(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1);
  const PassProbe copy(f);
  const float* table = f.data();
  f.trackMutations(true);
  expectError<Defs::InvalidSize>([&] { f.set(0.1, 0.1, 0.1, vxPair<long>(8, 6), 0); }, kPowerOfTwo);
  expectError<Defs::InvalidArgument>([&] { f.sigma(-1.0); }, L"Sigma must be positive.");
  EXPECT_EQ(f.mutationCount(), 0u);
  EXPECT_TRUE(f == copy);
  EXPECT_EQ(f.data(), table);
  // A table too large for 32-bit counts is refused before anything changes too.
  EXPECT_THROW(f.set(0.05, 0.0, 0.25, vxPair<long>(1L << 30, 8), 0), std::length_error);
  EXPECT_THROW(f.set(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1L << 31), std::out_of_range);
  EXPECT_EQ(f.mutationCount(), 0u);
  EXPECT_TRUE(f == copy);
}

// ---------------------------------------------------------------------------------
// Gains

TEST(BandFilterApply, ChosenElementsOfTheSmallExample) {
  // rc = 2.0, reach 5, inner -1, outer 25.
  const PassProbe pass(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  const RejectProbe reject(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  const vxFrequencyBuffer in = patterned(8, 8, 1);
  vxFrequencyBuffer p = in, r = in;
  pass.apply(p);
  reject.apply(r);
  // Column 2, row 0 is on the ring: gain 1 (pass), 0 (reject).
  EXPECT_EQ(p.get(2, 0, false), in.get(2, 0, false));
  EXPECT_EQ(r.get(2, 0, false), vxPair<double>(0, 0));
  // The zero frequency and column 4 (kx = -4) are two bins off the ring: entry 64.
  const double g = pass.data()[64];
  EXPECT_EQ(g, static_cast<float>(std::exp(-12.5)));
  for (long c : {0L, 4L}) {
    EXPECT_EQ(p.getReal(c, 0, false), static_cast<float>(in.getReal(c, 0, false) * g));
    EXPECT_EQ(p.getImaginary(c, 0, false), static_cast<float>(in.getImaginary(c, 0, false) * g));
  }
  // (kx, ky) = (-4, -4): d2 = 32 lies outside the outer circle.
  EXPECT_EQ(p.get(4, 4, false), vxPair<double>(0, 0));
  EXPECT_EQ(r.get(4, 4, false), in.get(4, 4, false));
  expectFiltered(pass, false, Form::InPlace, in, p, 0.25);
  expectFiltered(reject, true, Form::InPlace, in, r, 0.25);
}

TEST(BandFilterApply, RowsCountInHorizontalBins) {
  // 64 x 8: support 17, rc 16; one row step is 8 horizontal bins.
  const PassProbe pass(0.05, 0.0, 0.25, vxPair<long>(64, 8), 0);
  ASSERT_EQ(pass.supportWidth(), 17);
  const vxFrequencyBuffer in = patterned(64, 8, 2);
  vxFrequencyBuffer out = in;
  pass.apply(out);
  // Column 0, row 1: d2 = 64, index |(8 - 16) x 32| = 256.
  const float g256 = pass.data()[256];
  expectClose(g256, profile(256, 64, 0.05, 0.0));
  EXPECT_EQ(element(out, 0, 1)[0], static_cast<float>(element(in, 0, 1)[0] * static_cast<double>(g256)));
  // Column 16, row 1: d2 = 320, index trunc((sqrt(320) - 16) x 32) = 60.
  const float g60 = pass.data()[60];
  expectClose(g60, profile(60, 64, 0.05, 0.0));
  EXPECT_EQ(element(out, 16, 1)[1], static_cast<float>(element(in, 16, 1)[1] * static_cast<double>(g60)));
  expectFiltered(pass, false, Form::InPlace, in, out, 0.25);
}

TEST(BandFilterApply, EveryElementInBothFormsAndSeveralShapes) {
  struct Shape {
    long w, h;
    double sigma, plateau, frequency;
  };
  const Shape shapes[] = {{8, 8, 0.05, 0.0, 0.25},   {64, 8, 0.05, 0.0, 0.25},
                          {16, 64, 0.03, 0.02, 0.3}, {64, 64, 0.01, 0.0, 0.25},
                          {32, 4, 0.02, 0.01, 0.5},  {8, 1, 0.1, 0.0, 0.0}};
  for (const Shape& s : shapes) {
    SCOPED_TRACE(testing::Message() << s.w << " x " << s.h);
    const PassProbe pass(s.sigma, s.plateau, s.frequency, vxPair<long>(s.w, s.h), 0);
    const RejectProbe reject(s.sigma, s.plateau, s.frequency, vxPair<long>(s.w, s.h), 0);
    const vxFrequencyBuffer in = patterned(s.w, s.h, 3);
    vxFrequencyBuffer a = in, b;
    pass.apply(a);
    expectFiltered(pass, false, Form::InPlace, in, a, s.frequency);
    pass.apply(in, b);
    expectFiltered(pass, false, Form::OutOfPlace, in, b, s.frequency);
    a = in;
    reject.apply(a);
    expectFiltered(reject, true, Form::InPlace, in, a, s.frequency);
    reject.apply(in, b);
    expectFiltered(reject, true, Form::OutOfPlace, in, b, s.frequency);
  }
}

// ---------------------------------------------------------------------------------
// DC squares

TEST(BandFilterDc, RemovalClearsTheSquareIncludingWrappedEdges) {
  const vxFrequencyBuffer in = patterned(8, 8, 4);
  const vxFrequencyFilterBandPass r1(0.05, 0.0, 0.0, vxPair<long>(8, 8), 1);
  const vxFrequencyFilterBandPass r0(0.05, 0.0, 0.0, vxPair<long>(8, 8), 0);
  vxFrequencyBuffer a = in, b = in;
  r1.apply(a);
  r0.apply(b);
  EXPECT_NE(element(b, 0, 0)[0], 0.0f);  // the ring is at zero frequency here
  EXPECT_EQ(bits(element(a, 0, 0)[0]), 0u);
  EXPECT_EQ(bits(element(a, 0, 0)[1]), 0u);
  EXPECT_EQ(element(a, 1, 0)[0], element(b, 1, 0)[0]);

  const vxFrequencyFilterBandPass r2(0.05, 0.0, 0.0, vxPair<long>(8, 8), 2);
  a = in;
  r2.apply(a);
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 8; ++x) {
      const bool square = (x <= 1 || x == 7) && (y <= 1 || y == 7);
      if (square) {
        EXPECT_EQ(a.get(x, y, false), vxPair<double>(0, 0)) << x << "," << y;
      } else {
        EXPECT_EQ(a.get(x, y, false), b.get(x, y, false)) << x << "," << y;
      }
    }
}

TEST(BandFilterDc, ProtectionKeepsTheSquaresInputValues) {
  const vxFrequencyBuffer in = patterned(8, 8, 5);
  // The ring passes through zero frequency, where the reject gain is 0.
  const vxFrequencyFilterBandReject r0(0.05, 0.0, 0.0, vxPair<long>(8, 8), 0);
  const vxFrequencyFilterBandReject r2(0.05, 0.0, 0.0, vxPair<long>(8, 8), 2);
  vxFrequencyBuffer a = in, b = in, c;
  r0.apply(a);
  EXPECT_EQ(a.get(0, 0, false), vxPair<double>(0, 0));
  r2.apply(b);
  r2.apply(in, c);
  for (long y = -1; y <= 1; ++y)
    for (long x = -1; x <= 1; ++x) {
      EXPECT_EQ(b.get(x, y, true), in.get(x, y, true));
      EXPECT_EQ(c.get(x, y, true), in.get(x, y, true));
    }
  EXPECT_EQ(b.get(2, 0, true), a.get(2, 0, true));
}

TEST(BandFilterDc, RadiusBeyondHalfTheBuffer) {
  const vxFrequencyBuffer in = patterned(8, 8, 6);
  // Radius 4 reaches -3 .. 3, still inside an 8 x 8 buffer.
  vxFrequencyBuffer ok = in;
  vxFrequencyFilterBandPass(0.05, 0.0, 0.25, vxPair<long>(8, 8), 4).apply(ok);
  EXPECT_EQ(ok.get(3, -3, true), vxPair<double>(0, 0));

  // Band-pass: the gains are applied, then the DC step fails.
  const vxFrequencyFilterBandPass pass(0.05, 0.0, 0.25, vxPair<long>(8, 8), 5);
  vxFrequencyBuffer a = in;
  expectError<Defs::BadCoord>([&] { pass.apply(a); }, kBadCoord);
  EXPECT_EQ(a.get(4, 4, false), vxPair<double>(0, 0));

  // Band-reject: the DC values are read first, so nothing is filtered; the
  // out-of-place form has already sized `out`.
  const vxFrequencyFilterBandReject reject(0.05, 0.0, 0.25, vxPair<long>(8, 8), 5);
  vxFrequencyBuffer b = in;
  expectError<Defs::BadCoord>([&] { reject.apply(b); }, kBadCoord);
  EXPECT_EQ(Snapshot(b), Snapshot(in));
  vxFrequencyBuffer out;
  expectError<Defs::BadCoord>([&] { reject.apply(in, out); }, kBadCoord);
  ASSERT_TRUE(out.isInitialized());
  EXPECT_EQ(out.width(), 8);
  EXPECT_EQ(out.get(2, 0, false), vxPair<double>(0, 0));
}

TEST(BandFilterDc, InverseComputedBuffers) {
  vxFrequencyBuffer inverse = patterned(8, 8, 7);
  Access::setInverseComputed(inverse, true);
  const vxFrequencyBuffer in = inverse;

  // Without a DC step nothing looks at the flag.
  vxFrequencyBuffer a = in;
  vxFrequencyFilterBandPass(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0).apply(a);
  EXPECT_EQ(element(a, 4, 4)[0], 0.0f);

  // Band-pass: filtered, then refused at the DC step.
  const vxFrequencyFilterBandPass pass(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1);
  a = in;
  expectError<Defs::InvalidBuffer>([&] { pass.apply(a); }, kInverse);
  EXPECT_EQ(element(a, 4, 4)[0], 0.0f);
  // Out of place, sizing `out` clears its flag, so the DC step succeeds.
  vxFrequencyBuffer out;
  pass.apply(in, out);
  EXPECT_FALSE(out.inverseComputed());
  EXPECT_EQ(out.get(0, 0, false), vxPair<double>(0, 0));

  // Band-reject: refused while reading the DC values, before filtering.
  const vxFrequencyFilterBandReject reject(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1);
  a = in;
  expectError<Defs::InvalidBuffer>([&] { reject.apply(a); }, kInverse);
  EXPECT_EQ(Snapshot(a), Snapshot(in));
}

// ---------------------------------------------------------------------------------
// Apply checks and the buffers' other state

TEST(BandFilterApply, ChecksInOrderChangeNothing) {
  const vxFrequencyFilterBandPass built(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1);
  const vxFrequencyFilterBandReject unbuilt;
  vxFrequencyBuffer empty;
  vxFrequencyBuffer wrong = patterned(8, 4, 8);
  vxFrequencyBuffer out = patterned(2, 2, 9);
  const Snapshot wrongBefore(wrong), outBefore(out);

  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty, out); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong, out); }, kFilterUninit);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong); }, kSizeMismatch);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong, out); }, kSizeMismatch);
  vxFrequencyBuffer narrow = patterned(4, 8, 10);
  expectError<Defs::InvalidSize>([&] { built.apply(narrow); }, kSizeMismatch);
  EXPECT_EQ(Snapshot(wrong), wrongBefore);
  EXPECT_EQ(Snapshot(out), outBefore);
  EXPECT_FALSE(empty.isInitialized());
}

TEST(BandFilterApply, OutOfPlaceSizesOutOnlyAndMaskIsCleared) {
  vxFrequencyBuffer in(100, 60);  // transform size 128 x 64
  fillPattern(in, 11);
  Access::setPlacement(in, vxPair<long>(7, 9), vx2XformCache());
  Access::setMask(in, 1, 3, 9);
  const Snapshot inBefore(in);
  const vxFrequencyFilterBandPass pass(0.02, 0.0, 0.2, vxPair<long>(128, 64), 0);

  vxFrequencyBuffer out;
  pass.apply(in, out);
  EXPECT_EQ(Snapshot(in), inBefore);
  EXPECT_EQ(out.imageWidth(), 128);
  EXPECT_EQ(out.imageHeight(), 64);
  EXPECT_EQ(out.imageOffset(), vxPair<long>(0, 0));
  EXPECT_EQ(Access::masked(out), 0);

  // `out` keeps its own offset.
  vxFrequencyBuffer placed(128, 64);
  Access::setPlacement(placed, vxPair<long>(-5, 5), vx2XformCache());
  Access::setMask(placed, 1, 2, 4);
  pass.apply(in, placed);
  EXPECT_EQ(placed.imageOffset(), vxPair<long>(-5, 5));
  EXPECT_EQ(Access::masked(placed), 0);
  EXPECT_EQ(Access::maskedMiny(placed), 0);
  EXPECT_EQ(Access::maskedMaxy(placed), 0);

  // In place keeps the image size; the same buffer given twice is sized like `out`.
  vxFrequencyBuffer same = in;
  pass.apply(same);
  EXPECT_EQ(same.imageWidth(), 100);
  EXPECT_EQ(Access::masked(same), 0);
  EXPECT_EQ(Access::maskedMiny(same), 0);
  vxFrequencyBuffer twice = in;
  pass.apply(twice, twice);
  EXPECT_EQ(twice.imageWidth(), 128);
  EXPECT_EQ(Snapshot(twice).values, Snapshot(out).values);
  EXPECT_EQ(Snapshot(same).values, Snapshot(out).values);
}

// ---------------------------------------------------------------------------------
// Value-class behaviour

TEST(BandFilterValue, CopiesAssignmentAndEquality) {
  const PassProbe a(0.05, 0.01, 0.25, vxPair<long>(16, 8), 2);
  PassProbe b(a);
  EXPECT_TRUE(b == a);
  EXPECT_NE(b.data(), a.data());
  EXPECT_EQ(b.dcRemovalRadius(), 2);
  b.frequency(0.3);
  EXPECT_FALSE(b == a);
  EXPECT_EQ(a.frequency(), 0.25);
  b = a;
  EXPECT_TRUE(b == a);
  b.dcRemovalRadius(1);  // same table, other radius
  EXPECT_FALSE(b == a);
  b.dcRemovalRadius(2);
  b.size(vxPair<long>(16, 16));  // same table, other height
  EXPECT_FALSE(b == a);

  const vxFrequencyFilterBandPass x(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  vxFrequencyFilterBandPass y(0.05, 0.0, 0.25, vxPair<long>(8, 8), 0);
  EXPECT_TRUE(x == y);
  const vxFrequencyFilterBandPass& alias = y;
  y = alias;  // assigning a filter to itself changes nothing
  EXPECT_TRUE(x == y);
  EXPECT_TRUE(vxFrequencyFilterBandPass() == vxFrequencyFilterBandPass());
  EXPECT_FALSE(x == vxFrequencyFilterBandPass());
}

TEST(BandFilterValue, AssigningAnUnbuiltFilterOnlyDropsTheTable) {
  vxFrequencyFilterBandReject f(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1);
  f = vxFrequencyFilterBandReject();
  EXPECT_TRUE(f.isInitialized());
  expectError<Defs::Uninitialized>([&] { f.frequency(); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { f.sigma(); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { f.plateau(); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { f.size(); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { f.dcProtectionRadius(); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { f.supportWidth(); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { f.sigma(0.1); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { f.dcProtectionRadius(0); }, kFilterUninit);
  vxFrequencyBuffer b = patterned(8, 8, 12);
  expectError<Defs::Uninitialized>([&] { f.apply(b); }, kFilterUninit);
  // The flags differ from a default filter's, so the two are not equal; against a
  // built filter the missing table decides.
  EXPECT_FALSE(f == vxFrequencyFilterBandReject());
  const vxFrequencyFilterBandReject built(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1);
  EXPECT_FALSE(f == built);
  EXPECT_FALSE(built == f);
  vxFrequencyFilterBandReject g(built);
  g = vxFrequencyFilterBandReject();
  EXPECT_TRUE(f == g);
  // A rebuild makes it usable again.
  f.set(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1);
  EXPECT_TRUE(f == vxFrequencyFilterBandReject(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1));
}

TEST(BandFilterValue, ClonesAndDeletionThroughEitherBase) {
  const vxFrequencyFilterBandPass built(0.05, 0.0, 0.25, vxPair<long>(8, 8), 1);
  const vxFrequencyFilter& base = built;
  std::unique_ptr<vxFrequencyFilter> copy(base.clone());
  auto* typed = dynamic_cast<vxFrequencyFilterBandPass*>(copy.get());
  ASSERT_NE(typed, nullptr);
  EXPECT_TRUE(*typed == built);

  const vxFrequencyFilterBandReject unbuilt;
  vxFrequencyFilter* raw = static_cast<const vxFrequencyFilter&>(unbuilt).clone();
  ASSERT_NE(dynamic_cast<vxFrequencyFilterBandReject*>(raw), nullptr);
  EXPECT_FALSE(raw->isInitialized());
  vxPersistent* asPersistent = raw;
  delete asPersistent;

  vxRepBase* asRep = built.clone();
  delete asRep;
}

TEST(BandFilterValue, SettersRebuildOnlyOnChange) {
  PassProbe f(0.05, 0.0, 0.25, vxPair<long>(16, 8), 0);
  f.trackMutations(true);
  const float* table = f.data();
  f.frequency(0.25);
  f.sigma(0.05);
  f.plateau(0.0);
  f.size(vxPair<long>(16, 8));
  f.dcRemovalRadius(0);
  EXPECT_EQ(f.mutationCount(), 0u);

  // Each change is one rebuild with one notice; a table of the same size is reused.
  f.frequency(0.3);
  EXPECT_EQ(f.mutationCount(), 1u);
  EXPECT_EQ(f.data(), table);
  EXPECT_TRUE(f == PassProbe(0.05, 0.0, 0.3, vxPair<long>(16, 8), 0));
  f.dcRemovalRadius(2);
  EXPECT_EQ(f.mutationCount(), 2u);
  EXPECT_EQ(f.dcRemovalRadius(), 2);
  f.sigma(0.2);
  EXPECT_EQ(f.mutationCount(), 3u);
  EXPECT_EQ(f.supportWidth(), 13);  // 12.8 + 0.8 = 13.6
  EXPECT_TRUE(f == PassProbe(0.2, 0.0, 0.3, vxPair<long>(16, 8), 2));
  f.size(vxPair<long>(16, 32));
  EXPECT_EQ(f.mutationCount(), 4u);
  EXPECT_EQ(f.size(), vxPair<long>(16, 32));
  f.plateau(0.1);
  f.set(0.2, 0.1, 0.3, vxPair<long>(16, 32), 2);  // set always builds
  EXPECT_EQ(f.mutationCount(), 6u);
}
