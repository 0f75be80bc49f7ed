// Gabor and Gabor-reject filters: table sizes and entries against the profile worked
// out in double, the window and mask band of apply, the DC squares, validation and
// apply checks in order, and value-class behaviour.
#include "filt/freqfilt.h"
#include "filter_test_support.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <vector>

using namespace filter_test;

namespace {

const double kPi = 3.14159265358979323846;
const vxPair<double> kSigma(0.02, 0.02), kFlat(0.0, 0.0);
const vxPair<long> k64(64, 64);

struct RejectProbe : vxFrequencyFilterGaborReject {
  using vxFrequencyFilterGaborReject::data;
  using vxFrequencyFilterGaborReject::vxFrequencyFilterGaborReject;
};

// The filter worked out independently: window size (about 4 sigma plus the plateau
// on each side of the centre point and 5 % of the buffer, made odd), anchor, and
// the profile at each window element.
struct Expected {
  long width, height, bx, by;
  double fx, fy;
  std::vector<double> gain;

  Expected(vxPair<double> sigma, vxPair<double> plateau, double angle, double frequency, long W,
           long H) {
    const double c = std::fabs(std::cos(angle)), s = std::fabs(std::sin(angle));
    const double aspect = static_cast<double>(H) / W, sx = W * sigma.x, sy = W * sigma.y;
    width = static_cast<long>(8 * W * std::max(c * sigma.x, s * sigma.y) +
                              2 * W * std::max(c * plateau.x, s * plateau.y) + 0.05 * W) |
            1;
    height = static_cast<long>(8 * W * aspect * std::max(c * sigma.y, s * sigma.x) +
                               2 * W * aspect * std::max(c * plateau.y, s * plateau.x) + 0.05 * H) |
             1;
    const double cx = W / 2 + W * frequency * std::cos(angle);
    const double cy = H / 2 + W * frequency * std::sin(angle) * aspect;
    bx = static_cast<long>(cx), by = static_cast<long>(cy), fx = cx - bx, fy = cy - by;
    for (long j = -(height / 2); j <= height / 2; ++j)
      for (long i = -(width / 2); i <= width / 2; ++i) {
        const double dx = i - fx, dy = (j - fy) / aspect;  // in horizontal bins
        const double u = dx * std::cos(angle) + dy * std::sin(angle);
        const double v = -dx * std::sin(angle) + dy * std::cos(angle);
        const double du = std::max(std::fabs(u) - W * plateau.x, 0.0);
        const double dv = std::max(std::fabs(v) - W * plateau.y, 0.0);
        gain.push_back(std::exp(-du * du / (2 * sx * sx) - dv * dv / (2 * sy * sy)));
      }
  }

  // Table entries within two float steps of the profile (or one minus it).
  void expectTable(const float* table, bool reject) const {
    for (std::size_t k = 0; k < gain.size(); ++k) {
      const float w = static_cast<float>(reject ? 1.0 - gain[k] : gain[k]);
      ASSERT_LE(std::fabs(table[k] - w), 2 * std::fabs(w - std::nextafter(w, 0.0f)) + 1e-30) << k;
    }
  }

  // Inside the window the input times the table entry, outside it zero (Gabor) or
  // the input (reject); nothing wraps around.
  void expectWindow(const float* table, bool reject, const vxFrequencyBuffer& in,
                    const vxFrequencyBuffer& out) const {
    const long W = in.width(), H = in.height();
    for (long v = 0; v < H; ++v)
      for (long u = 0; u < W; ++u) {
        const long i = (u + W / 2) % W - bx, j = (v + H / 2) % H - by;
        const float* a = element(in, u, v);
        float re = reject ? a[0] : 0.0f, im = reject ? a[1] : 0.0f;
        if (std::abs(i) <= width / 2 && std::abs(j) <= height / 2) {
          const float g = table[(j + height / 2) * width + (i + width / 2)];
          re = a[0] * g, im = a[1] * g;
        }
        ASSERT_EQ(bits(element(out, u, v)[0]), bits(re)) << u << "," << v;
        ASSERT_EQ(bits(element(out, u, v)[1]), bits(im)) << u << "," << v;
      }
  }
};

}  // namespace

