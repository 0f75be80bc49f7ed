// vxFrequencyBuffer: sizing, element access, sized copy, two-image construction,
// assignment and equality.
#include "filt/buffer_access.h"
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using Defs = vxFrequencyDefs;
using Access = vx_detail::FrequencyBufferAccess;

namespace {

// Runs `f`, expecting an error of class E with message `message` (null: none).
template <class E, class F>
void expectError(F f, const wchar_t* message) {
  try {
    f();
    ADD_FAILURE() << "no exception";
  } catch (const E& e) {
    if (message == nullptr) {
      EXPECT_EQ(e.message(), nullptr);
    } else {
      ASSERT_NE(e.message(), nullptr);
      EXPECT_EQ(std::wstring(e.message()), std::wstring(message));
    }
  } catch (const vxException& e) {
    ADD_FAILURE() << "wrong exception class: " << e.what();
  }
}

const wchar_t* const kUninit = L"FrequencyBuffer has not been initialized";

// Fills element (x, y) with (x + 10 y, -(x + 10 y)) so every element is recognisable.
void fillPattern(vxFrequencyBuffer& b) {
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x) b.put(x, y, vxPair<double>(x + 10.0 * y, -(x + 10.0 * y)), false);
}

}  // namespace

TEST(FrequencyBuffer, SizingRoundsUpToPowersOfTwo) {
  vxFrequencyBuffer b(100, 60);
  EXPECT_EQ(b.width(), 128);
  EXPECT_EQ(b.height(), 64);
  EXPECT_EQ(b.imageWidth(), 100);
  EXPECT_EQ(b.imageHeight(), 60);
  EXPECT_FALSE(b.clientXform().hasXform);
  EXPECT_EQ(b.imageOffset(), vxPair<long>(0, 0));
  for (long y = 0; y < 64; ++y)
    for (long x = 0; x < 128; ++x) ASSERT_EQ(b.get(x, y, false), vxPair<double>(0, 0));
  const auto address = reinterpret_cast<std::uintptr_t>(Access::data(b));
  EXPECT_EQ(address % 16, 0u);
  EXPECT_GE(Access::storage(b).size(), 2u * 128 * 64 + 7);

  for (long n : {1L, 0L, -5L}) {
    vxFrequencyBuffer tiny(n, n);
    EXPECT_EQ(tiny.width(), 1);
    EXPECT_EQ(tiny.height(), 1);
  }
  vxFrequencyBuffer largest(2048, 2048);
  EXPECT_EQ(largest.width(), 2048);
  expectError<Defs::InvalidSize>([] { vxFrequencyBuffer(2049, 10); },
                                 L"Width and Height must be no larger than 2048.");
  expectError<Defs::InvalidSize>([] { vxFrequencyBuffer(10, 2049); },
                                 L"Width and Height must be no larger than 2048.");
}

TEST(FrequencyBuffer, UninitializedBufferRefusesEverythingButValueOperations) {
  vxFrequencyBuffer b;
  EXPECT_FALSE(b.isInitialized());
  expectError<Defs::Uninitialized>([&] { b.width(); }, kUninit);
  expectError<Defs::Uninitialized>([&] { b.height(); }, kUninit);
  // The initialization check comes before the coordinate check.
  expectError<Defs::Uninitialized>([&] { b.get(-100, 0, false); }, kUninit);
  expectError<Defs::Uninitialized>([&] { b.putReal(0, 0, 1.0, true); }, kUninit);
  expectError<Defs::Uninitialized>([&] { b.getImaginary(0, 0, false); }, kUninit);
}

