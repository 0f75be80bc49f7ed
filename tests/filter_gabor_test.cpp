// Gabor and Gabor-reject filters: table sizes and entries against the profile worked
// out in double, the window and mask band of apply, the DC squares, validation and
// apply checks in order, and the value-class behaviour.
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

struct RejectProbe : vxFrequencyFilterGaborReject {
  using vxFrequencyFilterGaborReject::vxFrequencyFilterGaborReject;
  using vxFrequencyFilterGaborReject::data;
};

// The filter worked out independently: window size, anchor and the profile at every
// window element.
struct Expected {
  long width = 0, height = 0;  // support
  long bx = 0, by = 0;         // anchor, centred indices
  double fx = 0, fy = 0;
  std::vector<double> gain;  // row by row

  Expected(vxPair<double> sigma, vxPair<double> plateau, double angle, double frequency, long W,
           long H) {
    const double c = std::fabs(std::cos(angle)), s = std::fabs(std::sin(angle));
    const double aspect = static_cast<double>(H) / W;
    // About four sigma and the plateau on each side, plus 5 % of the size, made odd.
    width = static_cast<long>(8 * W * std::max(c * sigma.x, s * sigma.y) +
                              2 * W * std::max(c * plateau.x, s * plateau.y) + 0.05 * W) | 1;
    height = static_cast<long>(8 * W * aspect * std::max(c * sigma.y, s * sigma.x) +
                               2 * W * aspect * std::max(c * plateau.y, s * plateau.x) + 0.05 * H) | 1;
    const double cx = W / 2 + W * frequency * std::cos(angle);
    const double cy = H / 2 + W * frequency * std::sin(angle) * aspect;
    bx = static_cast<long>(cx);
    by = static_cast<long>(cy);
    fx = cx - bx;
    fy = cy - by;
    for (long j = -(height / 2); j <= height / 2; ++j)
      for (long i = -(width / 2); i <= width / 2; ++i) {
        const double dx = i - fx, dy = (j - fy) / aspect;  // horizontal bins
        const double u = dx * std::cos(angle) + dy * std::sin(angle);
        const double v = -dx * std::sin(angle) + dy * std::cos(angle);
        const double du = std::max(std::fabs(u) - W * plateau.x, 0.0);
        const double dv = std::max(std::fabs(v) - W * plateau.y, 0.0);
        const double sx = W * sigma.x, sy = W * sigma.y;
        gain.push_back(std::exp(-du * du / (2 * sx * sx) - dv * dv / (2 * sy * sy)));
      }
  }
  double at(long i, long j) const { return gain[(j + height / 2) * width + (i + width / 2)]; }
};

void expectClose(float got, double want) {
  const float w = static_cast<float>(want);
  EXPECT_LE(std::fabs(got - w), 2 * std::fabs(w - std::nextafter(w, 0.0f)) + 1e-30)
      << got << " vs " << want;
}

void expectTable(const float* table, const Expected& e, bool reject) {
  for (std::size_t k = 0; k < e.gain.size(); ++k) {
    SCOPED_TRACE(k);
    expectClose(table[k], reject ? 1.0 - e.gain[k] : e.gain[k]);
  }
}

vxFrequencyBuffer patterned(long w, long h, std::uint32_t seed) {
  vxFrequencyBuffer b(w, h);
  fillPattern(b, seed);
  return b;
}