TEST(GaborFilter, TablesOfTheDocumentedExamples) {
  // 64 x 64 at angle 0: 10.24 + 3.2 = 13.44 -> 13 x 13, anchor (48, 32).
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const RejectProbe r(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const Expected e(kSigma, kFlat, 0, 0.25, 64, 64);
  EXPECT_EQ(g.supportWidth(), 13);
  EXPECT_EQ(g.supportHeight(), 13);
  EXPECT_EQ(e.bx * 1000 + e.by, 48032);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(g.data()) % 16, 0u);
  const float* middle = g.data() + 6 * 13;
  EXPECT_EQ(middle[6], 1.0f);
  EXPECT_NEAR(middle[7], 0.7370, 5e-5);  // exp(-1 / 3.2768)
  EXPECT_NEAR(middle[0], 1.69e-5, 0.01e-5);
  e.expectTable(g.data(), false);
  e.expectTable(r.data(), true);

  // A plateau along the direction: 19 x 13, seven entries of exactly 1.
  const vxFrequencyFilterGabor p(kSigma, vxPair<double>(0.05, 0), vxRadian(0), 0.25, k64, 0);
  EXPECT_EQ(p.supportWidth() * 100 + p.supportHeight(), 1913);
  for (long i = -4; i <= 4; ++i) EXPECT_EQ(p.data()[6 * 19 + 9 + i] == 1.0f, std::abs(i) <= 3) << i;
  Expected(kSigma, vxPair<double>(0.05, 0), 0, 0.25, 64, 64).expectTable(p.data(), false);

  // 64 x 32 at a quarter turn: 9 x 7 around (32, 24).
  const vxPair<double> sigma(0.02, 0.01), plateau(0.01, 0.0);
  const vxFrequencyFilterGabor q(sigma, plateau, vxRadian(kPi / 2), 0.25, vxPair<long>(64, 32), 0);
  const Expected eq(sigma, plateau, kPi / 2, 0.25, 64, 32);
  EXPECT_EQ(q.supportWidth() * 100 + q.supportHeight(), 907);
  EXPECT_EQ(eq.bx * 1000 + eq.by, 32024);
  eq.expectTable(q.data(), false);
  vxFrequencyBuffer b = patterned(64, 32, 1);
  const vxFrequencyBuffer in = b;
  q.apply(b);
  EXPECT_EQ(maskOf(b), std::vector<long>({1, 21, 27}));
  eq.expectWindow(q.data(), false, in, b);

  // 135 degrees: centre at 20.69, so the largest middle-row entry is i = 1, and it
  // lands on centred column 21, the column nearest the centre point.
  const vxFrequencyFilterGabor d(kSigma, kFlat, vxRadian(3 * kPi / 4), 0.25, k64, 0);
  const Expected ed(kSigma, kFlat, 3 * kPi / 4, 0.25, 64, 64);
  EXPECT_EQ(ed.bx, 20);
  EXPECT_NEAR(ed.fx, 0.69, 0.01);
  ed.expectTable(d.data(), false);
  const long hw = d.supportWidth() / 2;
  const float* row = d.data() + (d.supportHeight() / 2) * d.supportWidth();
  EXPECT_EQ(std::max_element(row, row + 2 * hw + 1) - row, hw + 1);
  vxFrequencyBuffer c = patterned(64, 64, 2);
  const vxFrequencyBuffer cin = c;
  d.apply(c);
  EXPECT_EQ(c.getReal(21 - 32, ed.by - 32, true),
            float(cin.getReal(21 - 32, ed.by - 32, true) * row[hw + 1]));
}

