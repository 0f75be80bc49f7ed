// Filtering with the picture's patterns continued into the padding: a pattern on a flat
// picture is removed up to the border where the other paddings leave it there; without
// a pattern the padding is Edge's, bit for bit; bad arguments are refused before the
// result changes; and on photographs with added patterns the border is as clean as the
// interior and at least as clean as with the best of the other paddings.
#include "filt/filtering.h"

#include "filt/extended.h"

#include "image/photos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

vxPelBuffer<double> picture(long w, long h, const std::vector<double>& values) {
  vxPelBuffer<double> image(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) image.at(x, y) = values[y * w + x];
  return image;
}

// 25 cos(2 pi f (x cos a + y sin a)) added to `values`.
std::vector<double> withPattern(std::vector<double> values, long w, long h, double f,
                                double degrees, double amplitude = 25.0) {
  const double a = degrees * kPi / 180.0;
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      values[y * w + x] += amplitude * std::cos(2 * kPi * f * (x * std::cos(a) + y * std::sin(a)));
  return values;
}

vxPaddingOptions paddingOf(vxPadding padding) { return {padding, vxWindow::none(), -1}; }

// The picture filtered by a band-reject of the ring at f (sigma s, plateau 0.003).
vxPelBuffer<double> rejectRing(const vxPelBuffer<double>& image, double f, double s,
                               vxPadding padding) {
  const vxPair<long> size = vfPaddedTransformSize(image.width(), image.height(), -1);
  const vxFrequencyFilterBandReject reject(s, 0.003, f, size, 0);
  return vfFilterPicture(vxPelBuffer_const<double>(image), {&reject}, paddingOf(padding));
}

#ifdef VXFREQ_TEST_PHOTOS
using test_photos::BorderErrors;

// The errors in the 16-pixel border strip and inside it.
BorderErrors errorsOf(const vxPelBuffer<double>& out, const std::vector<double>& clean) {
  return test_photos::borderErrors(out, clean, 16);
}
#endif

double largestDeparture(const vxPelBuffer<double>& out, double from) {
  double worst = 0.0;
  for (long y = 0; y < out.height(); ++y)
    for (long x = 0; x < out.width(); ++x) worst = std::max(worst, std::fabs(out.at(x, y) - from));
  return worst;
}

// A tone on a flat grey picture of a size that is no power of two: the filter must leave
// the flat grey everywhere, border included.
TEST(Continuation, RemovesATonePatternUpToTheBorder) {
  struct Case {
    long w, h;
    double f, degrees, sigma, continued, edge;  // largest departures from 100 allowed
  } cases[] = {{236, 151, 0.1234, 23, 0.004, 0.5, 20}, {200, 200, 0.061, 71, 0.01, 1.5, 10}};
  for (const Case& c : cases) {
    const vxPelBuffer<double> image = picture(
        c.w, c.h, withPattern(std::vector<double>(c.w * c.h, 100.0), c.w, c.h, c.f, c.degrees));
    const double continued =
        largestDeparture(rejectRing(image, c.f, c.sigma, vxPadding::Continue), 100.0);
    const double edge = largestDeparture(rejectRing(image, c.f, c.sigma, vxPadding::Edge), 100.0);
    std::printf("%ld x %ld, f %.4f at %.0f degrees: largest error %.3f continued, %.2f edge\n", c.w,
                c.h, c.f, c.degrees, continued, edge);
    EXPECT_LT(continued, c.continued);
    EXPECT_GT(edge, c.edge);
  }
}

// Without a pattern in the band (smooth random texture) the padding is Edge's, bit for
// bit; the other paddings go through vfForwardFFTPadded unchanged.
TEST(Continuation, WithoutAPatternThePaddingIsEdges) {
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0.0, 20.0);
  const long w = 120, h = 90;
  std::vector<double> values(w * h, 0.0);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      values[y * w + x] = 120.0 + 40.0 * std::sin(0.05 * x) * std::cos(0.04 * y) + noise(random);
  vxPelBuffer<unsigned short> image(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) image.at(x, y) = static_cast<unsigned short>(values[y * w + x]);
  const vxPair<long> size = vfPaddedTransformSize(w, h, -1);
  const vxFrequencyFilterBandReject reject(0.01, 0.0, 0.2, size, 0);
  for (vxPadding p : {vxPadding::Continue, vxPadding::Zero, vxPadding::Reflect, vxPadding::Mean}) {
    const vxPadding expected = p == vxPadding::Continue ? vxPadding::Edge : p;
    for (const vxWindow& window : {vxWindow::none(), vxWindow::tukey(0.5)}) {
      vxFrequencyBuffer continued, padded;
      vfForwardFFTContinued(vxPelBuffer_const<unsigned short>(image), {p, window, -1}, {&reject},
                            continued);
      vfForwardFFTPadded(vxPelBuffer_const<unsigned short>(image), {expected, window, -1}, padded);
      EXPECT_TRUE(continued == padded) << static_cast<int>(p);
      EXPECT_EQ(vfPaddingMargin(continued), vfPaddingMargin(padded));
    }
  }
}