// Checks a filtered buffer element by element: inside the window the input times
// the table entry, outside it zero (Gabor) or the input (reject).
void expectWindow(const float* table, const Expected& e, bool reject,
                  const vxFrequencyBuffer& in, const vxFrequencyBuffer& out) {
  const long W = in.width(), H = in.height();
  for (long v = 0; v < H; ++v)
    for (long u = 0; u < W; ++u) {
      const long X = (u + W / 2) % W, Y = (v + H / 2) % H;
      const long i = X - e.bx, j = Y - e.by;
      const float* a = element(in, u, v);
      const float* b = element(out, u, v);
      float re = a[0], im = a[1];
      if (std::abs(i) <= e.width / 2 && std::abs(j) <= e.height / 2) {
        const double g = table[(j + e.height / 2) * e.width + (i + e.width / 2)];
        re = static_cast<float>(a[0] * g);
        im = static_cast<float>(a[1] * g);
      } else if (!reject) {
        re = im = 0.0f;
      }
      ASSERT_EQ(bits(b[0]), bits(re)) << "stored " << u << "," << v;
      ASSERT_EQ(bits(b[1]), bits(im)) << "stored " << u << "," << v;
    }
}

void expectMask(const vxFrequencyBuffer& b, long masked, long miny, long maxy) {
  EXPECT_EQ(Access::masked(b), masked);
  EXPECT_EQ(Access::maskedMiny(b), miny);
  EXPECT_EQ(Access::maskedMaxy(b), maxy);
}

const vxPair<double> kSigma(0.02, 0.02);
const vxPair<double> kFlat(0.0, 0.0);
const vxPair<long> k64(64, 64);

}  // namespace

// ---------------------------------------------------------------------------------
// Tables

TEST(GaborFilterTable, SquareExample) {
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const RejectProbe r(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const Expected e(kSigma, kFlat, 0, 0.25, 64, 64);
  ASSERT_EQ(e.width, 13);
  EXPECT_EQ(g.supportWidth(), 13);
  EXPECT_EQ(g.supportHeight(), 13);  // 10.24 + 3.2 = 13.44
  EXPECT_EQ(e.bx, 48);
  EXPECT_EQ(e.by, 32);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(g.data()) % 16, 0u);
  const float* middleRow = g.data() + 6 * 13;
  EXPECT_EQ(middleRow[6], 1.0f);
  EXPECT_NEAR(middleRow[7], 0.7370, 5e-5);  // exp(-1 / 3.2768)
  expectClose(middleRow[7], std::exp(-1 / 3.2768));
  EXPECT_NEAR(middleRow[0], 1.69e-5, 0.01e-5);
  expectTable(g.data(), e, false);
  expectTable(r.data(), e, true);
  EXPECT_EQ(r.data()[6 * 13 + 6], 0.0f);
}

TEST(GaborFilterTable, PlateauWidensTheFlatTopAlongTheDirection) {
  const vxPair<double> plateau(0.05, 0.0);
  const vxFrequencyFilterGabor g(kSigma, plateau, vxRadian(0), 0.25, k64, 0);
  const Expected e(kSigma, plateau, 0, 0.25, 64, 64);
  EXPECT_EQ(g.supportWidth(), 19);
  EXPECT_EQ(g.supportHeight(), 13);
  const float* middleRow = g.data() + 6 * 19;
  for (long i = -3; i <= 3; ++i) EXPECT_EQ(middleRow[9 + i], 1.0f) << i;
  EXPECT_LT(middleRow[9 + 4], 1.0f);
  EXPECT_LT(middleRow[9 - 4], 1.0f);
  expectTable(g.data(), e, false);
}

TEST(GaborFilterTable, RectangularBufferAtAQuarterTurn) {
  const vxPair<double> sigma(0.02, 0.01), plateau(0.01, 0.0);
  const vxFrequencyFilterGabor g(sigma, plateau, vxRadian(kPi / 2), 0.25, vxPair<long>(64, 32), 0);
  const Expected e(sigma, plateau, kPi / 2, 0.25, 64, 32);
  EXPECT_EQ(g.supportWidth(), 9);
  EXPECT_EQ(g.supportHeight(), 7);
  EXPECT_EQ(e.bx, 32);
  EXPECT_EQ(e.by, 24);
  expectTable(g.data(), e, false);

  vxFrequencyBuffer b = patterned(64, 32, 1);
  const vxFrequencyBuffer in = b;
  g.apply(b);
  expectMask(b, 1, 21, 27);
  expectWindow(g.data(), e, false, in, b);
}

