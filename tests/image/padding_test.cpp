// Padded and windowed forward transforms: transform sizes, the padding itself against
// hand-written padded pictures, round trips, leakage of a windowed tone, and a
// band-reject on real photographs whose border must be as clean as the interior.
#include "filt/padding.h"
#include "filt/freqfilt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "image/photos.h"

namespace {

const double kPi = 3.14159265358979323846;

template <class T>
vxPelBuffer<T> picture(long w, long h, const std::vector<double>& values) {
  vxPelBuffer<T> image(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) image.at(x, y) = static_cast<T>(values[y * w + x]);
  return image;
}

// Every value of two buffers of one transform size, bit for bit.
bool sameValues(const vxFrequencyBuffer& a, const vxFrequencyBuffer& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (long y = 0; y < a.height(); ++y)
    for (long x = 0; x < a.width(); ++x)
      if (a.get(x, y, false) != b.get(x, y, false)) return false;
  return true;
}

TEST(Padding, TransformSizeLeavesTheMarginOrWhatFits) {
  EXPECT_EQ(vfPaddedTransformSize(512, 512, -1), vxPair<long>(1024, 1024));  // 512 + 2 * 64
  EXPECT_EQ(vfPaddedTransformSize(451, 300, -1), vxPair<long>(1024, 512));   // 565, 376
  EXPECT_EQ(vfPaddedTransformSize(1411, 100, -1), vxPair<long>(2048, 128));  // 1765, 126
  EXPECT_EQ(vfPaddedTransformSize(2048, 1, -1), vxPair<long>(2048, 4));      // no room; 1 + 2
  EXPECT_EQ(vfPaddedTransformSize(1900, 64, 100), vxPair<long>(2048, 512));  // 74 fits; 264
  EXPECT_EQ(vfPaddedTransformSize(500, 33, 0), vxPair<long>(512, 64));
  EXPECT_THROW(vfPaddedTransformSize(0, 8, -1), vxFrequencyDefs::InvalidSize);
  EXPECT_THROW(vfPaddedTransformSize(8, 2049, -1), vxFrequencyDefs::InvalidSize);
}

// A 5 x 2 picture with a margin of 1 makes an 8 x 4 transform: columns 5 and 6
// continue the picture to the right, column 7 precedes it; row 2 follows, row 3 precedes.
TEST(Padding, FillsThePaddingAsHandPadded) {
  const std::vector<double> small = {10, 20, 30, 40, 50, 61, 72, 83, 94, 105};
  vxPelBuffer<unsigned char> image = picture<unsigned char>(5, 2, small);
  image.offset(-3, 7);
  struct Case {
    vxPadding padding;
    std::vector<double> padded;
  };
  const std::vector<Case> cases = {
      {vxPadding::Reflect, {10, 20, 30, 40, 50,  50,  40, 10, 61, 72, 83, 94, 105, 105, 94, 61,
                            61, 72, 83, 94, 105, 105, 94, 61, 10, 20, 30, 40, 50,  50,  40, 10}},
      {vxPadding::Edge, {10, 20, 30, 40, 50,  50,  50,  10, 61, 72, 83, 94, 105, 105, 105, 61,
                         61, 72, 83, 94, 105, 105, 105, 61, 10, 20, 30, 40, 50,  50,  50,  10}},
      // The mean, 56.5, rounds to 57 in an 8-bit picture.
      {vxPadding::Mean, {10, 20, 30, 40, 50, 57, 57, 57, 61, 72, 83, 94, 105, 57, 57, 57,
                         57, 57, 57, 57, 57, 57, 57, 57, 57, 57, 57, 57, 57,  57, 57, 57}},
      {vxPadding::Zero, {10, 20, 30, 40, 50, 0, 0, 0, 61, 72, 83, 94, 105, 0, 0, 0,
                         0,  0,  0,  0,  0,  0, 0, 0, 0,  0,  0,  0,  0,   0, 0, 0}},
  };
  for (const Case& c : cases) {
    vxFrequencyBuffer padded, expected;
    vfForwardFFTPadded(image, vxPaddingOptions{c.padding, vxWindow::none(), 1}, padded);
    vfForwardFFT(picture<unsigned char>(8, 4, c.padded), expected);
    EXPECT_TRUE(sameValues(padded, expected)) << static_cast<int>(c.padding);
    EXPECT_EQ(padded.imageWidth(), 5);
    EXPECT_EQ(padded.imageHeight(), 2);
    EXPECT_EQ(padded.imageOffset(), vxPair<long>(-3, 7));
    EXPECT_EQ(vfPaddingMargin(padded), vxPair<long>(1, 1));
  }
  // Zero padding without a margin or window is the plain transform, bit for bit.
  vxFrequencyBuffer plain, zero;
  vfForwardFFT(image, plain);
  vfForwardFFTPadded(image, vxPaddingOptions{vxPadding::Zero, vxWindow::none(), 0}, zero);
  EXPECT_TRUE(zero == plain);
}

TEST(Padding, WindowsAreNumpysAndScipys) {
  // numpy.hanning(5) and scipy.signal.windows.tukey(7, 0.5).
  const double hann[5] = {0.0, 0.5, 1.0, 0.5, 0.0};
  const double tukey[7] = {0.0, 0.75, 1.0, 1.0, 1.0, 0.75, 0.0};
  for (long n = 0; n < 5; ++n) EXPECT_NEAR(vxWindow::hann().weight(n, 5), hann[n], 1e-15);
  for (long n = 0; n < 7; ++n) EXPECT_NEAR(vxWindow::tukey(0.5).weight(n, 7), tukey[n], 1e-15);
  EXPECT_NEAR(vxWindow::tukey(1.0).weight(3, 10), vxWindow::hann().weight(3, 10), 1e-15);
  EXPECT_EQ(vxWindow::tukey(0.0).weight(0, 10), 1.0);

  // Bad options are refused before the result changes.
  vxPelBuffer<double> image(6, 6, 32);
  vxFrequencyBuffer result(3, 3);
  result.putReal(1, 1, 42.0, false);
  const vxFrequencyBuffer before = result;
  for (const vxPaddingOptions& bad :
       {vxPaddingOptions{static_cast<vxPadding>(7), vxWindow::none(), -1},
        vxPaddingOptions{vxPadding::Reflect, vxWindow::tukey(1.5), -1},
        vxPaddingOptions{vxPadding::Reflect, vxWindow::tukey(std::nan("")), -1},
        vxPaddingOptions{vxPadding::Reflect, vxWindow{static_cast<vxWindow::Shape>(5), 0}, -1}})
    EXPECT_THROW(vfForwardFFTPadded(image, bad, result), vxFrequencyDefs::InvalidArgument);
  EXPECT_THROW(vfForwardFFTPadded(vxPelBuffer<double>(), {}, result),
               vxFrequencyDefs::UnboundWindow);
  EXPECT_THROW(vfForwardFFTPadded(vxPelBuffer<double>(2049, 1, 32), {}, result),
               vxFrequencyDefs::InvalidSize);
  EXPECT_TRUE(result == before);
}

// Unfiltered round trips give the picture back at its size and placement: exactly for
// integers, within single precision for doubles (windowed: the windowed picture).
TEST(Padding, RoundTripsGiveThePictureBack) {
  std::mt19937 random(15);
  std::vector<double> values(451 * 300);
  for (double& v : values) v = static_cast<double>(random() % 65536);
  for (vxPadding padding : {vxPadding::Reflect, vxPadding::Edge, vxPadding::Mean}) {
    const vxPaddingOptions options{padding, vxWindow::none(), -1};
    const vxPelBuffer<unsigned short> wide = picture<unsigned short>(451, 300, values);
    vxPelBuffer<unsigned short> wideBack;
    vxFrequencyBuffer spectrum;
    vfForwardFFTPadded(wide, options, spectrum);
    vfInverseFFT(spectrum, wideBack, false);
    ASSERT_EQ(wideBack.width(), 451);
    ASSERT_EQ(wideBack.height(), 300);
    long wrong = 0;
    for (long y = 0; y < 300; ++y)
      for (long x = 0; x < 451; ++x) wrong += wideBack.at(x, y) != wide.at(x, y);
    EXPECT_EQ(wrong, 0);

    std::vector<double> bytes(values);
    for (double& v : bytes) v = std::fmod(v, 256.0);
    const vxPelBuffer<unsigned char> narrow = picture<unsigned char>(451, 300, bytes);
    vxPelBuffer<unsigned char> narrowBack;
    vfForwardFFTPadded(narrow, options, spectrum);
    vfInverseFFT(spectrum, narrowBack, false, true);
    wrong = 0;
    for (long y = 0; y < 300; ++y)
      for (long x = 0; x < 451; ++x) wrong += narrowBack.at(x, y) != narrow.at(x, y);
    EXPECT_EQ(wrong, 0);
  }
  const vxPelBuffer<double> image = picture<double>(451, 300, values);
  vxPelBuffer<double> back;
  vxFrequencyBuffer spectrum;
  vfForwardFFTPadded(image, vxPaddingOptions{vxPadding::Reflect, vxWindow::tukey(0.3), -1},
                     spectrum);
  vfInverseFFT(spectrum, back, false);
  const vxWindow tukey = vxWindow::tukey(0.3);
  double worst = 0.0;
  for (long y = 0; y < 300; ++y)
    for (long x = 0; x < 451; ++x)
      worst = std::max(worst, std::fabs(back.at(x, y) - image.at(x, y) * tukey.weight(x, 451) *
                                                            tukey.weight(y, 300)));
  EXPECT_LT(worst / 65535.0, 1e-5);
}

// The energy of a pure tone at 0.1237 cycles per pixel (between bins) lying more than 6
// bins away from it along x, as a fraction of the whole.
double leakage(const vxWindow& window) {
  const long w = 200, h = 120;
  std::vector<double> tone(w * h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) tone[y * w + x] = 50.0 * std::cos(2 * kPi * 0.1237 * x);
  vxFrequencyBuffer spectrum;
  vfForwardFFTPadded(picture<double>(w, h, tone), vxPaddingOptions{vxPadding::Zero, window, 0},
                     spectrum);
  const long W = spectrum.width();
  double far = 0.0, all = 0.0;
  for (long y = -spectrum.height() / 2; y < spectrum.height() / 2; ++y)
    for (long x = 1 - W / 2; x < W / 2; ++x) {
      const vxPair<double> v = spectrum.get(x, y, true);
      const double e = v.x * v.x + v.y * v.y;
      all += e;
      if (std::fabs(std::fabs(static_cast<double>(x)) - 0.1237 * W) > 6.0) far += e;
    }
  return far / all;
}

TEST(Padding, HannWindowCutsLeakage) {
  const double plain = leakage(vxWindow::none());
  const double hann = leakage(vxWindow::hann());
  const double tukey = leakage(vxWindow::tukey(0.5));
  std::printf("leakage beyond 6 bins: none %.3g, Tukey 0.5 %.3g, Hann %.3g\n", plain, tukey, hann);
  EXPECT_GT(plain, 0.01);
  EXPECT_LT(hann, plain / 1000.0);
  EXPECT_LT(tukey, plain / 100.0);
}

#ifdef VXFREQ_TEST_PHOTOS
// A pattern added to a photograph and removed again by a band-reject of its ring; RMS
// errors against the photograph in a border strip and inside it.
void rejectPattern(const std::string& name, long border, vxPadding padding, double& edge,
                   double& inside) {
  long w = 0, h = 0;
  const std::vector<double> photo = test_photos::readGrey(name, w, h);
  ASSERT_FALSE(photo.empty()) << name;
  const double fx = 0.08, fy = 0.05;
  std::vector<double> noisy(photo);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) noisy[y * w + x] += 20.0 * std::cos(2 * kPi * (fx * x + fy * y));
  vxFrequencyBuffer spectrum;
  vfForwardFFTPadded(picture<double>(w, h, noisy), vxPaddingOptions{padding, vxWindow::none(), -1},
                     spectrum);
  const vxFrequencyFilterBandReject reject(0.008, 0.004, std::hypot(fx, fy),
                                           vxPair<long>(spectrum.width(), spectrum.height()), 1);
  reject.apply(spectrum);
  vxPelBuffer<double> out;
  vfInverseFFT(spectrum, out, false);
  const test_photos::BorderErrors e = test_photos::borderErrors(out, photo, border);
  edge = e.border;
  inside = e.interior;
  std::printf("%s, %s padding: RMS error %.2f in the %ld-pixel border, %.2f inside\n", name.c_str(),
              padding == vxPadding::Zero ? "zero" : "reflection", edge, border, inside);
}

TEST(Padding, BandRejectOnPhotographsIsCleanUpToTheBorder) {
  for (const char* name : {"camera.png", "chelsea.png"}) {
    double edge = 0, inside = 0, zeroEdge = 0, zeroInside = 0;
    rejectPattern(name, 16, vxPadding::Zero, zeroEdge, zeroInside);
    rejectPattern(name, 16, vxPadding::Reflect, edge, inside);
    EXPECT_LT(edge, 2.0 * inside) << name;
    EXPECT_LT(edge, 0.75 * zeroEdge) << name;
  }
}
#endif

}  // namespace
