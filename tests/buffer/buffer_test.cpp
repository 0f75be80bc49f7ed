// vxFrequencyBuffer: sizing, element access, sized copies, two-image construction,
// assignment and equality, transforms between buffers and the flags they leave, and
// the images read off a buffer.
#include "filters/test_support.h"

#include <algorithm>
#include <cmath>

using namespace filter_test;

namespace {

const wchar_t* const kTooLarge = L"Width and Height must be no larger than 2048.";

// Element (x, y) holds (x + 10 y, -(x + 10 y)).
void fillPattern(vxFrequencyBuffer& b) {
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x)
      b.put(x, y, vxPair<double>(x + 10.0 * y, -(x + 10.0 * y)), false);
}

vx2XformCache someXform(double a = 2.0, double d = 3.0) {
  vx2XformCache xf;
  xf.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(a, 0.0, 0.0, d), vxVector<2>(5.0, 7.0))));
  return xf;
}

}  // namespace

TEST(FrequencyBuffer, SizingAndTheUninitializedState) {
  vxFrequencyBuffer b(100, 60);
  EXPECT_EQ(b.width() * 1000 + b.height(), 128064);
  EXPECT_EQ(b.imageWidth() * 1000 + b.imageHeight(), 100060);
  EXPECT_FALSE(b.clientXform().hasXform);
  EXPECT_EQ(maskOf(b), std::vector<long>({0, 0, 0}));
  for (long y = 0; y < 64; ++y)
    for (long x = 0; x < 128; ++x) ASSERT_EQ(b.get(x, y, false), vxPair<double>(0, 0));
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(Access::data(b)) % 16, 0u);
  for (long n : {1L, 0L, -5L}) EXPECT_EQ(vxFrequencyBuffer(n, n).width(), 1);
  EXPECT_EQ(vxFrequencyBuffer(2048, 2048).height(), 2048);
  expectError<Defs::InvalidSize>([] { vxFrequencyBuffer(10, 2049); }, kTooLarge);
  vxFrequencyBuffer none;
  expectError<Defs::Uninitialized>([&] { none.width(); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { none.height(); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { none.get(-100, 0, false); },
                                   kBufferUninit);  // before coordinates
  expectError<Defs::Uninitialized>([&] { none.putReal(0, 0, 1.0, true); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { none.getRealImage(false); }, kBufferUninit);
}

TEST(FrequencyBuffer, CentredAndStorageCoordinates) {
  vxFrequencyBuffer b(8, 8);
  fillPattern(b);
  EXPECT_EQ(b.getReal(-4, 0, true) + b.getReal(3, 0, true) * 10, 34.0);
  EXPECT_EQ(b.getReal(-1, -1, true), 77.0);
  EXPECT_EQ(b.getImaginary(2, 3, false), -32.0);
  const long bad[][3] = {{4, 0, 1},  {-5, 0, 1}, {0, 4, 1},
                         {-1, 0, 0}, {8, 0, 0},  {0x100000003L, 0, 0}};
  for (const auto& c : bad)
    expectError<Defs::BadCoord>([&] { b.get(c[0], c[1], c[2] != 0); }, kBadCoord);
  expectError<Defs::BadCoord>([&] { b.put(0, 8, vxPair<double>(1, 1), false); }, kBadCoord);
  vxFrequencyBuffer line(1, 4);  // a 1-wide axis has only frequency 0
  EXPECT_NO_THROW(line.get(0, -2, true));
  expectError<Defs::BadCoord>([&] { line.get(-1, 0, true); }, kBadCoord);
  // Values are rounded to float; each put keeps the other part.
  b.put(1, 2, vxPair<double>(5.0, 7.0), false);
  b.putReal(1, 2, 0.1, false);
  b.putImaginary(1, 3, 1e-50, false);
  EXPECT_EQ(b.get(1, 2, false), vxPair<double>(static_cast<float>(0.1), 7.0));
  EXPECT_EQ(b.get(1, 3, false), vxPair<double>(31.0, 0.0));
  // After an in-place inverse only the initialization check comes first.
  Access::setInverseComputed(b, true);
  expectError<Defs::InvalidBuffer>([&] { b.get(100, 100, false); }, kInverse);
  expectError<Defs::InvalidBuffer>([&] { b.putImaginary(0, 0, 1.0, true); }, kInverse);
  expectError<Defs::InvalidBuffer>([&] { b.getMagnitudeImage(true); }, kInverse);
  expectError<Defs::InvalidBuffer>([&] { b.getPhaseImage(false); }, kInverse);
}

TEST(FrequencyBuffer, SizedCopyKeepsTheLowestFrequenciesAndChecksInOrder) {
  vxFrequencyBuffer src(6, 8);
  fillPattern(src);
  vxFrequencyBuffer small(src, 4, 4);
  const long from[] = {0, 1, 6, 7};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(small.get(x, y, false), src.get(from[x], from[y], false));
  EXPECT_EQ(small.imageWidth() * 10 + small.imageHeight(), 34);  // 6 scaled by 4/8
  EXPECT_FALSE(small.clientXform().hasXform);
  // A client transform is composed with the scaling: L * S maps p to L(S p).
  vxPelBuffer<double> re(8, 4, 32), im(8, 4, 32);
  re.copyXforms(someXform());
  const vxFrequencyBuffer half(vxFrequencyBuffer(re, im), 4, 2);
  EXPECT_EQ(half.clientXform().linearXform().mapPoint(vxVector<2>(4.0, 2.0)),
            vxVector<2>(9.0, 10.0));
  vxFrequencyBuffer none;
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(none, 1, 0); },
                                 L"Copied width must be > 1");
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(none, 2, 1); },
                                 L"Copied height must be > 1");
  expectError<Defs::Uninitialized>([&] { vxFrequencyBuffer(none, 16, 16); }, kBufferUninit);
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(src, 16, 3); },
                                 L"Copied width cannot be greater than source width");
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(src, 3, 16); },
                                 L"Copied height cannot be greater than source height");
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(src, 3, 3); }, L"Unsupported width");
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(src, 4, 6); }, L"Unsupported height");
  // Copies of a sized copy keep its transform size: a 5-wide image halved is 2 wide,
  // in a 4-wide buffer.
  vxFrequencyBuffer src5(5, 8);
  const vxFrequencyBuffer halved(src5, 4, 4);
  vxFrequencyBuffer assigned(64, 64);
  assigned = halved;
  EXPECT_EQ(assigned.width() * 10 + assigned.imageWidth(), 42);
  EXPECT_EQ(vxFrequencyBuffer(halved), halved);
  vxPelBuffer<double> image;
  vfInverseFFT<double>(halved, image, false);
  EXPECT_EQ(image.width(), 2);
}

