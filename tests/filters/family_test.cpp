// What the band and Gabor filter families share, one body run on each of the four
// classes: validation and apply checks in order (a failure changes nothing), the DC
// squares, copies, assignment, equality, clones and setters that rebuild on change,
// the list of filter types and copies for another size.
#include "filt/filter_types.h"
#include "filt/freqfilt.h"
#include "filters/test_support.h"

#include <functional>
#include <limits>
#include <memory>
#include <type_traits>
#include <typeinfo>

using namespace filter_test;

namespace {

using Pass = vxFrequencyFilterBandPass;
using Reject = vxFrequencyFilterBandReject;
using Gabor = vxFrequencyFilterGabor;
using GaborReject = vxFrequencyFilterGaborReject;

// How each class is built from (sigma, plateau, frequency, size, radius); the Gabor
// classes take the sigma and plateau for both axes and the angle 0.
struct BandTexts {
  static constexpr const wchar_t* kSigma = L"Sigma must be positive.";
  static constexpr const wchar_t* kPlateau = L"Plateau cannot be negative.";
};
struct GaborTexts {
  static constexpr const wchar_t* kSigma = L"Sigma values must be positive.";
  static constexpr const wchar_t* kPlateau = L"Plateau values cannot be negative.";
};
template <class F>
constexpr bool kBand = std::is_same<F, Pass>::value || std::is_same<F, Reject>::value;
template <class F>
struct Family : std::conditional_t<kBand<F>, BandTexts, GaborTexts> {
  static constexpr bool kReject =
      std::is_same<F, Reject>::value || std::is_same<F, GaborReject>::value;
  // Only the Gabor-reject filter looks at its input's DC square before sizing `out`.
  static constexpr bool kSizesOutFirst = !std::is_same<F, GaborReject>::value;
  static F make(double s, double p, double f, vxPair<long> n, long r) {
    if constexpr (kBand<F>)
      return F(s, p, f, n, r);
    else if constexpr (kReject)
      return F({2 * s, s}, {0, p}, vxRadian(0), f, n, r);
    else
      return F({s, 2 * s}, {p, p}, vxRadian(0), f, n, r);
  }
};

const vxPair<long> k8(8, 8);

template <class F>
class FilterFamily : public ::testing::Test {};
using Families = ::testing::Types<Pass, Reject, Gabor, GaborReject>;
TYPED_TEST_SUITE(FilterFamily, Families);

}  // namespace

TYPED_TEST(FilterFamily, ValidationAndApplyChecksInOrderChangeNothing) {
  using Fam = Family<TypeParam>;
  const wchar_t* radius = Fam::kReject ? L"DC Protection Radius cannot be negative."
                                       : L"DC Removal Radius cannot be negative.";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double f : {0.5000001, -0.0001, nan})
    expectError<Defs::InvalidArgument>([&] { Fam::make(0.05, 0, f, k8, 0); }, kFrequency);
  for (double s : {0.0, -0.1})
    expectError<Defs::InvalidArgument>([&] { Fam::make(s, 0, 0.25, k8, 0); }, Fam::kSigma);
  expectError<Defs::InvalidArgument>([&] { Fam::make(0.05, -0.01, 0.25, k8, 0); }, Fam::kPlateau);
  expectError<Defs::InvalidArgument>([&] { Fam::make(0.05, 0, 0.25, k8, -1); }, radius);
  for (vxPair<long> size :
       {vxPair<long>(0, 8), vxPair<long>(12, 8), vxPair<long>((1L << 30) + 1, 8),
        vxPair<long>(-8, 8), vxPair<long>(8, 12)})
    expectError<Defs::InvalidSize>([&] { Fam::make(0.05, 0, 0.25, size, 0); }, kPowerOfTwo);
  EXPECT_EQ(Fam::make(0.05, 0, 0.5, vxPair<long>(2048, 1), 0).size(),
            vxPair<long>(2048, 1));  // edges accepted
  const vxPair<long> bad(3, 3);      // the first failing check wins
  expectError<Defs::InvalidArgument>([&] { Fam::make(0.0, -1, 0.7, bad, -1); }, kFrequency);
  expectError<Defs::InvalidArgument>([&] { Fam::make(0.0, -1, 0.2, bad, -1); }, Fam::kSigma);
  expectError<Defs::InvalidArgument>([&] { Fam::make(0.1, -1, 0.2, bad, -1); }, Fam::kPlateau);
  expectError<Defs::InvalidArgument>([&] { Fam::make(0.1, 0, 0.2, bad, -1); }, radius);
  // A failed build leaves the filter as it was, without a mutation notice.
  TypeParam f = Fam::make(0.05, 0.0, 0.25, k8, 1);
  const TypeParam copy(f);
  f.trackMutations(true);
  expectError<Defs::InvalidSize>([&] { f.size(vxPair<long>(8, 6)); }, kPowerOfTwo);
  expectError<Defs::InvalidArgument>([&] { f.frequency(0.6); }, kFrequency);
  EXPECT_EQ(f.mutationCount(), 0u);
  EXPECT_TRUE(f == copy);
  // Apply: the buffer holds data, then the filter is built, then the sizes agree.
  const TypeParam unbuilt;
  vxFrequencyBuffer empty, wrong = patterned(8, 4, 5), narrow = patterned(4, 8, 5),
                           out = patterned(2, 2, 6);
  const Snapshot wrongBefore(wrong), outBefore(out);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty, out); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong); }, kFilterUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong, out); }, kFilterUninit);
  expectError<Defs::InvalidSize>([&] { copy.apply(wrong); }, kSizeMismatch);
  expectError<Defs::InvalidSize>([&] { copy.apply(narrow, out); }, kSizeMismatch);
  EXPECT_EQ(Snapshot(wrong), wrongBefore);
  EXPECT_EQ(Snapshot(out), outBefore);
}