TEST(GaborFilterTable, CentreBetweenElements) {
  const double angle = 3 * kPi / 4;  // 135 degrees
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(angle), 0.25, k64, 0);
  const Expected e(kSigma, kFlat, angle, 0.25, 64, 64);
  EXPECT_EQ(e.bx, 20);
  EXPECT_NEAR(e.fx, 0.69, 0.01);
  expectTable(g.data(), e, false);
  const long w = g.supportWidth(), hw = w / 2;
  const float* middleRow = g.data() + (g.supportHeight() / 2) * w;
  long best = -hw;
  for (long i = -hw; i <= hw; ++i)
    if (middleRow[hw + i] > middleRow[hw + best]) best = i;
  EXPECT_EQ(best, 1);

  // That entry lands on centred column 21, the column nearest the centre point.
  vxFrequencyBuffer b = patterned(64, 64, 2);
  const vxFrequencyBuffer in = b;
  g.apply(b);
  const long u = (21 + 32) % 64, v = (e.by + 32) % 64;
  EXPECT_EQ(element(b, u, v)[0], static_cast<float>(element(in, u, v)[0] * double(middleRow[hw + 1])));
  expectWindow(g.data(), e, false, in, b);
}

// ---------------------------------------------------------------------------------
// Apply

TEST(GaborFilterApply, WindowMaskAndBothForms) {
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const RejectProbe r(kSigma, kFlat, vxRadian(0), 0.25, k64, 0);
  const Expected e(kSigma, kFlat, 0, 0.25, 64, 64);
  vxFrequencyBuffer in = patterned(64, 64, 3);
  Access::setMask(in, 1, 0, 5);
  const Snapshot inBefore(in);

  vxFrequencyBuffer a = in;
  g.apply(a);
  // Centred (48, 32), signed frequencies (16, 0), gets the middle entry 1.0.
  EXPECT_EQ(a.get(16, 0, true), in.get(16, 0, true));
  expectMask(a, 1, 26, 38);
  expectWindow(g.data(), e, false, in, a);

  vxFrequencyBuffer out;
  g.apply(in, out);
  EXPECT_EQ(Snapshot(in), inBefore);
  expectMask(out, 1, 26, 38);
  expectWindow(g.data(), e, false, in, out);
  EXPECT_EQ(out.imageWidth(), 64);

  a = in;
  r.apply(a);
  expectMask(a, 0, 0, 0);
  expectWindow(r.data(), e, true, in, a);
  out = vxFrequencyBuffer();
  r.apply(in, out);
  expectMask(out, 0, 0, 0);
  expectWindow(r.data(), e, true, in, out);

  // The same buffer as input and output.
  a = in;
  g.apply(a, a);
  expectWindow(g.data(), e, false, in, a);
}

TEST(GaborFilterApply, WindowPartlyOutsideTheBufferDoesNotWrap) {
  // Frequency 0.5 at angle 0: the anchor column is 64, just outside.
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(0), 0.5, k64, 0);
  const Expected e(kSigma, kFlat, 0, 0.5, 64, 64);
  ASSERT_EQ(e.bx, 64);
  vxFrequencyBuffer b = patterned(64, 64, 4);
  const vxFrequencyBuffer in = b;
  g.apply(b);
  expectWindow(g.data(), e, false, in, b);
  // Centred column 63 takes the entry left of the middle one; centred column 0 (the
  // wrapped continuation) is zero.
  const float* middleRow = g.data() + 6 * 13;
  EXPECT_EQ(b.getReal(31, 0, true), static_cast<float>(in.getReal(31, 0, true) * middleRow[5]));
  EXPECT_EQ(b.get(-32, 0, true), vxPair<double>(0, 0));
  // Only its rows are kept.
  expectMask(b, 1, 26, 38);
}