// The one-call filtering is the forward transform with continued padding, the filters in
// order and the scaled inverse; the picture keeps its pixels in its own block, comes back
// at its size and offset, and only the padding differs from Edge's.
TEST(Continuation, FilterPictureIsTheFilteringInOneCall) {
  const vxExtendedScope extended;  // where a picture with an offset comes back as it was
  const long w = 100, h = 70;
  std::vector<double> values = withPattern(std::vector<double>(w * h, 80.0), w, h, 0.17, 40, 30);
  values = withPattern(values, w, h, 0.09, 110, 10);
  vxPelBuffer<double> image = picture(w, h, values);
  image.offset(-4, -2);
  // A margin wider than the filters' reach (about 1 / (2 pi sigma) pixels): the seam
  // where the two continuations meet in the padding must stay away from the picture.
  const long margin = 78;
  const vxPair<long> size = vfPaddedTransformSize(w, h, margin);
  const vxFrequencyFilterBandReject first(0.006, 0.002, 0.17, size, 0);
  const vxFrequencyFilterBandReject second(0.006, 0.002, 0.09, size, 0);
  const vxPaddingOptions options{vxPadding::Continue, vxWindow::none(), margin};
  const vxPelBuffer<double> out =
      vfFilterPicture(vxPelBuffer_const<double>(image), {&first, &second}, options);

  vxFrequencyBuffer spectrum;
  vfForwardFFTContinued(vxPelBuffer_const<double>(image), options, {&first, &second}, spectrum);
  EXPECT_EQ(spectrum.width(), size.x);
  EXPECT_EQ(spectrum.height(), size.y);
  // The picture's own block: the inverse of the unfiltered spectrum gives it back.
  vxPelBuffer<double> back;
  vfInverseFFT(spectrum, back, false);
  double worst = 0.0;
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      worst = std::max(worst, std::fabs(back.at(x, y) - values[y * w + x]));
  EXPECT_LT(worst, 1e-3);
  first.apply(spectrum);
  second.apply(spectrum);
  vxPelBuffer<double> real;
  vfInverseFFTReal<double>(spectrum, real);
  ASSERT_EQ(out.width(), w);
  ASSERT_EQ(out.height(), h);
  EXPECT_EQ(out.offset(), image.offset());
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) ASSERT_EQ(out.at(x, y), real.at(x, y)) << x << "," << y;
  // Both patterns gone, border included.
  EXPECT_LT(largestDeparture(out, 80.0), 1.0);
}