TEST(FrequencyBuffer, CentredAndStorageCoordinates) {
  vxFrequencyBuffer b(8, 8);
  fillPattern(b);
  EXPECT_EQ(b.getReal(-4, 0, true), 4.0);
  EXPECT_EQ(b.getReal(3, 0, true), 3.0);
  EXPECT_EQ(b.getReal(-1, -1, true), 7.0 + 70.0);
  EXPECT_EQ(b.getReal(7, 0, false), 7.0);
  EXPECT_EQ(b.getImaginary(2, 3, false), -32.0);
  const wchar_t* bad = L"Coordinates are out of bounds";
  expectError<Defs::BadCoord>([&] { b.get(4, 0, true); }, bad);
  expectError<Defs::BadCoord>([&] { b.get(-5, 0, true); }, bad);
  expectError<Defs::BadCoord>([&] { b.get(0, 4, true); }, bad);
  expectError<Defs::BadCoord>([&] { b.get(-1, 0, false); }, bad);
  expectError<Defs::BadCoord>([&] { b.get(8, 0, false); }, bad);
  expectError<Defs::BadCoord>([&] { b.put(0, 8, vxPair<double>(1, 1), false); }, bad);
  // Values far outside 32 bits are out of bounds too, not wrapped into range.
  expectError<Defs::BadCoord>([&] { b.get(0x100000003L, 0, false); }, bad);

  // A 1-wide axis has only frequency 0.
  vxFrequencyBuffer line(1, 4);
  EXPECT_NO_THROW(line.get(0, -2, true));
  expectError<Defs::BadCoord>([&] { line.get(-1, 0, true); }, bad);
}

TEST(FrequencyBuffer, PutRoundsToFloatAndKeepsTheOtherPart) {
  vxFrequencyBuffer b(4, 4);
  b.put(1, 2, vxPair<double>(5.0, 7.0), false);
  b.putReal(1, 2, 0.1, false);
  EXPECT_EQ(b.getReal(1, 2, false), static_cast<double>(0.1f));
  EXPECT_EQ(b.getImaginary(1, 2, false), 7.0);
  b.putImaginary(1, 2, 1e-50, false);
  EXPECT_EQ(b.getImaginary(1, 2, false), 0.0);
  EXPECT_EQ(b.getReal(1, 2, false), static_cast<double>(0.1f));
}

TEST(FrequencyBuffer, InverseComputedBlocksElementAccessAfterTheInitCheck) {
  vxFrequencyBuffer b(4, 4);
  Access::setInverseComputed(b, true);
  const wchar_t* inv = L"Cannot access frequency data once inverse has been computed.";
  expectError<Defs::InvalidBuffer>([&] { b.get(0, 0, false); }, inv);
  expectError<Defs::InvalidBuffer>([&] { b.get(100, 100, false); }, inv);
  expectError<Defs::InvalidBuffer>([&] { b.putImaginary(0, 0, 1.0, true); }, inv);
}

TEST(FrequencyBuffer, SizedCopyKeepsTheLowestFrequencies) {
  vxFrequencyBuffer src(6, 8);
  ASSERT_EQ(src.width(), 8);
  fillPattern(src);
  vxFrequencyBuffer small(src, 4, 4);
  ASSERT_EQ(small.width(), 4);
  ASSERT_EQ(small.height(), 4);
  const long cols[] = {0, 1, 6, 7};
  const long rows[] = {0, 1, 6, 7};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(small.get(x, y, false), src.get(cols[x], rows[y], false)) << x << "," << y;
  EXPECT_EQ(small.imageWidth(), 3);  // 6 scaled by 4/8
  EXPECT_EQ(small.imageHeight(), 4);

  // Without a client transform the (absent) transform is copied; with one, it is
  // composed with the scaling.
  EXPECT_FALSE(small.clientXform().hasXform);
}

TEST(FrequencyBuffer, SizedCopyComposesTheClientTransformWithTheScaling) {
  vxPelBuffer<double> re(8, 4, 32), im(8, 4, 32);
  vx2XformCache xf;
  xf.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(2.0, 0.0, 0.0, 3.0), vxVector<2>(5.0, 7.0))));
  re.copyXforms(xf);
  vxFrequencyBuffer src(re, im);
  vxFrequencyBuffer half(src, 4, 2);
  ASSERT_TRUE(half.clientXform().hasXform);
  // L * S maps p to L(S p): S halves both axes, then L applies.
  const vxVector<2> p = half.clientXform().linearXform().mapPoint(vxVector<2>(4.0, 2.0));
  EXPECT_DOUBLE_EQ(p.x(), 2.0 * 2.0 + 5.0);
  EXPECT_DOUBLE_EQ(p.y(), 3.0 * 1.0 + 7.0);
}

