// Band-pass and band-reject filters: gain tables, the gains given to elements, the
// DC squares, validation and apply checks in order, and value-class behaviour.
#include "filt/freqfilt.h"
#include "filter_test_support.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace filter_test;

namespace {

// The table is protected; these expose it.
struct PassProbe : vxFrequencyFilterBandPass {
  using vxFrequencyFilterBandPass::data;
  using vxFrequencyFilterBandPass::vxFrequencyFilterBandPass;
};
struct RejectProbe : vxFrequencyFilterBandReject {
  using vxFrequencyFilterBandReject::data;
  using vxFrequencyFilterBandReject::vxFrequencyFilterBandReject;
};

const vxPair<long> k8(8, 8);

// The radial profile at table index i (1/32 bin per entry), in double.
double profile(long i, double width, double sigma, double plateau) {
  const double s = width * sigma, d = std::max(i / 32.0 - width * plateau, 0.0);
  return std::exp(-(d * d) / (2.0 * s * s));
}

// Within one float step of `want`.
void expectClose(float got, double want) {
  const float w = static_cast<float>(want);
  EXPECT_LE(std::fabs(got - w), std::fabs(w - std::nextafter(w, 0.0f)) + 1e-30) << got;
}

// Checks every element of `out` = `in` filtered by f of support A: distances in
// horizontal bins, the squared row frequency scaled by (w/h)^2 and truncated; a row is
// reached when |ky| <= rc h/w + A; the ring is inner < d2 < outer, and the out-of-place
// reject form gains every element whose table index is below 32 A.
template <class Probe>
void expectFiltered(const Probe& f, bool reject, bool outOfPlace, const vxFrequencyBuffer& in,
                    const vxFrequencyBuffer& out, double frequency) {
  const long w = in.width(), h = in.height(), A = f.supportWidth();
  const float rc = static_cast<float>(w * frequency);
  const double aspect = static_cast<double>(h) / w;
  const long outer = static_cast<long>((A + rc) * (A + rc));
  const long inner = rc < A ? -1 : static_cast<long>((rc - A) * (rc - A));
  for (long r = 0; r < h; ++r)
    for (long c = 0; c < w; ++c) {
      const long kx = c < w / 2 ? c : c - w, ky = r < h / 2 ? r : r - h;
      const long d2 = kx * kx + static_cast<long>(ky * ky / (aspect * aspect));
      const long idx = std::labs(static_cast<long>((std::sqrt(double(d2)) - rc) * 32.0));
      const bool reached = std::labs(ky) <= static_cast<long>(rc * aspect + A);
      const bool gained =
          reached && (reject && outOfPlace ? idx < 32 * A : inner < d2 && d2 < outer);
      const float* x = element(in, c, r);
      float re = reject ? x[0] : 0.0f, im = reject ? x[1] : 0.0f;
      if (gained) re = x[0] * f.data()[idx], im = x[1] * f.data()[idx];
      ASSERT_EQ(bits(element(out, c, r)[0]), bits(re)) << c << "," << r;
      ASSERT_EQ(bits(element(out, c, r)[1]), bits(im)) << c << "," << r;
    }
}

}  // namespace

