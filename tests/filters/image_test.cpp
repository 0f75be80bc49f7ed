// The image filter.
#include "filt/freqfilt.h"
#include "filters/test_support.h"

#include <memory>

using namespace filter_test;

// The image filter multiplies by its image as vfFrequencyMultiply does, takes the rest
// of the result from the input (out of place) and clears the mask.
TEST(ImageFilter, MultipliesByItsImageAndClearsTheMask) {
  vxFrequencyBuffer in = patterned(128, 64, 3), out = patterned(4, 4, 4);
  Access::setAndAllocate(in, 100, 60);
  vx2XformCache xform;
  xform.xform(vx2XformLinear(vxXform<2>(vxMatrix<2>(1.0, 0.5, 0.0, 1.0), vxVector<2>(3.0, 4.0))));
  Access::setPlacement(in, vxPair<long>(7, -2), xform);
  Access::setMask(in, 1, 10, 20);
  const Snapshot before(in);
  const vxFrequencyBuffer image = patterned(128, 64, 5);
  const vxFrequencyFilterImage filter(image);
  vxFrequencyBuffer product = in;
  vfFrequencyMultiply(image, product);
  filter.apply(in, out);
  EXPECT_EQ(Snapshot(in), before);
  Snapshot want(in);
  want.state[3] = want.state[4] = want.state[5] = 0;  // mask cleared
  EXPECT_EQ(Snapshot(out).state, want.state);
  EXPECT_TRUE(out.clientXform() == xform);
  EXPECT_EQ(Snapshot(out).values, Snapshot(product).values);
  vxFrequencyBuffer a = in;
  filter.apply(a);
  EXPECT_EQ(Snapshot(a), Snapshot(out));
  vxPelBuffer<double> re(2, 1, 32), im(2, 1, 32);  // 1 keeps, i turns a + ib into -b + ia
  re.at(0, 0) = im.at(1, 0) = 1.0;
  const vxFrequencyBuffer two = patterned(2, 1, 6);
  a = two;
  vxFrequencyFilterImage(vxFrequencyBuffer(re, im)).apply(a);
  EXPECT_EQ(a.get(0, 0, false), two.get(0, 0, false));
  EXPECT_EQ(a.get(1, 0, false),
            vxPair<double>(-two.getImaginary(1, 0, false), two.getReal(1, 0, false)));
}

TEST(ImageFilter, BuildsChecksCopiesAndEquality) {
  const vxFrequencyFilterImage unbuilt;
  expectError<Defs::Uninitialized>([&] { unbuilt.supportHeight(); }, kBufferUninit);
  vxFrequencyBuffer empty, wrong = patterned(64, 32, 6), out = patterned(2, 2, 7);
  const Snapshot wrongBefore(wrong), outBefore(out);
  const vxFrequencyFilterImage built(patterned(64, 64, 8));
  EXPECT_EQ(built.supportWidth() * 1000 + built.supportHeight(), 64064);
  expectError<Defs::Uninitialized>([&] { built.apply(empty); }, kBufferUninit);
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong); }, kBufferUninit);  // not "Filter"
  expectError<Defs::Uninitialized>([&] { unbuilt.apply(wrong, out); }, kBufferUninit);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong); }, kSizeMismatch);
  expectError<Defs::InvalidSize>([&] { built.apply(wrong, out); }, kSizeMismatch);
  EXPECT_TRUE(Snapshot(wrong) == wrongBefore && Snapshot(out) == outBefore);
  // A filter image with its inverse computed builds, but every apply is refused by
  // the multiplication; out of place, `out` has been assigned by then.
  vxFrequencyBuffer spatial = patterned(8, 8, 9), in = patterned(8, 8, 10), o;
  Access::setInverseComputed(spatial, true);
  const vxFrequencyFilterImage refusing(spatial);
  expectError<Defs::InvalidBuffer>([&] { refusing.apply(in); }, kInverse);
  expectError<Defs::InvalidBuffer>([&] { refusing.apply(in, o); }, kInverse);
  EXPECT_TRUE(o == in && Snapshot(in) == Snapshot(patterned(8, 8, 10)));
  expectError<Defs::InvalidBuffer>([&] { vxFrequencyFilterImage(in).apply(spatial); }, kInverse);

  vxFrequencyBuffer image = patterned(16, 8, 11);
  vxFrequencyFilterImage f;
  f.trackMutations(true);
  expectError<Defs::Uninitialized>([&] { f.setImage(vxFrequencyBuffer()); }, kBufferUninit);
  f.setImage(image);
  EXPECT_EQ(f.mutationCount(), 1u);  // the failed build changed nothing
  const vxFrequencyFilterImage same(image);
  image.putReal(3, 2, 100.0, false);  // the filter holds its own copy
  EXPECT_TRUE(f == same && !(f == vxFrequencyFilterImage(image)));
  std::unique_ptr<vxFrequencyFilter> clone(static_cast<const vxFrequencyFilter&>(f).clone());
  EXPECT_TRUE(dynamic_cast<vxFrequencyFilterImage&>(*clone) == f);
  vxRepBase* asRep = f.clone();  // deleting through either virtual base frees it all
  delete asRep;
  f = vxFrequencyFilterImage();  // unbuilt again, flag and image
  EXPECT_TRUE(!f.isInitialized() && f == vxFrequencyFilterImage());
}