TEST(FrequencyBuffer, TwoImagesBecomeZeroPaddedValues) {
  vxPelBuffer<double> re(5, 3, 32), im(5, 3, 32);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) re.at(x, y) = x + 0.1 * y, im.at(x, y) = -1.0 - x * y;
  re.offset(10, 20);
  im.offset(10, 20);
  const vxFrequencyBuffer b(re, im);
  EXPECT_EQ(b.width() * 10 + b.height(), 84);
  EXPECT_EQ(b.imageOffset(), vxPair<long>(10, 20));
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 8; ++x) {
      const bool inside = x < 5 && y < 3;
      EXPECT_EQ(b.getReal(x, y, false), inside ? static_cast<float>(x + 0.1 * y) : 0.0f)
          << x << "," << y;
      EXPECT_EQ(b.getImaginary(x, y, false), inside ? static_cast<float>(-1.0 - x * y) : 0.0f)
          << x << "," << y;
    }
  vxPelBuffer<double> a(4, 4, 32), c(4, 4, 32), unbound, wide(5, 4, 32), big(2049, 1, 32);
  expectError<Defs::UnboundWindow>([&] { vxFrequencyBuffer(unbound, c); }, nullptr);
  expectError<Defs::UnboundWindow>([&] { vxFrequencyBuffer(a, unbound); }, nullptr);
  const wchar_t* differ =
      L"Real and Imaginary PelBuffers must have the same dimensions and offset.";
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(a, wide); }, differ);
  c.offset(0, 1);
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(a, c); }, differ);
  expectError<Defs::InvalidSize>([&] { vxFrequencyBuffer(big, big); }, kTooLarge);
}