TEST(BandFilter, TablesOfTheDocumentedExamples) {
  // W = 8: s = 0.4 bins, support 4 x 0.4 + 0.4 = 2.0, made odd: 3.
  const PassProbe pass(0.05, 0.0, 0.25, k8, 0);
  const RejectProbe reject(0.05, 0.0, 0.25, k8, 0);
  EXPECT_EQ(pass.supportWidth(), 3);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pass.data()) % 16, 0u);
  EXPECT_EQ(pass.data()[0], 1.0f);
  EXPECT_EQ(pass.data()[32], static_cast<float>(std::exp(-3.125)));
  EXPECT_EQ(reject.data()[32], static_cast<float>(1.0 - std::exp(-3.125)));
  for (long i = 0; i < 96; ++i) {
    expectClose(pass.data()[i], profile(i, 8, 0.05, 0.0));
    expectClose(reject.data()[i], 1.0 - profile(i, 8, 0.05, 0.0));
  }
  // W = 256: 10.24 + 5.12 + 12.8 = 28.16 -> 29; the plateau covers 163.84 entries.
  const PassProbe flat(0.01, 0.02, 0.1, vxPair<long>(256, 16), 0);
  EXPECT_EQ(flat.supportWidth(), 29);
  for (long i = 0; i <= 163; ++i) ASSERT_EQ(flat.data()[i], 1.0f) << i;
  EXPECT_LT(flat.data()[164], 1.0f);
  expectClose(flat.data()[164], profile(164, 256, 0.01, 0.02));
  // W = 64, sigma 4 bins: support 19, entry 128 one sigma out.
  const PassProbe one(0.0625, 0.0, 0.2, vxPair<long>(64, 64), 0);
  EXPECT_EQ(one.supportWidth(), 19);
  EXPECT_EQ(one.data()[128], static_cast<float>(std::exp(-0.5)));
  // The height plays no part.
  const PassProbe a(0.05, 0.01, 0.25, vxPair<long>(64, 8), 0),
      b(0.05, 0.01, 0.25, vxPair<long>(64, 1024), 0);
  for (long i = 0; i < a.supportWidth() * 32; ++i) ASSERT_EQ(bits(a.data()[i]), bits(b.data()[i]));
}

TEST(BandFilter, ValidationInOrderChangesNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  using Pass = vxFrequencyFilterBandPass;
  using Reject = vxFrequencyFilterBandReject;
  for (double f : {0.5000001, -0.0001, nan})
    expectError<Defs::InvalidArgument>([&] { Pass(0.05, 0, f, k8, 0); }, kFrequency);
  for (double s : {0.0, nan})
    expectError<Defs::InvalidArgument>([&] { Pass(s, 0, 0.25, k8, 0); },
                                       L"Sigma must be positive.");
  for (double p : {-0.01, nan})
    expectError<Defs::InvalidArgument>([&] { Reject(0.05, p, 0.25, k8, 0); },
                                       L"Plateau cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { Pass(0.05, 0, 0.25, k8, -1); },
                                     L"DC Removal Radius cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { Reject(0.05, 0, 0.25, k8, -1); },
                                     L"DC Protection Radius cannot be negative.");
  for (vxPair<long> size :
       {vxPair<long>(0, 8), vxPair<long>(12, 8), vxPair<long>((1L << 30) + 1, 8),
        vxPair<long>(-8, 8), vxPair<long>(8, 12)})
    expectError<Defs::InvalidSize>([&] { Pass(0.05, 0, 0.25, size, 0); }, kPowerOfTwo);
  // Accepted edges.
  EXPECT_EQ(Pass(0.05, 0, 0.5, vxPair<long>(1, 1), 0).frequency(), 0.5);
  EXPECT_EQ(Reject(0.05, 0, 0.0, vxPair<long>(4096, 2), 0).size(), vxPair<long>(4096, 2));
  // The first failing check wins.
  const vxPair<long> bad(3, 3);
  expectError<Defs::InvalidArgument>([&] { Pass(0.0, -1, 0.7, bad, -1); }, kFrequency);
  expectError<Defs::InvalidArgument>([&] { Pass(0.0, -1, 0.2, bad, -1); },
                                     L"Sigma must be positive.");
  expectError<Defs::InvalidArgument>([&] { Pass(0.1, -1, 0.2, bad, -1); },
                                     L"Plateau cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { Pass(0.1, 0, 0.2, bad, -1); },
                                     L"DC Removal Radius cannot be negative.");

  // A failed build leaves the filter as it was, without a mutation notice; so do the
  // parameters no 32-bit table or field can hold.
  PassProbe f(0.05, 0.0, 0.25, k8, 1);
  const PassProbe copy(f);
  const float* table = f.data();
  f.trackMutations(true);
  expectError<Defs::InvalidSize>([&] { f.set(0.1, 0.1, 0.1, vxPair<long>(8, 6), 0); }, kPowerOfTwo);
  expectError<Defs::InvalidArgument>([&] { f.sigma(-1.0); }, L"Sigma must be positive.");
  EXPECT_THROW(f.set(0.05, 0.0, 0.25, vxPair<long>(1L << 30, 8), 0), std::length_error);
  EXPECT_THROW(f.set(0.05, 0.0, 0.25, k8, 1L << 31), std::out_of_range);
  EXPECT_EQ(f.mutationCount(), 0u);
  EXPECT_TRUE(f == copy);
  EXPECT_EQ(f.data(), table);
}

