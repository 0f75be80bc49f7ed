// What the guide's programs share: the test picture they work on and a PGM writer,
// so that each program shows only the library calls of its task.
#ifndef VXFREQ_EXAMPLES_GUIDE_PICTURE_H
#define VXFREQ_EXAMPLES_GUIDE_PICTURE_H

#include "platform/pelbuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace guide {

constexpr double kPi = 3.141592653589793;

// The picture's periodic interference: 30 cycles across its width and 11 down its
// height (on 256 pixels), f = 0.1248 cycles per pixel at 20.1 degrees.
constexpr long kPatternCyclesX = 30, kPatternCyclesY = 11;
// The scratch runs at -30 degrees (x to the right, y down).
constexpr double kScratchDegrees = -30.0;

// A size x size 8-bit picture of a machined surface: uneven light and a grain, with
// a periodic interference pattern and a thin bright scratch when asked for. The same
// picture on every machine: the grain comes from an integer generator.
inline vxPelBuffer<unsigned char> surfacePicture(long size, bool pattern, bool scratch) {
  vxPelBuffer<unsigned char> picture(size, size, 32);
  std::uint32_t state = 12345;
  const double s = static_cast<double>(size), a = kScratchDegrees * kPi / 180.0;
  for (long y = 0; y < size; ++y)
    for (long x = 0; x < size; ++x) {
      state = state * 1664525u + 1013904223u;
      double v = 110.0 + 18.0 * std::cos(2 * kPi * x / s - 0.8) + 12.0 * std::sin(2 * kPi * y / s);
      v += 14.0 * std::sin(2 * kPi * (3 * x + 5 * y) / s) + static_cast<double>(state >> 30);
      if (pattern) v += 22.0 * std::cos(2 * kPi * (kPatternCyclesX * x + kPatternCyclesY * y) / s);
      if (scratch) {
        const double dx = x - 0.5 * s, dy = y - 0.55 * s;
        const double along = dx * std::cos(a) + dy * std::sin(a);
        const double across = -dx * std::sin(a) + dy * std::cos(a);
        if (std::fabs(along) < 0.35 * s) v += 60.0 * std::exp(-across * across / 1.28);
      }
      picture.at(x, y) = static_cast<unsigned char>(std::lround(std::min(std::max(v, 0.0), 255.0)));
    }
  return picture;
}

// Two pictures next to each other, 8 white columns apart.
inline vxPelBuffer<unsigned char> sideBySide(const vxPelBuffer<unsigned char>& left,
                                             const vxPelBuffer<unsigned char>& right) {
  const long gap = 8;
  vxPelBuffer<unsigned char> both(left.width() + gap + right.width(),
                                  std::max(left.height(), right.height()), 1);
  vfPelSet<unsigned char>(both, 255);
  for (long y = 0; y < left.height(); ++y)
    for (long x = 0; x < left.width(); ++x) both.at(x, y) = left.at(x, y);
  for (long y = 0; y < right.height(); ++y)
    for (long x = 0; x < right.width(); ++x) both.at(left.width() + gap + x, y) = right.at(x, y);
  return both;
}

// Writes an 8-bit picture as binary PGM.
inline void writePgm(const std::string& path, const vxPelBuffer<unsigned char>& picture) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  std::fprintf(file, "P5\n%ld %ld\n255\n", picture.width(), picture.height());
  for (long y = 0; y < picture.height(); ++y)
    std::fwrite(&picture.at(0, y), 1, static_cast<std::size_t>(picture.width()), file);
  if (std::fclose(file) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace guide

#endif