TEST(FrequencyBuffer, AssignmentEqualityAndResizing) {
  vxFrequencyBuffer a(6, 3);
  fillPattern(a);
  Access::setMask(a, 1, 2, 5);
  vxFrequencyBuffer b(32, 32);
  b = a;
  EXPECT_EQ(Snapshot(b), Snapshot(a));
  b.putReal(0, 0, 123.0, false);
  EXPECT_EQ(a.getReal(0, 0, false), 0.0);  // deep copy
  EXPECT_NE(b, a);
  const std::size_t kept = Access::storageFloats(b);
  const vxFrequencyBuffer empty;
  b = empty;  // an empty source keeps the storage
  const vxFrequencyBuffer& self = b;
  b = self;
  EXPECT_FALSE(b.isInitialized());
  EXPECT_EQ(Access::storageFloats(b), kept);
  EXPECT_EQ(vxFrequencyBuffer(), vxFrequencyBuffer());
  vxFrequencyBuffer c(4, 4), d(c);
  EXPECT_TRUE(c != vxFrequencyBuffer() && vxFrequencyBuffer() != c);
  c.putImaginary(1, 1, 0.0, false);
  d.putImaginary(1, 1, -0.0, false);
  EXPECT_EQ(c, d);  // +0 == -0
  vxPelBuffer<double> re(4, 4, 32), im(4, 4, 32);
  re.copyXforms(someXform());
  EXPECT_EQ(vxFrequencyBuffer(re, im), c);  // the client transform is not compared
  EXPECT_NE(vxFrequencyBuffer(3, 4), c);    // other image size
  Access::setMask(d, 0, 1, 2);
  EXPECT_EQ(c, d);  // the band counts only while masked
  Access::setMask(d, 1, 1, 2);
  Access::setMask(c, 1, 1, 3);
  EXPECT_NE(c, d);
  Access::setMask(c, 1, 1, 2);
  EXPECT_EQ(c, d);
  Access::setInverseComputed(c, true);
  EXPECT_NE(c, d);
  // Resizing clears the flags, keeps values of an unchanged size, and a refused
  // request changes nothing.
  vxFrequencyBuffer e(8, 8);
  fillPattern(e);
  Access::setMask(e, 1, 0, 3);
  Access::setInverseComputed(e, true);
  Access::setAndAllocate(e, 7, 5);
  EXPECT_TRUE(Access::masked(e) == 0 && !e.inverseComputed());
  EXPECT_EQ(e.getReal(3, 2, false), 23.0);
  expectError<Defs::InvalidSize>([&] { Access::setAndAllocate(e, 4096, 1); }, kTooLarge);
  EXPECT_EQ(e.imageWidth(), 7);
}

TEST(BufferTransform, ResultsAndTheFlagsTheyLeave) {
  vxFrequencyBuffer in = patterned(8, 8, 1), out;
  Access::setMask(in, 1, 0, 8);
  const vxFrequencyBuffer before(in);
  vfInverseFFT(in, out, false);
  EXPECT_EQ(Snapshot(in), Snapshot(before));
  EXPECT_TRUE(Access::masked(out) == 0 && !out.inverseComputed());
  vxFrequencyBuffer round;  // forward of the inverse: W H times the input
  vfForwardFFT(out, round);
  for (long i = 0; i < 64; ++i)
    EXPECT_NEAR(round.getReal(i % 8, i / 8, false), 64 * in.getReal(i % 8, i / 8, false), 0.1);
  // In place: the input keeps the result and its mask and is marked; later calls
  // copy instead of transforming again.
  vxFrequencyBuffer first, second;
  vfInverseFFT(in, first, true);
  EXPECT_TRUE(in.inverseComputed());
  EXPECT_EQ(maskOf(in), std::vector<long>({1, 0, 8}));
  EXPECT_EQ(Snapshot(first).values, Snapshot(out).values);
  vfInverseFFT(static_cast<const vxFrequencyBuffer&>(in), second);
  EXPECT_EQ(Snapshot(second).values, Snapshot(out).values);
  vfForwardFFT(in, first);  // spatial data are values; the flag is cleared
  EXPECT_TRUE(Access::masked(first) == 0 && !first.inverseComputed());
  vxFrequencyBuffer self = patterned(4, 8, 2), reference;
  vfForwardFFT(self, reference);
  Access::setMask(self, 1, 0, 8);
  vfForwardFFT(self, self);
  EXPECT_EQ(self, reference);
  vxFrequencyBuffer empty;
  EXPECT_THROW(vfForwardFFT(empty, out), Defs::Uninitialized);
  EXPECT_THROW(vfInverseFFT(empty, out, true), Defs::Uninitialized);
}