TEST(GaborFilterApply, ChecksInOrderChangeNothing) {
  const vxFrequencyFilterGabor built(kSigma, kFlat, vxRadian(0), 0.25, k64, 1);
  const vxFrequencyFilterGaborReject unbuilt;
  vxFrequencyBuffer empty;
  vxFrequencyBuffer wrong = patterned(64, 32, 5);
  vxFrequencyBuffer out = patterned(2, 2, 6);
  const Snapshot wrongBefore(wrong), outBefore(out);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty, out); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong, out); }, kFilterUninit);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong); }, kSizeMismatch);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong, out); }, kSizeMismatch);
  EXPECT_EQ(Snapshot(wrong), wrongBefore);
  EXPECT_EQ(Snapshot(out), outBefore);
}

// ---------------------------------------------------------------------------------
// DC squares

TEST(GaborFilterDc, RemovalAndProtection) {
  // A wide filter centred on zero frequency, so the square is inside the window.
  const vxPair<double> wide(0.1, 0.1);
  const vxFrequencyBuffer in = patterned(16, 16, 7);
  vxFrequencyBuffer a = in;
  vxFrequencyFilterGabor(wide, kFlat, vxRadian(0), 0.0, vxPair<long>(16, 16), 2).apply(a);
  for (long y = 0; y < 16; ++y)
    for (long x = 0; x < 16; ++x) {
      const bool square = (x <= 1 || x == 15) && (y <= 1 || y == 15);
      if (square) {
        EXPECT_EQ(a.get(x, y, false), vxPair<double>(0, 0)) << x << "," << y;
      }
    }
  EXPECT_NE(a.getReal(2, 0, false), 0.0);

  // The reject gain at zero frequency is 0, but the protected element keeps its value.
  const RejectProbe r(wide, kFlat, vxRadian(0), 0.0, vxPair<long>(16, 16), 1);
  vxFrequencyBuffer b = in;
  r.apply(b);
  EXPECT_EQ(b.get(0, 0, false), in.get(0, 0, false));
  EXPECT_NE(b.get(1, 0, false), in.get(1, 0, false));
}

TEST(GaborFilterDc, RadiusBeyondHalfTheBuffer) {
  const vxFrequencyBuffer in = patterned(64, 64, 8);
  const Expected e(kSigma, kFlat, 0, 0.25, 64, 64);
  // Gabor: filtered, then the DC step fails.
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 33);
  vxFrequencyBuffer a = in;
  expectError<Defs::BadCoord>([&] { g.apply(a); }, kBadCoord);
  expectWindow(g.data(), e, false, in, a);
  // Reject: fails while reading the square, before `out` is sized.
  const vxFrequencyFilterGaborReject r(kSigma, kFlat, vxRadian(0), 0.25, k64, 33);
  vxFrequencyBuffer b = in;
  expectError<Defs::BadCoord>([&] { r.apply(b); }, kBadCoord);
  EXPECT_EQ(Snapshot(b), Snapshot(in));
  vxFrequencyBuffer out;
  expectError<Defs::BadCoord>([&] { r.apply(in, out); }, kBadCoord);
  EXPECT_FALSE(out.isInitialized());
}

TEST(GaborFilterDc, InverseComputedBuffers) {
  vxFrequencyBuffer in = patterned(64, 64, 9);
  Access::setInverseComputed(in, true);
  const Expected e(kSigma, kFlat, 0, 0.25, 64, 64);
  const vxFrequencyFilterGabor g(kSigma, kFlat, vxRadian(0), 0.25, k64, 1);
  vxFrequencyBuffer a = in;
  expectError<Defs::InvalidBuffer>([&] { g.apply(a); }, kInverse);
  expectWindow(g.data(), e, false, in, a);
  vxFrequencyBuffer out;
  g.apply(in, out);  // sizing `out` clears its flag
  EXPECT_EQ(out.get(0, 0, false), vxPair<double>(0, 0));

  const vxFrequencyFilterGaborReject r(kSigma, kFlat, vxRadian(0), 0.25, k64, 1);
  vxFrequencyBuffer other = patterned(4, 4, 10);
  const Snapshot otherBefore(other);
  expectError<Defs::InvalidBuffer>([&] { r.apply(in, other); }, kInverse);
  EXPECT_EQ(Snapshot(other), otherBefore);
}

