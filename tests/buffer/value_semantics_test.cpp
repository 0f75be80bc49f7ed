// Copies, moves and self-assignment of the public value classes: pixel buffers,
// frequency buffers and filters. Run under AddressSanitizer in CI, so a moved-from object
// that kept a pointer into storage it no longer owns would be reported when used.
#include "filt/extended.h"
#include "filt/freqfilt.h"
#include "filters/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <utility>

using namespace filter_test;

namespace {

template <class T>
T& alias(T& object) {
  return object;  // self-assignment without the compilers' self-move warning
}

}  // namespace

TEST(PelBufferValues, MovesHandTheWindowOverAndLeaveTheSourceUnbound) {
  static_assert(std::is_nothrow_move_constructible<vxPelBuffer<unsigned char>>::value, "");
  static_assert(std::is_nothrow_move_assignable<vxPelBuffer_const<double>>::value, "");
  vxPelBuffer<unsigned char> a(8, 4, 32);
  a.offset(3, -2);
  a.at(1, 1) = 7;
  const unsigned char* pixels = a.pointToOffset();
  vxPelBuffer<unsigned char> b(std::move(a));
  EXPECT_TRUE(!a.isBound() && a.pointToOffset() == nullptr && a.width() == 0 && a.height() == 0 &&
              a.stride() == 0 && a.offset().x == 0);
  EXPECT_TRUE(b.isBound() && b.pointToOffset() == pixels && b.offset().x == 3 &&
              b.offset().y == -2 && b.at(1, 1) == 7);
  {
    vxPelBuffer<unsigned char> owner(2, 2, 32);
    owner = std::move(b);
    EXPECT_EQ(owner.pointToOffset(), pixels);
  }
  // The new owner is gone: the moved-from buffer is an unbound picture, refused, not a
  // dangling one read.
  vxFrequencyBuffer spectrum;
  expectError<Defs::UnboundWindow>([&] { vfForwardFFT<unsigned char>(b, spectrum); }, nullptr);
  EXPECT_FALSE(spectrum.isInitialized());

  // Copies are windows onto the same pixels, self-assignment of either kind changes nothing,
  // and a read-only buffer moves the same way.
  vxPelBuffer<unsigned char> c(4, 4, 32), d(c);
  d.at(0, 0) = 9;
  c = alias(c);
  c = std::move(alias(c));
  EXPECT_TRUE(c.isBound() && c.at(0, 0) == 9);
  vxPelBuffer_const<unsigned char> view(c);
  vxPelBuffer_const<unsigned char> taken(std::move(view));
  EXPECT_TRUE(!view.isBound() && taken.at(0, 0) == 9);
}

TEST(FrequencyBufferValues, MovesTakeTheStorageAndAnEmptySourceIsAssigned) {
  static_assert(std::is_nothrow_move_constructible<vxFrequencyBuffer>::value, "");
  static_assert(std::is_nothrow_move_assignable<vxFrequencyBuffer>::value, "");
  vxFrequencyBuffer a = patterned(16, 8, 3);
  vfSetImagePlacement(a, 13, 7, vxPair<long>(-2, 5));
  const vxFrequencyBuffer copy(a);
  const float* values = a.elements();
  vxFrequencyBuffer b(std::move(a));
  EXPECT_TRUE(b == copy && b.elements() == values && b.imageWidth() == 13 &&
              b.imageOffset().x == -2);
  EXPECT_TRUE(!a.isInitialized() && a.elements() == nullptr && a.imageWidth() == 0);
  vxFrequencyBuffer c(64, 64);
  c = std::move(b);
  EXPECT_TRUE(c == copy && c.elements() == values && !b.isInitialized());
  // Moving an empty buffer in is assigning it: the data go, the fields stay.
  c = vxFrequencyBuffer();
  EXPECT_TRUE(!c.isInitialized() && c.imageWidth() == 13);
  vxFrequencyBuffer d = copy;
  d = alias(d);
  d = std::move(alias(d));
  EXPECT_EQ(d, copy);
}

template <class F>
class FilterValues : public ::testing::Test {};
using Filters =
    ::testing::Types<vxFrequencyFilterBandPass, vxFrequencyFilterBandReject, vxFrequencyFilterGabor,
                     vxFrequencyFilterGaborReject, vxFrequencyFilterImage>;
TYPED_TEST_SUITE(FilterValues, Filters);

namespace {
// A built filter of each class for 16 x 8 buffers.
template <class F>
F built() {
  const vxPair<long> size(16, 8);
  if constexpr (std::is_same<F, vxFrequencyFilterImage>::value)
    return F(patterned(16, 8, 5));
  else if constexpr (std::is_constructible<F, double, double, double, vxPair<long>, long>::value)
    return F(0.05, 0.01, 0.25, size, 1);
  else
    return F({0.05, 0.03}, {0.01, 0.0}, vxRadian(0.5), 0.25, size, 1);
}

// The filtered values of one buffer, which say what a filter does.
template <class F>
vxFrequencyBuffer filtered(const F& f) {
  vxFrequencyBuffer b = patterned(16, 8, 9);
  f.apply(b);
  return b;
}

// What applying the filter throws: the message of its Uninitialized error.
template <class F>
std::wstring refusal(const F& f) {
  try {
    filtered(f);
  } catch (const Defs::Uninitialized& e) {
    return e.message();
  }
  return L"applied";
}
}  // namespace

TYPED_TEST(FilterValues, MovesTakeTheTableAndLeaveANewFilter) {
  static_assert(std::is_nothrow_move_constructible<TypeParam>::value, "");
  static_assert(std::is_nothrow_move_assignable<TypeParam>::value, "");
  TypeParam a = built<TypeParam>();
  const TypeParam copy(a);
  const vxFrequencyBuffer expected = filtered(copy);
  TypeParam b(std::move(a));
  EXPECT_TRUE(b == copy && filtered(b) == expected);
  EXPECT_TRUE(!a.isInitialized() && a == TypeParam());
  EXPECT_EQ(refusal(a), refusal(TypeParam()));
  TypeParam c = built<TypeParam>();
  c = std::move(b);
  EXPECT_TRUE(c == copy && b == TypeParam());
  c = alias(c);
  c = std::move(alias(c));
  EXPECT_TRUE(c == copy && filtered(c) == expected);
}

// Spatial samples left by an in-place inverse are no spectrum: filters refuse them in the
// extended mode; the compatible mode lets them through, as earlier versions did.
TEST(FilterValues, SpatialSamplesAreRefusedInTheExtendedMode) {
  const vxFrequencyFilterBandReject band(0.05, 0.0, 0.25, vxPair<long>(16, 8), 0);
  vxFrequencyBuffer spatial = patterned(16, 8, 4), image;
  vfInverseFFT(spatial, image, true);
  ASSERT_TRUE(spatial.inverseComputed());
  {
    const vxExtendedScope extended;
    vxFrequencyBuffer out, kept = spatial;
    expectError<Defs::InvalidBuffer>([&] { band.apply(kept); }, kInverse);
    expectError<Defs::InvalidBuffer>([&] { band.apply(spatial, out); }, kInverse);
    EXPECT_TRUE(kept == spatial && !out.isInitialized());
  }
  vxFrequencyBuffer compatible = spatial;
  band.apply(compatible);
  EXPECT_TRUE(compatible != spatial);
}