TEST(FrequencyBuffer, SizedCopyChecksInOrder) {
  vxFrequencyBuffer none;
  vxFrequencyBuffer src(8, 8);
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(none, 1, 0); }, L"Copied width must be > 1");
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(none, 2, 1); }, L"Copied height must be > 1");
  expectError<Defs::Uninitialized>([&] { vxFrequencyBuffer(none, 16, 16); }, kUninit);
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(src, 16, 3); },
                                 L"Copied width cannot be greater than source width");
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(src, 3, 16); },
                                 L"Copied height cannot be greater than source height");
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(src, 3, 3); }, L"Unsupported width");
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(src, 4, 6); }, L"Unsupported height");
}

TEST(FrequencyBuffer, TwoImagesBecomeZeroPaddedValues) {
  vxPelBuffer<double> re(5, 3, 32), im(5, 3, 32);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) {
      re.at(x, y) = x + 0.1 * y;
      im.at(x, y) = -1.0 - x * y;
    }
  re.offset(10, 20);
  im.offset(10, 20);
  vxFrequencyBuffer b(re, im);
  EXPECT_EQ(b.width(), 8);
  EXPECT_EQ(b.height(), 4);
  EXPECT_EQ(b.imageOffset(), vxPair<long>(10, 20));
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 8; ++x) {
      const vxPair<double> v = b.get(x, y, false);
      if (x < 5 && y < 3) {
        EXPECT_EQ(v.x, static_cast<float>(x + 0.1 * y));
        EXPECT_EQ(v.y, static_cast<float>(-1.0 - x * y));
      } else {
        EXPECT_EQ(v, vxPair<double>(0, 0)) << x << "," << y;
      }
    }
}

TEST(FrequencyBuffer, TwoImagesMustBeBoundAndAlike) {
  vxPelBuffer<double> a(4, 4, 32), b(4, 4, 32), unbound;
  expectError<Defs::UnboundWindow>([&] { vxFrequencyBuffer(unbound, b); }, nullptr);
  expectError<Defs::UnboundWindow>([&] { vxFrequencyBuffer(a, unbound); }, nullptr);
  const wchar_t* differ = L"Real and Imaginary PelBuffers must have the same dimensions and offset.";
  vxPelBuffer<double> wide(5, 4, 32);
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(a, wide); }, differ);
  b.offset(0, 1);
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(a, b); }, differ);
  vxPelBuffer<double> big(2049, 1, 32), big2(2049, 1, 32);
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(big, big2); },
                                 L"Width and Height must be no larger than 2048.");
}

TEST(FrequencyBuffer, ZeroPaddingClearsOutsideTheTopLeftRectangle) {
  const long W = 8, H = 4;
  std::vector<float> data(2 * W * H, 9.0f);
  vf_ZeroPadding(3, 2, W, H, data.data());
  for (long y = 0; y < H; ++y)
    for (long x = 0; x < W; ++x) {
      const float expect = (x < 3 && y < 2) ? 9.0f : 0.0f;
      EXPECT_EQ(data[2 * (y * W + x)], expect);
      EXPECT_EQ(data[2 * (y * W + x) + 1], expect);
    }
  std::vector<float> all(2 * W * H, 9.0f);
  vf_ZeroPadding(-1, -1, W, H, all.data());
  for (float v : all) EXPECT_EQ(v, 0.0f);
}

TEST(FrequencyBuffer, AssignmentCopiesDeeplyAndKeepsStorageOnEmptySource) {
  vxFrequencyBuffer a(6, 3);
  fillPattern(a);
  Access::setMask(a, 1, 2, 5);
  vxFrequencyBuffer b(32, 32);
  b = a;
  EXPECT_EQ(b, a);
  EXPECT_EQ(b.width(), 8);
  EXPECT_EQ(b.imageWidth(), 6);
  EXPECT_EQ(Access::masked(b), 1);
  EXPECT_EQ(Access::maskedMiny(b), 2);
  EXPECT_EQ(Access::maskedMaxy(b), 5);
  b.putReal(0, 0, 123.0, false);
  EXPECT_EQ(a.getReal(0, 0, false), 0.0);  // deep copy

  const std::size_t kept = Access::storage(b).size();
  b = vxFrequencyBuffer();
  EXPECT_FALSE(b.isInitialized());
  EXPECT_EQ(Access::storage(b).size(), kept);
  expectError<Defs::Uninitialized>([&] { b.width(); }, kUninit);

  const vxFrequencyBuffer& self = b;
  b = self;  // self-assignment is harmless
  EXPECT_FALSE(b.isInitialized());
  vxFrequencyBuffer c(a);
  EXPECT_EQ(c, a);
}