// Bad arguments: refused with the library's errors, the result untouched.
TEST(Continuation, RefusesWhatItCannotFilter) {
  const vxPelBuffer<unsigned char> image(40, 30, 32);
  const vxPair<long> size = vfPaddedTransformSize(40, 30, -1);
  const vxFrequencyFilterBandReject reject(0.01, 0.0, 0.2, size, 0);
  const vxFrequencyFilterBandReject otherSize(0.01, 0.0, 0.2, vxPair<long>(128, 64), 0);
  const vxFrequencyFilterBandReject unbuilt;
  vxFrequencyBuffer result(4, 4);
  result.putReal(1, 1, 42.0, false);
  const vxFrequencyBuffer before = result;
  const vxPaddingOptions continued{vxPadding::Continue, vxWindow::none(), -1};
  const vxPelBuffer_const<unsigned char> in(image);
  try {
    vfForwardFFTContinued(in, continued, {}, result);
    ADD_FAILURE() << "no filter accepted";
  } catch (const vxFrequencyDefs::InvalidArgument& e) {
    EXPECT_STREQ(e.what(), "A filter is needed to continue the picture's patterns.");
  }
  EXPECT_THROW(vfForwardFFTContinued(in, continued, {nullptr}, result),
               vxFrequencyDefs::InvalidArgument);
  EXPECT_THROW(vfForwardFFTPadded(in, continued, result), vxFrequencyDefs::InvalidArgument);
  EXPECT_ANY_THROW(vfForwardFFTContinued(in, continued, {&reject, &otherSize}, result));
  EXPECT_ANY_THROW(vfForwardFFTContinued(in, continued, {&unbuilt}, result));
  EXPECT_THROW(vfForwardFFTContinued(in, {static_cast<vxPadding>(9), vxWindow::none(), -1},
                                     {&reject}, result),
               vxFrequencyDefs::InvalidArgument);
  EXPECT_THROW(vfForwardFFTContinued(vxPelBuffer_const<unsigned char>(vxPelBuffer<unsigned char>()),
                                     continued, {&reject}, result),
               vxFrequencyDefs::UnboundWindow);
  EXPECT_THROW(vfFilterPicture(in, {}, continued), vxFrequencyDefs::InvalidArgument);
  // A side that fills the compatible mode's largest transform leaves no room for the
  // margin: refused, unless no margin is asked for.
  const vxPelBuffer<unsigned char> wide(2048, 30, 32);
  const vxFrequencyFilterBandReject full(0.01, 0.0, 0.2, vfPaddedTransformSize(2048, 30, -1), 0);
  try {
    vfForwardFFTContinued(vxPelBuffer_const<unsigned char>(wide), continued, {&full}, result);
    ADD_FAILURE() << "no room accepted";
  } catch (const vxFrequencyDefs::InvalidSize& e) {
    EXPECT_STREQ(e.what(),
                 "No room to continue the picture's patterns: a side of the picture "
                 "fills the mode's largest transform.");
  }
  EXPECT_TRUE(result == before);
  const vxFrequencyFilterBandReject exact(0.01, 0.0, 0.2, vxPair<long>(2048, 32), 0);
  vfForwardFFTContinued(vxPelBuffer_const<unsigned char>(wide),
                        {vxPadding::Continue, vxWindow::none(), 0}, {&exact}, result);
  EXPECT_EQ(result.width(), 2048);
}

#ifdef VXFREQ_TEST_PHOTOS
// Photographs with added patterns, fine and coarse, at several angles, removed by narrow
// and wide band-rejects: the border stays within 1.5 times the interior's error and at
// or below the best of the other paddings (bench/border_table.cpp runs the whole grid).
TEST(Continuation, PhotographsAreCleanUpToTheBorder) {
  struct Case {
    const char* name;
    double f, degrees, sigma;
  } cases[] = {{"camera.png", 0.13, 30, 0.004}, {"camera.png", 0.05, 30, 0.004},
               {"coins.png", 0.13, 30, 0.004},  {"coins.png", 0.2, 60, 0.01},
               {"moon.png", 0.13, 30, 0.004},   {"moon.png", 0.08, 17, 0.02},
               {"chelsea.png", 0.2, 90, 0.004}, {"chelsea.png", 0.05, 0, 0.004}};
  for (const Case& c : cases) {
    long w = 0, h = 0;
    const std::vector<double> photo = test_photos::readGrey(c.name, w, h);
    ASSERT_FALSE(photo.empty()) << c.name;
    const vxPelBuffer<double> noisy = picture(w, h, withPattern(photo, w, h, c.f, c.degrees));
    double best = 1e300;
    for (vxPadding p : {vxPadding::Zero, vxPadding::Reflect, vxPadding::Edge, vxPadding::Mean})
      best = std::min(best, errorsOf(rejectRing(noisy, c.f, c.sigma, p), photo).border);
    const BorderErrors e = errorsOf(rejectRing(noisy, c.f, c.sigma, vxPadding::Continue), photo);
    std::printf(
        "%s f %.2f at %.0f, sigma %.3f: border %.2f, interior %.2f, best other border %.2f\n",
        c.name, c.f, c.degrees, c.sigma, e.border, e.interior, best);
    EXPECT_LT(e.border, 1.5 * e.interior) << c.name;
    EXPECT_LE(e.border, best) << c.name;
  }
}
#endif

}  // namespace
