// Filtering whole images through the public API: forward transform, filter, inverse.
#include "filt/buffer_access.h"
#include "filt/fft.h"
#include "filt/freqfilt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;
constexpr long kN = 128;

using Plane = std::vector<double>;

double rms(const Plane& a, const Plane& b) {
  double s = 0;
  for (std::size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(s / a.size());
}

Plane realPart(const vxFrequencyBuffer& spectrum) {
  vxPelBuffer<double> re, im;
  vfInverseFFT(spectrum, re, im);
  Plane out;
  for (long y = 0; y < re.height(); ++y)
    for (long x = 0; x < re.width(); ++x) out.push_back(re.at(x, y));
  return out;
}

vxPelBuffer<unsigned char> toImage(const Plane& p) {
  vxPelBuffer<unsigned char> image(kN, kN, 32);
  for (long y = 0; y < kN; ++y)
    for (long x = 0; x < kN; ++x)
      image.at(x, y) = static_cast<unsigned char>(std::lround(std::min(255.0, std::max(0.0, p[y * kN + x]))));
  return image;
}

}  // namespace

TEST(FilterEndToEnd, GaborKeepsStripesAtItsAngleAndLosesTheNoise) {
  // Stripes about 8 pixels apart at about 30 degrees (a whole number of cycles across
  // the image in both directions keeps them periodic), plus strong uniform noise.
  const double fx = 14.0 / kN, fy = 8.0 / kN;  // cycles per pixel along x and y
  const double frequency = std::hypot(fx, fy);
  Plane stripes(kN * kN), noisy(kN * kN);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> noise(-45.0, 45.0);
  for (long y = 0; y < kN; ++y)
    for (long x = 0; x < kN; ++x) {
      const double s = 40.0 * std::cos(2 * kPi * (fx * x + fy * y));
      stripes[y * kN + x] = s;
      noisy[y * kN + x] = 128.0 + s + noise(rng);
    }
  const vxPelBuffer<unsigned char> image = toImage(noisy);
  Plane input(kN * kN);  // what the 8-bit image holds, minus its mean level
  for (long i = 0; i < kN * kN; ++i) input[i] = image.at(i % kN, i / kN) - 128.0;

  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(image, spectrum);
  const vxFrequencyFilterGabor gabor(vxPair<double>(0.01, 0.01), vxPair<double>(0.0, 0.0),
                                     vxRadian(std::atan2(fy, fx)), frequency, vxPair<long>(kN, kN), 1);
  gabor.apply(spectrum);
  // One lobe keeps half of the cosine: the real part of the result is half the stripes.
  Plane filtered = realPart(spectrum);
  for (double& v : filtered) v *= 2.0;

  const double before = rms(input, stripes);
  const double after = rms(filtered, stripes);
  RecordProperty("noise_rms_before", std::to_string(before));
  RecordProperty("noise_rms_after", std::to_string(after));
  EXPECT_GT(before, 20.0);
  EXPECT_LT(after, before / 8.0) << "before " << before << ", after " << after;

  // The same filter at the perpendicular angle finds no stripes.
  const vxFrequencyFilterGabor across(vxPair<double>(0.01, 0.01), vxPair<double>(0.0, 0.0),
                                      vxRadian(std::atan2(fy, fx) + kPi / 2), frequency,
                                      vxPair<long>(kN, kN), 1);
  vxFrequencyBuffer other;
  vfForwardFFT<unsigned char>(image, other);
  across.apply(other);
  Plane none = realPart(other);
  double energy = 0;
  for (double v : none) energy += 4.0 * v * v;
  EXPECT_LT(std::sqrt(energy / none.size()), 40.0 / std::sqrt(2.0) / 8.0);
}

TEST(FilterEndToEnd, BandRejectRemovesAPeriodicInterferencePattern) {
  Plane clean(kN * kN), disturbed(kN * kN);
  for (long y = 0; y < kN; ++y)
    for (long x = 0; x < kN; ++x) {
      const double v = 120.0 + 50.0 * std::sin(2 * kPi * x / kN) * std::cos(2 * kPi * 2 * y / kN);
      clean[y * kN + x] = v;
      disturbed[y * kN + x] = v + 30.0 * std::cos(2 * kPi * 0.25 * x);  // 32 cycles across
    }
  vxPelBuffer<double> image(kN, kN, 32);
  for (long i = 0; i < kN * kN; ++i) image.at(i % kN, i / kN) = disturbed[i];
  vxFrequencyBuffer spectrum;
  vfForwardFFT<double>(image, spectrum);
  const vxFrequencyFilterBandReject reject(0.008, 0.004, 0.25, vxPair<long>(kN, kN), 1);
  vxFrequencyBuffer filtered;
  reject.apply(spectrum, filtered);
  const Plane result = realPart(filtered);
  const double before = rms(disturbed, clean);
  const double after = rms(result, clean);
  RecordProperty("residual_before", std::to_string(before));
  RecordProperty("residual_after", std::to_string(after));
  EXPECT_NEAR(before, 30.0 / std::sqrt(2.0), 0.01);
  EXPECT_LT(after, before / 100.0) << "before " << before << ", after " << after;
}