// Radius r clears (or, rejecting, keeps as they were) the elements of the
// (2r - 1)-square around zero frequency, wrapped at the buffer's edges.
TYPED_TEST(FilterFamily, DcSquares) {
  using Fam = Family<TypeParam>;
  const vxFrequencyBuffer in = patterned(8, 8, 8);
  vxFrequencyBuffer plain = in, square = in;
  Fam::make(0.05, 0.0, 0.0, k8, 0).apply(plain);  // centred on zero frequency
  Fam::make(0.05, 0.0, 0.0, k8, 2).apply(square);
  for (long y = -4; y < 4; ++y)
    for (long x = -4; x < 4; ++x) {
      const bool inside = std::abs(x) <= 1 && std::abs(y) <= 1;
      const vxPair<double> kept = Fam::kReject ? in.get(x, y, true) : vxPair<double>(0, 0);
      EXPECT_EQ(square.get(x, y, true), inside ? kept : plain.get(x, y, true)) << x << "," << y;
    }
  EXPECT_NE(plain.get(0, 0, true), Fam::kReject ? in.get(0, 0, true) : vxPair<double>(0, 0));
  // Radius 4 reaches -3 .. 3 of 8 x 8, radius 5 does not. The pass types fail after
  // filtering; the reject types while reading, before filtering (the Gabor-reject
  // filter also before sizing `out`).
  vxFrequencyBuffer a = in, out;
  Fam::make(0.05, 0.0, 0.25, k8, 4).apply(a);
  a = in;
  const TypeParam far = Fam::make(0.05, 0.0, 0.25, k8, 5);
  expectError<Defs::BadCoord>([&] { far.apply(a); }, kBadCoord);
  vxFrequencyBuffer filtered = in;  // with the square's first row, -4, cleared for the pass types
  Fam::make(0.05, 0.0, 0.25, k8, 0).apply(filtered);
  vxFrequencyBuffer cleared = filtered;
  for (long x = -4; x < 4; ++x) cleared.put(x, -4, vxPair<double>(0, 0), true);
  EXPECT_EQ(Snapshot(a).values, Snapshot(Fam::kReject ? in : cleared).values);
  expectError<Defs::BadCoord>([&] { far.apply(in, out); }, kBadCoord);
  EXPECT_EQ(out.isInitialized(), Fam::kSizesOutFirst);
  // Only the DC step looks at the inverse-computed flag; sizing `out` clears it.
  vxFrequencyBuffer spatial = in;
  Access::setInverseComputed(spatial, true);
  a = spatial;
  Fam::make(0.05, 0.0, 0.25, k8, 0).apply(a);
  a = spatial;
  expectError<Defs::InvalidBuffer>([&] { Fam::make(0.05, 0.0, 0.25, k8, 1).apply(a); }, kInverse);
  EXPECT_EQ(Snapshot(a).values, Snapshot(Fam::kReject ? in : filtered).values);
  vxFrequencyBuffer other = patterned(4, 4, 9);
  const Snapshot otherBefore(other);
  if (Fam::kReject) {
    expectError<Defs::InvalidBuffer>(
        [&] { Fam::make(0.05, 0.0, 0.25, k8, 1).apply(spatial, other); }, kInverse);
  } else {
    Fam::make(0.05, 0.0, 0.25, k8, 1).apply(spatial, other);
  }
  EXPECT_EQ(Snapshot(other) == otherBefore, !Fam::kSizesOutFirst);
}

