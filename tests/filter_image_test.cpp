// The image filter, and the helpers the filter base offers to derived filters.
#include "filt/freqfilt.h"
#include "filter_test_support.h"

#include <memory>
#include <vector>

using namespace filter_test;

namespace {

vxFrequencyBuffer constant(long w, long h, double re, double im) {
  vxFrequencyBuffer b(w, h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) b.put(x, y, vxPair<double>(re, im), false);
  return b;
}

// out = filter x in as complex numbers, each float operation one rounded double one.
void expectProducts(const vxFrequencyBuffer& filter, const vxFrequencyBuffer& in,
                    const vxFrequencyBuffer& out) {
  auto f32 = [](double v) { return static_cast<float>(v); };
  for (std::size_t k = 0; k < static_cast<std::size_t>(in.width()) * in.height(); ++k) {
    const float* f = Access::data(filter) + 2 * k;
    const float* v = Access::data(in) + 2 * k;
    const float re = f32(double(f32(double(f[0]) * v[0])) - f32(double(f[1]) * v[1]));
    const float im = f32(double(f32(double(f[0]) * v[1])) + f32(double(f[1]) * v[0]));
    ASSERT_EQ(bits(Access::data(out)[2 * k]), bits(re)) << k;
    ASSERT_EQ(bits(Access::data(out)[2 * k + 1]), bits(im)) << k;
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
  vxFrequencyBuffer b(8, 8), c;
  ClientFilter::maskFrequencyBuffer(b, true, 3, 9);
  EXPECT_EQ(maskOf(b), std::vector<long>({1, 3, 9}));
  ClientFilter::maskFrequencyBuffer(b, false, -1, 70);
  EXPECT_EQ(maskOf(b), std::vector<long>({0, -1, 70}));
  EXPECT_EQ(ClientFilter::getFrequencyBufferData(b), Access::data(b));
  EXPECT_EQ(ClientFilter::getFrequencyBufferData(static_cast<const vxFrequencyBuffer&>(c)),
            nullptr);
  ClientFilter::setAndAllocateFrequencyBuffer(c, 100, 3);
  EXPECT_EQ(c.width() * 10000 + c.height() * 1000 + c.imageWidth(), 1284100);
  expectError<Defs::InvalidSize>([&] { ClientFilter::setAndAllocateFrequencyBuffer(c, 4096, 4); },
                                 L"Width and Height must be no larger than 2048.");
  ClientFilter f;
  EXPECT_FALSE(f.isInitialized());
}

TEST(ImageFilter, MultipliesByTheFilterImageAndClearsTheMask) {
  vxFrequencyBuffer in = patterned(8, 4, 1);
  Access::setMask(in, 1, 2, 3);
  vxFrequencyBuffer a = in;
  vxFrequencyFilterImage(constant(8, 4, 1.0, 0.0)).apply(a);
  for (std::size_t k = 0; k < 64; ++k) ASSERT_EQ(Access::data(a)[k], Access::data(in)[k]);
  EXPECT_EQ(maskOf(a), std::vector<long>({0, 0, 0}));
  a = in;
  vxFrequencyFilterImage(constant(8, 4, 0.0, 1.0)).apply(a);  // a + ib -> -b + ia
  for (long k = 0; k < 32; ++k)
    ASSERT_EQ(a.get(k % 8, k / 8, false), vxPair<double>(-in.getImaginary(k % 8, k / 8, false),
                                                         in.getReal(k % 8, k / 8, false)));
  const vxFrequencyBuffer general = patterned(8, 4, 2);
  a = in;
  vxFrequencyFilterImage(general).apply(a);
  expectProducts(general, in, a);

  // Out of place: the whole input is copied into `out` first.
  vxFrequencyBuffer big = patterned(128, 64, 3), out = patterned(4, 4, 4);
  Access::setAndAllocate(big, 100, 60);
  vx2XformCache xform;
  xform.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(1.0, 0.5, 0.0, 1.0), vxVector<2>(3.0, 4.0))));
  Access::setPlacement(big, vxPair<long>(7, -2), xform);
  Access::setMask(big, 1, 10, 20);
  const Snapshot before(big);
  const vxFrequencyBuffer image = patterned(128, 64, 5);
  const vxFrequencyFilterImage filter(image);
  filter.apply(big, out);
  EXPECT_EQ(Snapshot(big), before);
  Snapshot got(out), want(big);
  got.values.clear();
  want.values.clear();
  want.state[3] = want.state[4] = want.state[5] = 0;  // mask cleared
  EXPECT_EQ(got, want);
  EXPECT_TRUE(out.clientXform() == xform);
  expectProducts(image, big, out);
  filter.apply(big, big);
  EXPECT_EQ(Snapshot(big).values, Snapshot(out).values);
}