TEST(FilterEndToEnd, MaskedInverseAfterGaborEqualsTheUnmaskedOne) {
  std::mt19937 rng(3);
  for (const vxPair<long>& size : {vxPair<long>(64, 64), vxPair<long>(128, 32), vxPair<long>(16, 64)}) {
    vxPelBuffer<unsigned char> image(size.x, size.y, 32);
    for (long y = 0; y < size.y; ++y)
      for (long x = 0; x < size.x; ++x) image.at(x, y) = static_cast<unsigned char>(rng());
    vxFrequencyBuffer spectrum;
    vfForwardFFT<unsigned char>(image, spectrum);
    const vxFrequencyFilterGabor gabor(vxPair<double>(0.02, 0.01), vxPair<double>(0.0, 0.0), vxRadian(1.2),
                                       0.2, size, 0);
    gabor.apply(spectrum);
    ASSERT_EQ(vx_detail::FrequencyBufferAccess::masked(spectrum), 1);
    vxFrequencyBuffer unmasked(spectrum);
    vx_detail::FrequencyBufferAccess::setMask(unmasked, 0, 0, 0);
    vxPelBuffer<unsigned char> a, b;
    vxPelBuffer<double> da, db;
    vfInverseFFT<unsigned char>(spectrum, a, true);
    vfInverseFFT<unsigned char>(unmasked, b, true);
    vfInverseFFT<double>(spectrum, da, false);
    vfInverseFFT<double>(unmasked, db, false);
    for (long y = 0; y < size.y; ++y) {
      ASSERT_EQ(std::memcmp(&a.at(0, y), &b.at(0, y), size.x), 0) << size.x << "x" << size.y;
      ASSERT_EQ(std::memcmp(&da.at(0, y), &db.at(0, y), size.x * sizeof(double)), 0);
    }
  }
}

TEST(FilterEndToEnd, FiltersWorkThroughTheBaseClassAndTheirClones) {
  const vxPair<long> size(32, 32);
  vxFrequencyBuffer kernel(32, 32);
  kernel.putReal(0, 0, 1.0, false);
  kernel.putReal(1, 0, 1.0, false);
  std::vector<std::unique_ptr<vxFrequencyFilter>> filters;
  filters.emplace_back(new vxFrequencyFilterBandPass(0.05, 0.0, 0.2, size, 1));
  filters.emplace_back(new vxFrequencyFilterBandReject(0.05, 0.0, 0.2, size, 1));
  filters.emplace_back(new vxFrequencyFilterGabor(vxPair<double>(0.05, 0.05), vxPair<double>(0, 0),
                                                  vxRadian(0.3), 0.2, size, 1));
  filters.emplace_back(new vxFrequencyFilterGaborReject(vxPair<double>(0.05, 0.05), vxPair<double>(0, 0),
                                                        vxRadian(0.3), 0.2, size, 1));
  filters.emplace_back(new vxFrequencyFilterImage(kernel));

  vxPelBuffer<unsigned char> image(32, 32, 32);
  for (long y = 0; y < 32; ++y)
    for (long x = 0; x < 32; ++x) image.at(x, y) = static_cast<unsigned char>(x * y);
  vxFrequencyBuffer spectrum;
  vfForwardFFT<unsigned char>(image, spectrum);

  for (const auto& filter : filters) {
    vxFrequencyFilter& base = *filter;
    EXPECT_TRUE(base.isInitialized());
    vxFrequencyBuffer direct, viaClone;
    base.apply(spectrum, direct);
    vxFrequencyFilter* copy = base.clone();
    copy->apply(spectrum, viaClone);
    EXPECT_EQ(direct, viaClone);
    vxFrequencyBuffer inPlace(spectrum);
    copy->apply(inPlace);
    EXPECT_EQ(inPlace.getReal(3, 4, false), direct.getReal(3, 4, false));
    // Deleting through either virtual base releases the whole object.
    vxPersistent* asPersistent = copy;
    delete asPersistent;
    vxRepBase* asRep = base.clone();
    delete asRep;
  }
}