TYPED_TEST(FilterFamily, CopiesAssignmentEqualityClonesAndSetters) {
  using Fam = Family<TypeParam>;
  const TypeParam a = Fam::make(0.05, 0.01, 0.25, vxPair<long>(16, 8), 2);
  TypeParam b(a);
  EXPECT_TRUE(b == a);
  for (int change = 0; change < 3; ++change) {
    b = a;
    if (change == 0) b.frequency(0.3);
    if (change == 1) b.size(vxPair<long>(16, 16));
    if (change == 2) b = Fam::make(0.05, 0.01, 0.25, vxPair<long>(16, 8), 1);  // same table
    EXPECT_FALSE(b == a) << change;
  }
  EXPECT_TRUE(TypeParam() == TypeParam() && !(a == TypeParam()));
  // Assigning an unbuilt filter drops the table and nothing else.
  TypeParam r(a), r2(a);
  const TypeParam unbuilt;
  r = unbuilt;
  r2 = TypeParam();  // moving an unbuilt filter is assigning it
  EXPECT_TRUE(r.isInitialized());
  for (auto use : std::initializer_list<std::function<void()>>{
           [&] { r.frequency(); }, [&] { r.sigma(); }, [&] { r.plateau(); }, [&] { r.size(); },
           [&] { r.supportWidth(); }, [&] { r.frequency(0.1); },
           [&] {
             vxFrequencyBuffer x = patterned(16, 8, 9);
             r.apply(x);
           }})
    expectError<Defs::Uninitialized>(use, kFilterUninit);
  EXPECT_TRUE(!(r == TypeParam()) && !(r == a) && !(a == r) &&
              r == r2);  // the flags differ from unbuilt
  vxPersistent* clone =
      static_cast<const vxFrequencyFilter&>(a).clone();  // deleted through a virtual base
  EXPECT_TRUE(dynamic_cast<TypeParam&>(*clone) == a);
  delete clone;
  // Setters rebuild only on change, one notice each.
  TypeParam f = a;
  f.trackMutations(true);
  f.frequency(f.frequency()), f.sigma(f.sigma()), f.plateau(f.plateau()), f.size(f.size());
  EXPECT_EQ(f.mutationCount(), 0u);
  f.frequency(0.3), f.size(vxPair<long>(16, 32)), f.plateau(a.plateau());
  EXPECT_EQ(f.mutationCount(), 2u);
  EXPECT_TRUE(f == Fam::make(0.05, 0.01, 0.3, vxPair<long>(16, 32), 2));
  // A copy for another size is the filter built for it.
  const std::unique_ptr<vxFrequencyFilter> copy(vfFilterForSize(a, vxPair<long>(32, 16)));
  EXPECT_TRUE(dynamic_cast<const TypeParam&>(*copy) == Fam::make(0.05, 0.01, 0.25, {32, 16}, 2));
  expectError<Defs::InvalidSize>([&] { delete vfFilterForSize(a, {12, 16}); }, kPowerOfTwo);
  expectError<Defs::Uninitialized>([&] { delete vfFilterForSize(unbuilt, k8); }, kFilterUninit);
}

// Each class stands once in the library's list, with its form and the name its archives
// carry.
TYPED_TEST(FilterFamily, ListedOnceUnderTheirArchiveName) {
  int listed = 0;
  vxForEachFilterType([&](auto type) {
    using T = decltype(type);
    if (!std::is_same<typename T::Filter, TypeParam>::value) return;
    ++listed;
    EXPECT_EQ(T::rejects, Family<TypeParam>::kReject);
    // Archives name the class so, and loading makes one by that name.
    EXPECT_EQ(vx_Instantiator::portableName(typeid(TypeParam)), type.className);
    const std::unique_ptr<vxPersistent> made(vx_Instantiator::find(type.className)());
    EXPECT_NE(dynamic_cast<TypeParam*>(made.get()), nullptr);
  });
  EXPECT_EQ(listed, 1);
}

TEST(FilterForSize, ImageFiltersOnlyAtTheirOwnSizeOtherClassesNever) {
  const vxFrequencyFilterImage image(patterned(8, 4, 3));
  const std::unique_ptr<vxFrequencyFilter> same(vfFilterForSize(image, vxPair<long>(8, 4)));
  EXPECT_TRUE(dynamic_cast<const vxFrequencyFilterImage&>(*same) == image);
  const wchar_t* refused = L"Only band and Gabor filters can be rebuilt for another size.";
  expectError<Defs::InvalidArgument>([&] { delete vfFilterForSize(image, k8); }, refused);
  struct Elsewhere : vxFrequencyFilterBandPass {
    using vxFrequencyFilterBandPass::vxFrequencyFilterBandPass;
  };
  // A class derived from a listed one may add what a copy of its base would drop.
  const Elsewhere derived(0.05, 0.0, 0.25, k8, 0);
  expectError<Defs::InvalidArgument>([&] { delete vfFilterForSize(derived, k8); }, refused);
}
