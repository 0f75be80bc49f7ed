// Small helpers shared by the tests that handle images.
#ifndef VXFREQ_TESTS_IMAGE_TEST_SUPPORT_H
#define VXFREQ_TESTS_IMAGE_TEST_SUPPORT_H

#include "platform/pelbuffer.h"

#include <cstring>

namespace image_test {

// A w x h 8-bit image of a deterministic pattern at offset `at`.
inline vxPelBuffer<unsigned char> patternImage(long w, long h, vxPair<long> at = {0, 0},
                                               int fx = 7, int fy = 13) {
  vxPelBuffer<unsigned char> image(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) image.at(x, y) = static_cast<unsigned char>((x * fx + y * fy) & 255);
  image.offset(at);
  return image;
}

// Same size, offset and pixel bits.
template <class T>
bool samePixels(const vxPelBuffer<T>& a, const vxPelBuffer<T>& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.offset() != b.offset()) return false;
  for (long y = 0; y < a.height(); ++y)
    if (std::memcmp(&a.at(0, y), &b.at(0, y), a.width() * sizeof(T)) != 0) return false;
  return true;
}

}  // namespace image_test

#endif
