// The image filter, and the helpers the filter base offers to derived filters.
#include "filt/freqfilt.h"
#include "filter_test_support.h"

#include <memory>

using namespace filter_test;

namespace {

vxFrequencyBuffer patterned(long w, long h, std::uint32_t seed) {
  vxFrequencyBuffer b(w, h);
  fillPattern(b, seed);
  return b;
}

vxFrequencyBuffer constant(long w, long h, double re, double im) {
  vxFrequencyBuffer b(w, h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) b.put(x, y, vxPair<double>(re, im), false);
  return b;
}

float f32(double v) { return static_cast<float>(v); }

// The complex product filter x value in float, as rounded double operations.
void expectProducts(const vxFrequencyBuffer& filter, const vxFrequencyBuffer& in,
                    const vxFrequencyBuffer& out) {
  const std::size_t n = static_cast<std::size_t>(in.width()) * in.height();
  for (std::size_t k = 0; k < n; ++k) {
    const float* f = Access::data(filter) + 2 * k;
    const float* v = Access::data(in) + 2 * k;
    const float* o = Access::data(out) + 2 * k;
    const float re = f32(static_cast<double>(f32(double(f[0]) * v[0])) - f32(double(f[1]) * v[1]));
    const float im = f32(static_cast<double>(f32(double(f[0]) * v[1])) + f32(double(f[1]) * v[0]));
    ASSERT_EQ(bits(o[0]), bits(re)) << k;
    ASSERT_EQ(bits(o[1]), bits(im)) << k;
  }
}

// A filter written by a client, reaching the base's helpers.
struct ClientFilter : vxFrequencyFilter {
  vxFrequencyFilter* clone() const override { return new ClientFilter(*this); }
  void apply(const vxFrequencyBuffer&, vxFrequencyBuffer&) const override {}
  void apply(vxFrequencyBuffer&) const override {}
  using vxFrequencyFilter::getFrequencyBufferData;
  using vxFrequencyFilter::maskFrequencyBuffer;
  using vxFrequencyFilter::setAndAllocateFrequencyBuffer;
};

}  // namespace

TEST(FilterBase, HelpersForDerivedFilters) {
  vxFrequencyBuffer b(8, 8);
  ClientFilter::maskFrequencyBuffer(b, true, 3, 9);
  EXPECT_EQ(Access::masked(b), 1);
  EXPECT_EQ(Access::maskedMiny(b), 3);
  EXPECT_EQ(Access::maskedMaxy(b), 9);
  ClientFilter::maskFrequencyBuffer(b, false, -1, 70);
  EXPECT_EQ(Access::masked(b), 0);
  EXPECT_EQ(Access::maskedMaxy(b), 70);

  EXPECT_EQ(ClientFilter::getFrequencyBufferData(b), Access::data(b));
  const vxFrequencyBuffer empty;
  EXPECT_EQ(ClientFilter::getFrequencyBufferData(empty), nullptr);

  vxFrequencyBuffer c;
  ClientFilter::setAndAllocateFrequencyBuffer(c, 100, 3);
  EXPECT_EQ(c.width(), 128);
  EXPECT_EQ(c.height(), 4);
  EXPECT_EQ(c.imageWidth(), 100);
  expectError<Defs::InvalidSize>([&] { ClientFilter::setAndAllocateFrequencyBuffer(c, 4096, 4); },
                                 L"Width and Height must be no larger than 2048.");

  const ClientFilter f;
  EXPECT_FALSE(const_cast<ClientFilter&>(f).isInitialized());
}

TEST(ImageFilter, MultipliesByTheFilterImage) {
  const vxFrequencyBuffer ones = constant(8, 4, 1.0, 0.0);
  const vxFrequencyBuffer is = constant(8, 4, 0.0, 1.0);
  vxFrequencyBuffer in = patterned(8, 4, 1);
  Access::setMask(in, 1, 2, 3);

  vxFrequencyBuffer a = in;
  vxFrequencyFilterImage(ones).apply(a);
  for (std::size_t k = 0; k < 64; ++k) ASSERT_EQ(Access::data(a)[k], Access::data(in)[k]);
  EXPECT_EQ(Access::masked(a), 0);
  EXPECT_EQ(Access::maskedMiny(a), 0);
  EXPECT_EQ(Access::maskedMaxy(a), 0);

  // a + ib becomes -b + ia.
  a = in;
  vxFrequencyFilterImage(is).apply(a);
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 8; ++x) {
      const vxPair<double> v = in.get(x, y, false);
      ASSERT_EQ(a.get(x, y, false), vxPair<double>(-v.y, v.x));
    }

  const vxFrequencyBuffer general = patterned(8, 4, 2);
  const vxFrequencyFilterImage filter(general);
  a = in;
  filter.apply(a);
  expectProducts(general, in, a);
}