// ---------------------------------------------------------------------------------
// Validation

TEST(GaborFilterBuild, ValidationMessagesAndOrder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const vxRadian a0(0);
  for (double f : {0.5000001, -0.0001, nan})
    expectError<Defs::InvalidArgument>([&] { vxFrequencyFilterGabor(kSigma, kFlat, a0, f, k64, 0); },
                                       kFrequency);
  vxFrequencyFilterGabor zero(kSigma, kFlat, a0, 0.0, k64, 0);
  vxFrequencyFilterGabor half(kSigma, kFlat, a0, 0.5, k64, 0);
  for (vxPair<double> s : {vxPair<double>(0.02, 0.0), vxPair<double>(-0.1, 0.02)})
    expectError<Defs::InvalidArgument>([&] { vxFrequencyFilterGabor(s, kFlat, a0, 0.25, k64, 0); },
                                       L"Sigma values must be positive.");
  for (vxPair<double> p : {vxPair<double>(0.0, -0.01), vxPair<double>(-0.01, 0.0)})
    expectError<Defs::InvalidArgument>(
        [&] { vxFrequencyFilterGaborReject(kSigma, p, a0, 0.25, k64, 0); },
        L"Plateau values cannot be negative.");
  expectError<Defs::InvalidArgument>([&] { vxFrequencyFilterGabor(kSigma, kFlat, a0, 0.25, k64, -1); },
                                     L"DC Removal Radius cannot be negative.");
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterGaborReject(kSigma, kFlat, a0, 0.25, k64, -1); },
      L"DC Protection Radius cannot be negative.");
  for (vxPair<long> size : {vxPair<long>(0, 8), vxPair<long>(12, 8), vxPair<long>((1L << 30) + 1, 8),
                            vxPair<long>(8, -8)})
    expectError<Defs::InvalidSize>([&] { vxFrequencyFilterGabor(kSigma, kFlat, a0, 0.25, size, 0); },
                                   kPowerOfTwo);
  vxFrequencyFilterGabor tiny(kSigma, kFlat, a0, 0.25, vxPair<long>(1, 1), 0);
  vxFrequencyFilterGaborReject flat(kSigma, kFlat, a0, 0.25, vxPair<long>(2048, 1), 0);
  EXPECT_EQ(flat.size(), vxPair<long>(2048, 1));

  // The first failing check wins.
  const vxPair<double> badSigma(0, 0), badPlateau(-1, -1);
  const vxPair<long> badSize(3, 3);
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterGabor(badSigma, badPlateau, a0, 0.6, badSize, -1); }, kFrequency);
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterGabor(badSigma, badPlateau, a0, 0.1, badSize, -1); },
      L"Sigma values must be positive.");
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterGabor(kSigma, badPlateau, a0, 0.1, badSize, -1); },
      L"Plateau values cannot be negative.");
  expectError<Defs::InvalidArgument>(
      [&] { vxFrequencyFilterGabor(kSigma, kFlat, a0, 0.1, badSize, -1); },
      L"DC Removal Radius cannot be negative.");

  // A failed build leaves a built filter as it was, without a mutation notice.
  vxFrequencyFilterGabor f(kSigma, kFlat, a0, 0.25, k64, 0);
  const vxFrequencyFilterGabor copy(f);
  f.trackMutations(true);
  expectError<Defs::InvalidSize>([&] { f.size(vxPair<long>(64, 48)); }, kPowerOfTwo);
  EXPECT_EQ(f.mutationCount(), 0u);
  EXPECT_TRUE(f == copy);
}