TEST(ImageFilter, UnbuiltFiltersApplyChecksAndInverseComputedBuffers) {
  const vxFrequencyFilterImage unbuilt;
  EXPECT_FALSE(const_cast<vxFrequencyFilterImage&>(unbuilt).isInitialized());
  expectError<Defs::Uninitialized>([&] { unbuilt.supportWidth(); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.supportHeight(); }, kBufferUninit);
  vxFrequencyBuffer empty, wrong = patterned(64, 32, 6), out = patterned(2, 2, 7);
  const Snapshot wrongBefore(wrong), outBefore(out);
  const vxFrequencyFilterImage built(patterned(64, 64, 8));
  EXPECT_EQ(built.supportWidth() * 1000 + built.supportHeight(), 64064);
  expectError<Defs::Uninitialized>([&] { built.apply(empty); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(empty, out); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong); }, kBufferUninit);  // not "Filter"
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong, out); }, kBufferUninit);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong); }, kSizeMismatch);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong, out); }, kSizeMismatch);
  EXPECT_EQ(Snapshot(wrong), wrongBefore);
  EXPECT_EQ(Snapshot(out), outBefore);

  // A filter image with its inverse computed builds, but every apply is refused by
  // the multiplication; out of place, `out` has been assigned by then.
  vxFrequencyBuffer spatial = patterned(8, 8, 9);
  Access::setInverseComputed(spatial, true);
  const vxFrequencyFilterImage refusing(spatial);
  vxFrequencyBuffer in = patterned(8, 8, 10), o;
  const Snapshot inBefore(in);
  expectError<Defs::InvalidBuffer>([&] { refusing.apply(in); }, kInverse);
  EXPECT_EQ(Snapshot(in), inBefore);
  expectError<Defs::InvalidBuffer>([&] { refusing.apply(in, o); }, kInverse);
  EXPECT_TRUE(o == in);
  expectError<Defs::InvalidBuffer>([&] { vxFrequencyFilterImage(in).apply(spatial); }, kInverse);
}

TEST(ImageFilter, BuildsCopiesAndEquality) {
  vxFrequencyBuffer image = patterned(16, 8, 11);
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
  image.putReal(3, 2, 100.0, false);  // the filter holds its own copy
  EXPECT_TRUE(f == same);
  const vxFrequencyFilterImage changed(image);
  EXPECT_FALSE(f == changed);

  vxFrequencyFilterImage g(f);
  EXPECT_TRUE(g == f);
  g = vxFrequencyFilterImage();  // unbuilt again, flag and image
  EXPECT_FALSE(g.isInitialized());
  expectError<Defs::Uninitialized>([&] { g.supportWidth(); }, kBufferUninit);
  EXPECT_TRUE(g == vxFrequencyFilterImage());
  g = changed;
  EXPECT_TRUE(g == changed);
  std::unique_ptr<vxFrequencyFilter> clone(static_cast<const vxFrequencyFilter&>(g).clone());
  ASSERT_NE(dynamic_cast<vxFrequencyFilterImage*>(clone.get()), nullptr);
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterImage&>(*clone) == changed);
  vxPersistent* p = static_cast<const vxFrequencyFilter&>(vxFrequencyFilterImage()).clone();
  delete p;
  vxRepBase* r = static_cast<const vxFrequencyFilter&>(g).clone();
  delete r;
}