TEST(GaborFilter, WindowAndMaskInBothForms) {
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const RejectProbe r(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const Expected e(kSigma, kFlat, 0, 0.25, 64, 64);
  vxFrequencyBuffer in = patterned(64, 64, 3);
  Access::setMask(in, 1, 0, 5);
  const Snapshot inBefore(in);
  vxFrequencyBuffer a = in, out;
  g.apply(a);
  EXPECT_EQ(a.get(16, 0, true), in.get(16, 0, true));  // centred (48, 32): gain 1
  EXPECT_EQ(maskOf(a), std::vector<long>({1, 26, 38}));
  e.expectWindow(g.data(), false, in, a);
  g.apply(in, out);
  EXPECT_EQ(Snapshot(in), inBefore);
  EXPECT_EQ(maskOf(out), std::vector<long>({1, 26, 38}));
  e.expectWindow(g.data(), false, in, out);
  a = in;
  g.apply(a, a);
  e.expectWindow(g.data(), false, in, a);
  a = in;
  r.apply(a);
  EXPECT_EQ(maskOf(a), std::vector<long>({0, 0, 0}));
  e.expectWindow(r.data(), true, in, a);
  r.apply(in, out);
  EXPECT_EQ(maskOf(out), std::vector<long>({0, 0, 0}));
  e.expectWindow(r.data(), true, in, out);

  // Frequency 0.5: the anchor column is 64, just outside; only the columns left of
  // the middle one apply, and nothing wraps to centred column 0.
  const vxFrequencyFilterGabor edge(kSigma, kFlat, vxRadian(0), 0.5, k64, 0);
  a = in;
  edge.apply(a);
  Expected(kSigma, kFlat, 0, 0.5, 64, 64).expectWindow(edge.data(), false, in, a);
  EXPECT_EQ(a.getReal(31, 0, true), float(in.getReal(31, 0, true) * edge.data()[6 * 13 + 5]));
  EXPECT_EQ(a.get(-32, 0, true), vxPair<double>(0, 0));
}

TEST(GaborFilter, ApplyChecksInOrder) {
  const vxFrequencyFilterGabor built(kSigma, kFlat, vxRadian(0), 0.25, k64, 1);
  const vxFrequencyFilterGaborReject unbuilt;
  vxFrequencyBuffer empty, wrong = patterned(64, 32, 4), out = patterned(2, 2, 5);
  const Snapshot wrongBefore(wrong), outBefore(out);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty, out); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong); }, kFilterUninit);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong); }, kSizeMismatch);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong, out); }, kSizeMismatch);
  EXPECT_EQ(Snapshot(wrong), wrongBefore);
  EXPECT_EQ(Snapshot(out), outBefore);
}

TEST(GaborFilter, DcSquares) {
  // A wide filter around zero frequency, so the squares lie in the window.
  const vxPair<double> wide(0.1, 0.1);
  const vxFrequencyBuffer in = patterned(16, 16, 6);
  vxFrequencyBuffer a = in, b = in;
  vxFrequencyFilterGabor(wide, kFlat, vxRadian(0), 0.0, vxPair<long>(16, 16), 2).apply(a);
  for (long y = -1; y <= 1; ++y)
    for (long x = -1; x <= 1; ++x) EXPECT_EQ(a.get(x, y, true), vxPair<double>(0, 0));
  EXPECT_NE(a.getReal(2, 0, true), 0.0);
  vxFrequencyFilterGaborReject(wide, kFlat, vxRadian(0), 0.0, vxPair<long>(16, 16), 1).apply(b);
  EXPECT_EQ(b.get(0, 0, true), in.get(0, 0, true));  // protected, though the gain there is 0
  EXPECT_NE(b.get(1, 0, true), in.get(1, 0, true));

  // Radius 33 on 64 x 64: the Gabor filter fails after filtering, the reject filter
  // while reading, before `out` is sized.
  const vxFrequencyBuffer big = patterned(64, 64, 7);
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 33);
  vxFrequencyBuffer c = big, out;
  expectError<Defs::BadCoord>([&] { g.apply(c); }, kBadCoord);
  Expected(kSigma, kFlat, 0, 0.25, 64, 64).expectWindow(g.data(), false, big, c);
  const vxFrequencyFilterGaborReject r(kSigma, kFlat, vxRadian(0), 0.25, k64, 33);
  c = big;
  expectError<Defs::BadCoord>([&] { r.apply(c); }, kBadCoord);
  EXPECT_EQ(Snapshot(c), Snapshot(big));
  expectError<Defs::BadCoord>([&] { r.apply(big, out); }, kBadCoord);
  EXPECT_FALSE(out.isInitialized());

  // Inverse computed: refused by the DC step only; sizing `out` clears the flag.
  vxFrequencyBuffer spatial = big;
  Access::setInverseComputed(spatial, true);
  const vxFrequencyFilterGabor g1(kSigma, kFlat, vxRadian(0), 0.25, k64, 1);
  c = spatial;
  expectError<Defs::InvalidBuffer>([&] { g1.apply(c); }, kInverse);
  Expected(kSigma, kFlat, 0, 0.25, 64, 64).expectWindow(g1.data(), false, spatial, c);
  g1.apply(spatial, out);
  EXPECT_EQ(out.get(0, 0, false), vxPair<double>(0, 0));
  vxFrequencyBuffer other = patterned(4, 4, 8);
  const Snapshot otherBefore(other);
  expectError<Defs::InvalidBuffer>(
      [&] {
        vxFrequencyFilterGaborReject(kSigma, kFlat, vxRadian(0), 0.25, k64, 1)
            .apply(spatial, other);
      },
      kInverse);
  EXPECT_EQ(Snapshot(other), otherBefore);
}

