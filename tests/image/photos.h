// scikit-image's sample photographs for the tests of padding and filtering, read as
// grey levels through libpng (tests/CMakeLists.txt finds them and defines
// VXFREQ_TEST_PHOTOS to their folder).
#ifndef VXFREQ_TESTS_IMAGE_PHOTOS_H
#define VXFREQ_TESTS_IMAGE_PHOTOS_H

#ifdef VXFREQ_TEST_PHOTOS
#include "platform/pelbuffer.h"

#include <png.h>

#include <cmath>
#include <string>
#include <vector>

namespace test_photos {

// The photograph `name` of the sample folder as grey levels row by row; empty when it
// cannot be read.
inline std::vector<double> readGrey(const std::string& name, long& w, long& h) {
  const std::string path = std::string(VXFREQ_TEST_PHOTOS) + "/" + name;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_GRAY;
  std::vector<unsigned char> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return {};
  w = image.width;
  h = image.height;
  return std::vector<double>(bytes.begin(), bytes.end());
}

// RMS of `out` - `clean` (row by row, out's size) in the border strip `border` pixels
// wide and inside it.
struct BorderErrors {
  double border, interior;
};
inline BorderErrors borderErrors(const vxPelBuffer<double>& out, const std::vector<double>& clean,
                                 long border) {
  const long w = out.width(), h = out.height();
  double sums[2] = {0, 0}, counts[2] = {0, 0};
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) {
      const int strip = x < border || y < border || x >= w - border || y >= h - border;
      const double d = out.at(x, y) - clean[y * w + x];
      sums[strip] += d * d;
      counts[strip] += 1;
    }
  return {std::sqrt(sums[1] / counts[1]), std::sqrt(sums[0] / counts[0])};
}

}  // namespace test_photos

#endif
#endif
