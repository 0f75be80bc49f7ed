#include "test_image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace demo {

namespace {

constexpr double kPi = 3.141592653589793;

// A small deterministic generator, so that the picture is the same everywhere.
class Random {
public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  // Uniform in [-1, 1).
  double next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0;
  }

private:
  std::uint64_t state_;
};

// Smooth noise: random values on a lattice of `cell` pixels, interpolated with a
// smooth step. Wraps around the picture, so it has no edges of its own.
class LatticeNoise {
public:
  LatticeNoise(long size, long cell, Random& random)
      : cells_(std::max(1L, size / cell)), cell_(static_cast<double>(size) / cells_) {
    values_.resize(static_cast<std::size_t>(cells_ * cells_));
    for (double& v : values_) v = random.next();
  }

  double at(double x, double y) const {
    const double fx = x / cell_, fy = y / cell_;
    const long ix = static_cast<long>(std::floor(fx)), iy = static_cast<long>(std::floor(fy));
    const double tx = smooth(fx - ix), ty = smooth(fy - iy);
    const double top = lerp(value(ix, iy), value(ix + 1, iy), tx);
    const double bottom = lerp(value(ix, iy + 1), value(ix + 1, iy + 1), tx);
    return lerp(top, bottom, ty);
  }

private:
  static double smooth(double t) { return t * t * (3.0 - 2.0 * t); }
  static double lerp(double a, double b, double t) { return a + (b - a) * t; }
  double value(long x, long y) const {
    x = ((x % cells_) + cells_) % cells_;
    y = ((y % cells_) + cells_) % cells_;
    return values_[static_cast<std::size_t>(y * cells_ + x)];
  }

  long cells_;
  double cell_;
  std::vector<double> values_;
};

}  // namespace

TestImageFeatures testImageFeatures(long size) {
  // The pattern's frequency is a whole number of cycles across the picture in x and y,
  // so that its energy sits in a few transform elements: (60, 22) cycles on 512 pixels.
  const double cx = std::round(60.0 * size / 512.0), cy = std::round(22.0 * size / 512.0);
  TestImageFeatures f;
  f.scratchDegrees = -30.0;
  f.patternFrequency = std::hypot(cx, cy) / static_cast<double>(size);
  f.patternDegrees = std::atan2(cy, cx) * 180.0 / kPi;
  return f;
}

GreyImage makeTestImage(long size) {
  const TestImageFeatures features = testImageFeatures(size);
  const double s = static_cast<double>(size);
  Random random(0x5eed5eedULL);
  const LatticeNoise relief(size, size / 6, random);
  const LatticeNoise grain(size, size / 24, random);
  const LatticeNoise fine(size, std::max(1L, size / 96), random);

  // Scratch: from 15 % to 85 % of the way along a line through the middle.
  const double sa = features.scratchDegrees * kPi / 180.0;
  const double ux = std::cos(sa), uy = std::sin(sa);
  const double centreX = 0.52 * s, centreY = 0.55 * s, halfLength = 0.4 * s;
  // Pattern.
  const double pa = features.patternDegrees * kPi / 180.0;
  const double kx = 2.0 * kPi * features.patternFrequency * std::cos(pa);
  const double ky = 2.0 * kPi * features.patternFrequency * std::sin(pa);

  GreyImage image(size, size, 8);
  for (long y = 0; y < size; ++y)
    for (long x = 0; x < size; ++x) {
      double v = 112.0;
      // Uneven light, periodic like the relief so that opposite edges meet without a
      // seam (the transform sees the picture as repeating).
      v += 12.0 * std::cos(2.0 * kPi * x / s - 0.8) + 8.0 * std::sin(2.0 * kPi * y / s + 0.3);
      v += 26.0 * relief.at(x, y) + 12.0 * grain.at(x, y) + 5.0 * fine.at(x, y);
      v += 2.0 * random.next();  // sensor noise

      const double dx = x - centreX, dy = y - centreY;
      const double along = dx * ux + dy * uy, across = -dx * uy + dy * ux;
      const double fade = std::clamp((halfLength - std::fabs(along)) / (0.05 * s), 0.0, 1.0);
      v += 60.0 * fade * std::exp(-across * across / (2.0 * 0.8 * 0.8));

      v += 20.0 * std::cos(kx * x + ky * y);
      image.at(x, y) = static_cast<std::uint16_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    }
  return image;
}

}  // namespace demo