TEST(BandFilter, GainsOfChosenElements) {
  // 8 x 8: rc = 2, reach 5, inner -1, outer 25.
  const PassProbe pass(0.05, 0.0, 0.25, k8, 0);
  const vxFrequencyBuffer in = patterned(8, 8, 1);
  vxFrequencyBuffer p = in, r = in;
  pass.apply(p);
  vxFrequencyFilterBandReject(0.05, 0.0, 0.25, k8, 0).apply(r);
  EXPECT_EQ(p.get(2, 0, false), in.get(2, 0, false));      // on the ring: gain 1 ...
  EXPECT_EQ(r.get(2, 0, false), vxPair<double>(0, 0));     // ... and 0
  const double g64 = static_cast<float>(std::exp(-12.5));  // two bins off: entry 64
  for (long c : {0L, 4L})                                  // zero frequency and kx = -4
    EXPECT_EQ(p.get(c, 0, false), vxPair<double>(float(in.getReal(c, 0, false) * g64),
                                                 float(in.getImaginary(c, 0, false) * g64)));
  EXPECT_EQ(p.get(4, 4, false), vxPair<double>(0, 0));  // d2 = 32: outside
  EXPECT_EQ(r.get(4, 4, false), in.get(4, 4, false));

  // 64 x 8: support 17, rc 16; a row step is 8 horizontal bins.
  const PassProbe wide(0.05, 0.0, 0.25, vxPair<long>(64, 8), 0);
  ASSERT_EQ(wide.supportWidth(), 17);
  const vxFrequencyBuffer in2 = patterned(64, 8, 2);
  vxFrequencyBuffer w = in2;
  wide.apply(w);
  expectClose(wide.data()[256], profile(256, 64, 0.05, 0.0));
  expectClose(wide.data()[60], profile(60, 64, 0.05, 0.0));
  EXPECT_EQ(element(w, 0, 1)[0], element(in2, 0, 1)[0] * wide.data()[256]);   // d2 64
  EXPECT_EQ(element(w, 16, 1)[1], element(in2, 16, 1)[1] * wide.data()[60]);  // d2 320

  // 16 x 64: row frequency 20 counts as 5 bins, inside the ring (1 < 25 < 49), but
  // beyond the reach of 4 x 4 + 3 = 19 rows: zeroed.
  const vxFrequencyFilterBandPass tall(0.03, 0.02, 0.25, vxPair<long>(16, 64), 0);
  vxFrequencyBuffer t = patterned(16, 64, 3);
  tall.apply(t);
  EXPECT_EQ(t.get(0, 20, false), vxPair<double>(0, 0));

  // 8 x 8, rc 0.4, support 1: d2 = 1 (kx 1) is the outer bound trunc(1.4^2), so the
  // in-place reject form leaves it; the out-of-place form tests the table index
  // trunc((1 - 0.4) x 32) = 19 < 32 instead and gains it.
  const RejectProbe edge(0.02, 0.0, 0.05, k8, 0);
  ASSERT_EQ(edge.supportWidth(), 1);
  vxFrequencyBuffer e1 = in, e2;
  edge.apply(e1);
  edge.apply(in, e2);
  EXPECT_EQ(e1.get(1, 0, false), in.get(1, 0, false));
  EXPECT_EQ(element(e2, 1, 0)[1], element(in, 1, 0)[1] * edge.data()[19]);
  EXPECT_LT(edge.data()[19], 0.999f);
}