TEST(FrequencyBuffer, EqualityComparesStateAndValuesButNotTheClientTransform) {
  EXPECT_EQ(vxFrequencyBuffer(), vxFrequencyBuffer());
  vxFrequencyBuffer a(4, 4);
  EXPECT_NE(a, vxFrequencyBuffer());
  EXPECT_NE(vxFrequencyBuffer(), a);

  vxFrequencyBuffer b(a);
  a.putImaginary(1, 1, 0.0, false);
  b.putImaginary(1, 1, -0.0, false);
  EXPECT_EQ(a, b);  // +0 == -0

  b.putReal(3, 3, 1e-30, false);
  EXPECT_NE(a, b);
  b = a;

  vxPelBuffer<double> re(4, 4, 32), im(4, 4, 32);
  vx2XformCache xf;
  xf.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(), vxVector<2>(1, 1))));
  re.copyXforms(xf);
  EXPECT_EQ(vxFrequencyBuffer(re, im), a);  // only the transform differs

  vxFrequencyBuffer differentImage(3, 4);
  EXPECT_NE(differentImage, a);  // same transform size, other image size

  // The mask band counts only while masked.
  Access::setMask(b, 0, 1, 2);
  EXPECT_EQ(a, b);
  Access::setMask(b, 1, 1, 2);
  EXPECT_NE(a, b);
  Access::setMask(a, 1, 1, 2);
  EXPECT_EQ(a, b);
  Access::setMask(a, 1, 1, 3);
  EXPECT_NE(a, b);

  vxFrequencyBuffer c(a);
  Access::setInverseComputed(c, true);
  EXPECT_NE(a, c);
}

TEST(FrequencyBuffer, ResizingClearsFlagsAndKeepsValuesOfAnUnchangedSize) {
  vxFrequencyBuffer b(8, 8);
  fillPattern(b);
  Access::setMask(b, 1, 0, 3);
  Access::setInverseComputed(b, true);
  Access::setAndAllocate(b, 7, 5);  // still 8 x 8
  EXPECT_EQ(Access::masked(b), 0);
  EXPECT_FALSE(b.inverseComputed());
  EXPECT_EQ(b.imageWidth(), 7);
  EXPECT_EQ(b.getReal(3, 2, false), 23.0);
  expectError<Defs::InvalidSize>([&] { Access::setAndAllocate(b, 4096, 1); },
                                 L"Width and Height must be no larger than 2048.");
  EXPECT_EQ(b.imageWidth(), 7);  // unchanged by the refused request
}

TEST(FrequencyBuffer, CopiesOfASizedCopyKeepItsTransformSize) {
  // 5 x 8 image in an 8 x 8 buffer; halved, its image width (2) rounds up to only 2.
  vxFrequencyBuffer src(5, 8);
  fillPattern(src);
  vxFrequencyBuffer half(src, 4, 4);
  ASSERT_EQ(half.imageWidth(), 2);
  vxFrequencyBuffer copy(half);
  EXPECT_EQ(copy.width(), 4);
  EXPECT_EQ(copy, half);
  vxFrequencyBuffer assigned(64, 64);
  assigned = half;
  EXPECT_EQ(assigned, half);
  // The transforms that copy a buffer internally see all of its values.
  vxFrequencyBuffer spectrum;
  vfForwardFFT(half, spectrum);
  vxPelBuffer<double> image;
  vfInverseFFT<double>(half, image, false);
  EXPECT_EQ(image.width(), 2);
}