TEST(GaborFilter, ValidationInOrderChangesNothing) {
  using Gabor = vxFrequencyFilterGabor;
  using Reject = vxFrequencyFilterGaborReject;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const vxRadian a0(0);
  for (double f : {0.5000001, -0.0001, nan})
    expectError<Defs::InvalidArgument>([&] { Gabor(kSigma, kFlat, a0, f, k64, 0); }, kFrequency);
  for (vxPair<double> s : {vxPair<double>(0.02, 0.0), vxPair<double>(-0.1, 0.02)})
    expectError<Defs::InvalidArgument>([&] { Gabor(s, kFlat, a0, 0.25, k64, 0); },
                                       L"Sigma values must be positive.");
  for (vxPair<double> p : {vxPair<double>(0.0, -0.01), vxPair<double>(-0.01, 0.0)})
    expectError<Defs::InvalidArgument>([&] { Reject(kSigma, p, a0, 0.25, k64, 0); },
                                       L"Plateau values cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { Gabor(kSigma, kFlat, a0, 0.25, k64, -1); },
                                     L"DC Removal Radius cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { Reject(kSigma, kFlat, a0, 0.25, k64, -1); },
                                     L"DC Protection Radius cannot be negative.");
  for (vxPair<long> size : {vxPair<long>(0, 8), vxPair<long>(12, 8),
                            vxPair<long>((1L << 30) + 1, 8), vxPair<long>(8, -8)})
    expectError<Defs::InvalidSize>([&] { Gabor(kSigma, kFlat, a0, 0.25, size, 0); }, kPowerOfTwo);
  EXPECT_EQ(Gabor(kSigma, kFlat, a0, 0.0, vxPair<long>(1, 1), 0).frequency(), 0.0);
  EXPECT_EQ(Reject(kSigma, kFlat, a0, 0.5, vxPair<long>(2048, 1), 0).size(), vxPair<long>(2048, 1));
  // The first failing check wins.
  const vxPair<double> badSigma(0, 0), badPlateau(-1, -1);
  const vxPair<long> bad(3, 3);
  expectError<Defs::InvalidArgument>([&] { Gabor(badSigma, badPlateau, a0, 0.6, bad, -1); },
                                     kFrequency);
  expectError<Defs::InvalidArgument>([&] { Gabor(badSigma, badPlateau, a0, 0.1, bad, -1); },
                                     L"Sigma values must be positive.");
  expectError<Defs::InvalidArgument>([&] { Gabor(kSigma, badPlateau, a0, 0.1, bad, -1); },
                                     L"Plateau values cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { Gabor(kSigma, kFlat, a0, 0.1, bad, -1); },
                                     L"DC Removal Radius cannot be negative.");
  Gabor f(kSigma, kFlat, a0, 0.25, k64, 0);
  const Gabor copy(f);
  f.trackMutations(true);
  expectError<Defs::InvalidSize>([&] { f.size(vxPair<long>(64, 48)); }, kPowerOfTwo);
  EXPECT_EQ(f.mutationCount(), 0u);
  EXPECT_TRUE(f == copy);
}