TEST(BandFilter, EveryElementInBothForms) {
  struct Shape {
    long w, h;
    double sigma, plateau, frequency;
  } const shapes[] = {{8, 8, 0.05, 0.0, 0.25},    {64, 8, 0.05, 0.0, 0.25},
                      {16, 64, 0.03, 0.02, 0.25}, {64, 64, 0.01, 0.0, 0.25},
                      {32, 4, 0.02, 0.01, 0.5},   {8, 1, 0.1, 0.0, 0.0},
                      {8, 8, 0.02, 0.0, 0.05}};
  for (const Shape& s : shapes) {
    SCOPED_TRACE(testing::Message() << s.w << " x " << s.h);
    const vxPair<long> size(s.w, s.h);
    const PassProbe pass(s.sigma, s.plateau, s.frequency, size, 0);
    const RejectProbe reject(s.sigma, s.plateau, s.frequency, size, 0);
    const vxFrequencyBuffer in = patterned(s.w, s.h, 4);
    vxFrequencyBuffer a = in, b;
    pass.apply(a);
    expectFiltered(pass, false, false, in, a, s.frequency);
    pass.apply(in, b);
    expectFiltered(pass, false, true, in, b, s.frequency);
    a = in;
    reject.apply(a);
    expectFiltered(reject, true, false, in, a, s.frequency);
    reject.apply(in, b);
    expectFiltered(reject, true, true, in, b, s.frequency);
  }
}

TEST(BandFilter, ApplyChecksAndTheBuffersOtherState) {
  const vxFrequencyFilterBandPass built(0.05, 0.0, 0.25, k8, 1);
  const vxFrequencyFilterBandReject unbuilt;
  vxFrequencyBuffer empty, wrong = patterned(8, 4, 5), narrow = patterned(4, 8, 5),
                           out = patterned(2, 2, 6);
  const Snapshot wrongBefore(wrong), outBefore(out);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty, out); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong, out); }, kFilterUninit);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong); }, kSizeMismatch);
  expectError<Defs::InvalidSize>([&] { built.apply(narrow, out); }, kSizeMismatch);
  EXPECT_EQ(Snapshot(wrong), wrongBefore);
  EXPECT_EQ(Snapshot(out), outBefore);

  // The spectrum of a 100 x 60 image, masked and placed.
  vxFrequencyBuffer in = patterned(128, 64, 7);
  Access::setAndAllocate(in, 100, 60);
  Access::setPlacement(in, vxPair<long>(7, 9), vx2XformCache());
  Access::setMask(in, 1, 3, 9);
  const Snapshot inBefore(in);
  const vxFrequencyFilterBandPass pass(0.02, 0.0, 0.2, vxPair<long>(128, 64), 0);
  vxFrequencyBuffer o;
  pass.apply(in, o);  // sized to the transform size, nothing else taken from `in`
  EXPECT_EQ(Snapshot(in), inBefore);
  EXPECT_EQ(o.imageWidth(), 128);
  EXPECT_EQ(o.imageHeight(), 64);
  EXPECT_EQ(o.imageOffset(), vxPair<long>(0, 0));
  Access::setPlacement(o, vxPair<long>(-5, 5), vx2XformCache());
  Access::setMask(o, 1, 2, 4);
  pass.apply(in, o);
  EXPECT_EQ(o.imageOffset(), vxPair<long>(-5, 5));
  EXPECT_EQ(maskOf(o), std::vector<long>({0, 0, 0}));
  vxFrequencyBuffer same = in, twice = in;
  pass.apply(same);  // in place: image size kept
  pass.apply(twice, twice);
  EXPECT_EQ(same.imageWidth(), 100);
  EXPECT_EQ(maskOf(same), std::vector<long>({0, 0, 0}));
  EXPECT_EQ(twice.imageWidth(), 128);
  EXPECT_EQ(Snapshot(same).values, Snapshot(o).values);
  EXPECT_EQ(Snapshot(twice).values, Snapshot(o).values);
}