TEST(BufferImages, CentredOrderMagnitudeInFloatAndPhaseReducedToOneTurn) {
  vxFrequencyBuffer b(4, 2);  // element x goes to pixel (x + 2) mod 4, rows likewise
  b.put(0, 0, vxPair<double>(0.0, -1.0), false);
  b.put(2, 1, vxPair<double>(3.0, 4.0), false);
  b.put(3, 1, vxPair<double>(0.1, 0.2), false);
  const float r = 0.1f, i = 0.2f;
  EXPECT_EQ(b.getMagnitudeImage(true).at(1, 0), static_cast<double>(std::sqrt(r * r + i * i)));
  EXPECT_EQ(b.getMagnitudeImage(true).at(0, 0), 5.0);
  EXPECT_EQ(b.getRealImage(false).at(2, 1) * 10 + b.getImaginaryImage(true).at(2, 1), 29.0);
  EXPECT_DOUBLE_EQ(b.getPhaseImage(false).at(0, 0), 1.5 * 3.141592653589793);
  EXPECT_DOUBLE_EQ(b.getPhaseImage(true).at(0, 0), std::atan2(4.0, 3.0));
  EXPECT_EQ(vxFrequencyBuffer(3, 3).getPhaseImage(true).width(), 4);

  // An image's row padding is 0, as in any new pixel buffer, even where the memory
  // was used before (a dirty block of the image's size has just been freed).
  vxFrequencyBuffer narrow(1, 2);
  narrow.put(0, 1, vxPair<double>(7.0, -7.0), false);
  for (int kind = 0; kind < 4; ++kind) {
    {
      const vxPelBuffer<double> dirty(1, 2, 32);
      std::fill(dirty.pointToOffset(), dirty.pointToOffset() + 2 * dirty.stride(), -1.0);
    }
    const vxPelBuffer<double> image = kind == 0   ? narrow.getRealImage(true)
                                      : kind == 1 ? narrow.getImaginaryImage(false)
                                      : kind == 2 ? narrow.getMagnitudeImage(true)
                                                  : narrow.getPhaseImage(false);
    ASSERT_EQ(image.stride(), 4);
    for (long y = 0; y < 2; ++y)
      for (long x = 1; x < 4; ++x) EXPECT_EQ(image.at(x, y), 0.0) << kind;
  }
}

// The forms that write into the caller's images give the by-value forms' pixels: into the
// caller's own pixels when the size fits (a window of a larger image, whose other pixels
// stay), into a new image otherwise; the display map likewise.
TEST(BufferImages, IntoTheCallersImagesTheSamePixels) {
  const vxFrequencyBuffer b = patterned(8, 4, 11);
  vxPelBuffer<double> parent(12, 6, 32);
  vfPelSet(parent, -5.0);
  vxPelBuffer<double> window(parent, 2, 1, 8, 4);
  const double* pixels = window.pointToOffset();
  for (int kind = 0; kind < 4; ++kind) {
    SCOPED_TRACE(kind);
    const bool centered = kind % 2 == 1;
    const vxPelBuffer<double> expected = kind == 0   ? b.getRealImage(centered)
                                         : kind == 1 ? b.getImaginaryImage(centered)
                                         : kind == 2 ? b.getMagnitudeImage(centered)
                                                     : b.getPhaseImage(centered);
    vxPelBuffer<double> unbound, wrongSize(3, 3, 32);
    for (vxPelBuffer<double>* into : {&window, &unbound, &wrongSize}) {
      if (kind == 0) b.getRealImage(centered, *into);
      if (kind == 1) b.getImaginaryImage(centered, *into);
      if (kind == 2) b.getMagnitudeImage(centered, *into);
      if (kind == 3) b.getPhaseImage(centered, *into);
      ASSERT_EQ(into->width() * 10 + into->height(), 84);
      for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 8; ++x) ASSERT_EQ(into->at(x, y), expected.at(x, y));
    }
  }
  EXPECT_EQ(window.pointToOffset(), pixels);  // written in place
  EXPECT_EQ(window.offset(), vxPair<long>(2, 1));
  for (long x = 0; x < 12; ++x) EXPECT_EQ(parent.at(x, 0) + parent.at(x, 5), -10.0);
  vxPelBuffer<unsigned char> grey(8, 4, 32), fresh;
  const unsigned char* greyPixels = grey.pointToOffset();
  const vxPelBuffer<unsigned char> shown =
      vfFrequencyMapImage(window, vxFrequencyDefs::Logarithmic, 0, 0);
  vfFrequencyMapImage(window, vxFrequencyDefs::Logarithmic, 0, 0, grey);
  vfFrequencyMapImage(window, vxFrequencyDefs::Logarithmic, 0, 0, fresh);
  EXPECT_EQ(grey.pointToOffset(), greyPixels);
  EXPECT_TRUE(samePixels(grey, shown));
  EXPECT_TRUE(samePixels(fresh, shown));
}