TEST(GaborFilter, CopiesAssignmentEqualityAndClones) {
  const vxFrequencyFilterGabor a(kSigma, vxPair<double>(0.01, 0.0), vxRadian(0.3), 0.2, k64, 1);
  vxFrequencyFilterGabor b(a);
  EXPECT_TRUE(b == a);
  EXPECT_NE(b.data(), a.data());
  b.angle(vxRadian(0.4));
  EXPECT_FALSE(b == a);
  b = a;
  b.dcRemovalRadius(2);  // same table
  EXPECT_FALSE(b == a);

  std::unique_ptr<vxFrequencyFilter> clone(static_cast<const vxFrequencyFilter&>(a).clone());
  ASSERT_NE(dynamic_cast<vxFrequencyFilterGabor*>(clone.get()), nullptr);
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterGabor&>(*clone) == a);
  const vxFrequencyFilterGaborReject unbuilt;
  vxPersistent* p = static_cast<const vxFrequencyFilter&>(unbuilt).clone();
  EXPECT_NE(dynamic_cast<vxFrequencyFilterGaborReject*>(p), nullptr);
  delete p;
  vxRepBase* rep = static_cast<const vxFrequencyFilter&>(a).clone();
  delete rep;

  // Assigning an unbuilt filter drops the table and nothing else.
  vxFrequencyFilterGaborReject r(kSigma, kFlat, vxRadian(0), 0.25, k64, 1);
  const vxFrequencyFilterGaborReject built(r);
  r = unbuilt;
  EXPECT_TRUE(r.isInitialized());
  for (auto use : std::initializer_list<std::function<void()>>{
           [&] { r.angle(); }, [&] { r.frequency(); }, [&] { r.sigma(); }, [&] { r.plateau(); },
           [&] { r.size(); }, [&] { r.dcProtectionRadius(); }, [&] { r.supportWidth(); },
           [&] { r.supportHeight(); }, [&] { r.frequency(0.1); },
           [&] {
             vxFrequencyBuffer x = patterned(64, 64, 9);
             r.apply(x);
           }})
    expectError<Defs::Uninitialized>(use, kFilterUninit);
  EXPECT_FALSE(r == unbuilt);
  EXPECT_FALSE(r == built);
  EXPECT_FALSE(built == r);
}

TEST(GaborFilter, SettersRebuildOnlyOnChange) {
  vxFrequencyFilterGabor f(kSigma, kFlat, vxRadian(0.5), 0.25, k64, 0);
  f.trackMutations(true);
  f.angle(vxRadian(0.5));
  f.frequency(0.25);
  f.sigma(kSigma);
  f.plateau(kFlat);
  f.size(k64);
  f.dcRemovalRadius(0);
  EXPECT_EQ(f.mutationCount(), 0u);
  // A new radius rebuilds the whole table, with identical entries.
  const std::vector<float> before(f.data(), f.data() + f.supportWidth() * f.supportHeight());
  f.dcRemovalRadius(3);
  EXPECT_EQ(f.mutationCount(), 1u);
  for (std::size_t k = 0; k < before.size(); ++k) ASSERT_EQ(bits(f.data()[k]), bits(before[k]));
  f.sigma(vxPair<double>(0.02, 0.03));  // one component changed
  f.angle(vxRadian(1.0));
  f.frequency(0.1);
  f.plateau(vxPair<double>(0.0, 0.01));
  f.size(vxPair<long>(64, 32));
  EXPECT_EQ(f.mutationCount(), 6u);
  EXPECT_TRUE(f == vxFrequencyFilterGabor(vxPair<double>(0.02, 0.03), vxPair<double>(0.0, 0.01),
                                          vxRadian(1.0), 0.1, vxPair<long>(64, 32), 3));
}