TEST(BandFilter, DcSquares) {
  const vxFrequencyBuffer in = patterned(8, 8, 8);
  // The ring at zero frequency: pass gain 1, reject gain 0 there.
  vxFrequencyBuffer plain = in, r1 = in, r2 = in, p2 = in, rejected = in;
  vxFrequencyFilterBandPass(0.05, 0.0, 0.0, k8, 0).apply(plain);
  vxFrequencyFilterBandPass(0.05, 0.0, 0.0, k8, 1).apply(r1);
  vxFrequencyFilterBandPass(0.05, 0.0, 0.0, k8, 2).apply(r2);
  vxFrequencyFilterBandReject(0.05, 0.0, 0.0, k8, 0).apply(rejected);
  vxFrequencyFilterBandReject(0.05, 0.0, 0.0, k8, 2).apply(p2);
  EXPECT_NE(plain.getReal(0, 0, false), 0.0);
  EXPECT_EQ(bits(element(r1, 0, 0)[0]) | bits(element(r1, 0, 0)[1]), 0u);
  EXPECT_EQ(rejected.get(0, 0, false), vxPair<double>(0, 0));
  for (long y = 0; y < 8; ++y)
    for (long x = 0; x < 8; ++x) {
      const bool square = (x <= 1 || x == 7) && (y <= 1 || y == 7);  // wrapped edges
      EXPECT_EQ(r1.get(x, y, false), x + y == 0 ? vxPair<double>(0, 0) : plain.get(x, y, false));
      EXPECT_EQ(r2.get(x, y, false), square ? vxPair<double>(0, 0) : plain.get(x, y, false));
      EXPECT_EQ(p2.get(x, y, false), square ? in.get(x, y, false) : rejected.get(x, y, false));
    }

  // Radius 4 reaches -3 .. 3 of an 8 x 8 buffer; radius 5 does not. Band-pass fails
  // after filtering, band-reject while reading, before filtering (out already sized).
  vxFrequencyBuffer a = in, b = in, out;
  vxFrequencyFilterBandPass(0.05, 0.0, 0.25, k8, 4).apply(a);
  a = in;
  expectError<Defs::BadCoord>([&] { vxFrequencyFilterBandPass(0.05, 0.0, 0.25, k8, 5).apply(a); },
                              kBadCoord);
  EXPECT_EQ(a.get(4, 4, false), vxPair<double>(0, 0));
  const vxFrequencyFilterBandReject far(0.05, 0.0, 0.25, k8, 5);
  expectError<Defs::BadCoord>([&] { far.apply(b); }, kBadCoord);
  EXPECT_EQ(Snapshot(b), Snapshot(in));
  expectError<Defs::BadCoord>([&] { far.apply(in, out); }, kBadCoord);
  EXPECT_EQ(Snapshot(out), Snapshot(vxFrequencyBuffer(8, 8)));

  // Only the DC step looks at the inverse-computed flag; sizing `out` clears it.
  vxFrequencyBuffer spatial = in;
  Access::setInverseComputed(spatial, true);
  const vxFrequencyFilterBandPass removal(0.05, 0.0, 0.25, k8, 1);
  a = spatial;
  vxFrequencyFilterBandPass(0.05, 0.0, 0.25, k8, 0).apply(a);
  a = spatial;
  expectError<Defs::InvalidBuffer>([&] { removal.apply(a); }, kInverse);
  EXPECT_EQ(element(a, 4, 4)[0], 0.0f);  // filtered before the refusal
  removal.apply(spatial, out);
  EXPECT_FALSE(out.inverseComputed());
  a = spatial;
  expectError<Defs::InvalidBuffer>(
      [&] { vxFrequencyFilterBandReject(0.05, 0.0, 0.25, k8, 1).apply(a); }, kInverse);
  EXPECT_EQ(Snapshot(a), Snapshot(spatial));
}