// ---------------------------------------------------------------------------------
// Value-class behaviour

TEST(GaborFilterValue, CopiesAssignmentEqualityAndClones) {
  const vxFrequencyFilterGabor a(kSigma, vxPair<double>(0.01, 0.0), vxRadian(0.3), 0.2, k64, 1);
  vxFrequencyFilterGabor b(a);
  EXPECT_TRUE(b == a);
  EXPECT_NE(b.data(), a.data());
  b.angle(vxRadian(0.4));
  EXPECT_FALSE(b == a);
  b = a;
  EXPECT_TRUE(b == a);
  b.dcRemovalRadius(2);
  EXPECT_FALSE(b == a);

  std::unique_ptr<vxFrequencyFilter> clone(static_cast<const vxFrequencyFilter&>(a).clone());
  auto* typed = dynamic_cast<vxFrequencyFilterGabor*>(clone.get());
  ASSERT_NE(typed, nullptr);
  EXPECT_TRUE(*typed == a);

  const vxFrequencyFilterGaborReject unbuilt;
  vxPersistent* p = static_cast<const vxFrequencyFilter&>(unbuilt).clone();
  ASSERT_NE(dynamic_cast<vxFrequencyFilterGaborReject*>(p), nullptr);
  delete p;
  vxRepBase* rep = static_cast<const vxFrequencyFilter&>(a).clone();
  delete rep;

  // Assigning an unbuilt filter drops the table and nothing else.
  vxFrequencyFilterGaborReject r(kSigma, kFlat, vxRadian(0), 0.25, k64, 1);
  r = unbuilt;
  EXPECT_TRUE(r.isInitialized());
  for (auto get : std::initializer_list<std::function<void()>>{
           [&] { r.angle(); }, [&] { r.frequency(); }, [&] { r.sigma(); }, [&] { r.plateau(); },
           [&] { r.size(); }, [&] { r.dcProtectionRadius(); }, [&] { r.supportWidth(); },
           [&] { r.supportHeight(); }, [&] { r.frequency(0.1); }})
    expectError<Defs::Uninitialized>(get, kFilterUninit);
  vxFrequencyBuffer buffer = patterned(64, 64, 11);
  expectError<Defs::Uninitialized>([&] { r.apply(buffer); }, kFilterUninit);
  EXPECT_FALSE(r == unbuilt);
  const vxFrequencyFilterGaborReject built(kSigma, kFlat, vxRadian(0), 0.25, k64, 1);
  EXPECT_FALSE(r == built);
  EXPECT_FALSE(built == r);
  EXPECT_TRUE(vxFrequencyFilterGaborReject() == unbuilt);
}

TEST(GaborFilterValue, SettersRebuildOnlyOnChange) {
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
  ASSERT_EQ(before.size(), static_cast<std::size_t>(f.supportWidth() * f.supportHeight()));
  for (std::size_t k = 0; k < before.size(); ++k) ASSERT_EQ(bits(f.data()[k]), bits(before[k]));

  f.sigma(vxPair<double>(0.02, 0.03));  // one component changed
  EXPECT_EQ(f.mutationCount(), 2u);
  EXPECT_TRUE(f == vxFrequencyFilterGabor(vxPair<double>(0.02, 0.03), kFlat, vxRadian(0.5), 0.25,
                                          k64, 3));
  f.angle(vxRadian(1.0));
  f.frequency(0.1);
  f.plateau(vxPair<double>(0.0, 0.01));
  f.size(vxPair<long>(64, 32));
  EXPECT_EQ(f.mutationCount(), 6u);
  EXPECT_TRUE(f == vxFrequencyFilterGabor(vxPair<double>(0.02, 0.03), vxPair<double>(0.0, 0.01),
                                          vxRadian(1.0), 0.1, vxPair<long>(64, 32), 3));
}