TEST(ImageFilter, OutOfPlaceCopiesTheWholeInputFirst) {
  vxFrequencyBuffer in(100, 60);
  fillPattern(in, 3);
  vx2XformCache xform;
  xform.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(1.0, 0.5, 0.0, 1.0), vxVector<2>(3.0, 4.0))));
  Access::setPlacement(in, vxPair<long>(7, -2), xform);
  Access::setMask(in, 1, 10, 20);
  const Snapshot before(in);
  const vxFrequencyBuffer image = patterned(128, 64, 4);
  const vxFrequencyFilterImage filter(image);

  vxFrequencyBuffer out = patterned(4, 4, 5);
  filter.apply(in, out);
  EXPECT_EQ(Snapshot(in), before);
  EXPECT_EQ(out.imageWidth(), 100);
  EXPECT_EQ(out.imageHeight(), 60);
  EXPECT_EQ(out.imageOffset(), vxPair<long>(7, -2));
  EXPECT_TRUE(out.clientXform() == xform);
  EXPECT_EQ(Access::masked(out), 0);
  expectProducts(image, in, out);

  // The same buffer in and out.
  vxFrequencyBuffer same = in;
  filter.apply(same, same);
  EXPECT_EQ(Snapshot(same).values, Snapshot(out).values);
}

TEST(ImageFilter, UnbuiltFilterAndApplyChecks) {
  const vxFrequencyFilterImage unbuilt;
  EXPECT_FALSE(const_cast<vxFrequencyFilterImage&>(unbuilt).isInitialized());
  expectError<Defs::Uninitialized>([&] { unbuilt.supportWidth(); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.supportHeight(); }, kBufferUninit);

  vxFrequencyBuffer empty;
  vxFrequencyBuffer wrong = patterned(64, 32, 6);
  vxFrequencyBuffer out = patterned(2, 2, 7);
  const Snapshot wrongBefore(wrong), outBefore(out);
  const vxFrequencyFilterImage built(patterned(64, 64, 8));
  EXPECT_EQ(built.supportWidth(), 64);
  EXPECT_EQ(built.supportHeight(), 64);
  expectError<Defs::Uninitialized>([&] { built.apply(empty); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty, out); }, kBufferUninit);
  // The unbuilt image filter reports the buffer message too.
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong, out); }, kBufferUninit);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong); }, kSizeMismatch);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong, out); }, kSizeMismatch);
  EXPECT_EQ(Snapshot(wrong), wrongBefore);
  EXPECT_EQ(Snapshot(out), outBefore);
}

TEST(ImageFilter, InverseComputedImagesAndBuffers) {
  vxFrequencyBuffer image = patterned(8, 8, 9);
  Access::setInverseComputed(image, true);
  const vxFrequencyFilterImage filter(image);  // builds without looking at the flag
  vxFrequencyBuffer in = patterned(8, 8, 10);
  const Snapshot before(in);
  expectError<Defs::InvalidBuffer>([&] { filter.apply(in); }, kInverse);
  EXPECT_EQ(Snapshot(in), before);
  // Out of place, `out` has been assigned when the multiplication refuses.
  vxFrequencyBuffer out;
  expectError<Defs::InvalidBuffer>([&] { filter.apply(in, out); }, kInverse);
  EXPECT_TRUE(out == in);

  vxFrequencyBuffer spatial = patterned(8, 8, 11);
  Access::setInverseComputed(spatial, true);
  const vxFrequencyFilterImage plain(patterned(8, 8, 12));
  expectError<Defs::InvalidBuffer>([&] { plain.apply(spatial); }, kInverse);
}

TEST(ImageFilter, BuildsCopyTheImageAndGiveTheMutationNotice) {
  vxFrequencyBuffer image = patterned(16, 8, 13);
  vxFrequencyFilterImage f;
  f.trackMutations(true);
  expectError<Defs::Uninitialized>([&] { f.setImage(vxFrequencyBuffer()); }, kBufferUninit);
  EXPECT_EQ(f.mutationCount(), 0u);
  EXPECT_FALSE(f.isInitialized());
  f.setImage(image);
  EXPECT_EQ(f.mutationCount(), 1u);
  EXPECT_TRUE(f.isInitialized());

  const vxFrequencyFilterImage same(image);
  EXPECT_TRUE(f == same);
  image.putReal(3, 2, 100.0, false);  // the filter keeps its own copy
  EXPECT_TRUE(f == same);
  const vxFrequencyFilterImage changed(image);
  EXPECT_FALSE(f == changed);
  f.setImage(image);
  EXPECT_TRUE(f == changed);
  EXPECT_EQ(f.mutationCount(), 2u);
}

TEST(ImageFilter, ValueClassBehaviour) {
  const vxFrequencyFilterImage a(patterned(8, 8, 14));
  vxFrequencyFilterImage b(a);
  EXPECT_TRUE(b == a);
  b = vxFrequencyFilterImage();  // unbuilt again
  EXPECT_FALSE(b.isInitialized());
  expectError<Defs::Uninitialized>([&] { b.supportWidth(); }, kBufferUninit);
  EXPECT_FALSE(b == a);
  EXPECT_TRUE(b == vxFrequencyFilterImage());
  b = a;
  EXPECT_TRUE(b == a);

  std::unique_ptr<vxFrequencyFilter> clone(static_cast<const vxFrequencyFilter&>(a).clone());
  auto* typed = dynamic_cast<vxFrequencyFilterImage*>(clone.get());
  ASSERT_NE(typed, nullptr);
  EXPECT_TRUE(*typed == a);
  vxPersistent* p = static_cast<const vxFrequencyFilter&>(vxFrequencyFilterImage()).clone();
  delete p;
  vxRepBase* r = static_cast<const vxFrequencyFilter&>(a).clone();
  delete r;
}