TEST(BandFilter, CopiesAssignmentEqualityAndClones) {
  const PassProbe a(0.05, 0.01, 0.25, vxPair<long>(16, 8), 2);
  PassProbe b(a);
  EXPECT_TRUE(b == a);
  EXPECT_NE(b.data(), a.data());
  for (auto change :
       {+[](PassProbe& f) { f.frequency(0.3); }, +[](PassProbe& f) { f.dcRemovalRadius(1); },
        +[](PassProbe& f) { f.size(vxPair<long>(16, 16)); }}) {
    b = a;
    change(b);
    EXPECT_FALSE(b == a);  // a radius or height change keeps the table but not equality
  }
  const PassProbe& alias = b;
  b = alias;
  EXPECT_TRUE(vxFrequencyFilterBandPass() == vxFrequencyFilterBandPass());
  EXPECT_FALSE(a == PassProbe());

  // Assigning an unbuilt filter drops the table and nothing else.
  vxFrequencyFilterBandReject r(0.05, 0.0, 0.25, k8, 1), r2(r);
  const vxFrequencyFilterBandReject built(r);
  r = vxFrequencyFilterBandReject();
  r2 = vxFrequencyFilterBandReject();
  EXPECT_TRUE(r.isInitialized());
  for (auto use : std::initializer_list<std::function<void()>>{
           [&] { r.frequency(); }, [&] { r.sigma(); }, [&] { r.plateau(); }, [&] { r.size(); },
           [&] { r.dcProtectionRadius(); }, [&] { r.supportWidth(); }, [&] { r.sigma(0.1); },
           [&] { r.dcProtectionRadius(0); },
           [&] {
             vxFrequencyBuffer b = patterned(8, 8, 9);
             r.apply(b);
           }})
    expectError<Defs::Uninitialized>(use, kFilterUninit);
  EXPECT_FALSE(r == vxFrequencyFilterBandReject());  // the flags differ
  EXPECT_FALSE(r == built);
  EXPECT_FALSE(built == r);
  EXPECT_TRUE(r == r2);

  // Clones through the base, deletion through either virtual base.
  std::unique_ptr<vxFrequencyFilter> clone(static_cast<const vxFrequencyFilter&>(built).clone());
  ASSERT_NE(dynamic_cast<vxFrequencyFilterBandReject*>(clone.get()), nullptr);
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterBandReject&>(*clone) == built);
  vxPersistent* p = static_cast<const vxFrequencyFilter&>(vxFrequencyFilterBandPass()).clone();
  EXPECT_FALSE(dynamic_cast<vxFrequencyFilter&>(*p).isInitialized());
  delete p;
  vxRepBase* rep = static_cast<const vxFrequencyFilter&>(a).clone();
  delete rep;
}

TEST(BandFilter, SettersRebuildOnlyOnChange) {
  PassProbe f(0.05, 0.0, 0.25, vxPair<long>(16, 8), 0);
  f.trackMutations(true);
  const float* table = f.data();
  f.frequency(0.25);
  f.sigma(0.05);
  f.plateau(0.0);
  f.size(vxPair<long>(16, 8));
  f.dcRemovalRadius(0);
  EXPECT_EQ(f.mutationCount(), 0u);
  f.frequency(0.3);  // one rebuild, one notice; a table of the same size is reused
  EXPECT_EQ(f.mutationCount(), 1u);
  EXPECT_EQ(f.data(), table);
  f.sigma(0.2);  // 12.8 + 0.8: support 13
  f.dcRemovalRadius(2);
  f.size(vxPair<long>(16, 32));
  f.plateau(0.1);
  EXPECT_EQ(f.mutationCount(), 5u);
  EXPECT_TRUE(f == PassProbe(0.2, 0.1, 0.3, vxPair<long>(16, 32), 2));
  f.set(0.2, 0.1, 0.3, vxPair<long>(16, 32), 2);  // set always builds
  EXPECT_EQ(f.mutationCount(), 6u);
}
