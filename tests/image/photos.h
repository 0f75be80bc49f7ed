// scikit-image's sample photographs for the tests of padding and filtering, read as
// grey levels through libpng (tests/CMakeLists.txt finds them and defines
// VXFREQ_TEST_PHOTOS to their folder).
#ifndef VXFREQ_TESTS_IMAGE_PHOTOS_H
#define VXFREQ_TESTS_IMAGE_PHOTOS_H

#ifdef VXFREQ_TEST_PHOTOS
#include <png.h>

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

}  // namespace test_photos

#endif
#endif
