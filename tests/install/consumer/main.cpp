// A client of the installed library: runs the README's API example on a picture
// whose left half varies along 30 degrees and whose right half along 120 degrees,
// both with a period of 8 pixels, and checks that only the left half responds. Also
// checks that the library's errors reach the client as their own classes.
#include "filt/freqfilt.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

// The README's example (compiled from a separate file).
vxPelBuffer<unsigned char> orientedStrength(const unsigned char* pixels, long width, long height);

namespace {

double meanOver(const vxPelBuffer<unsigned char>& image, long x0, long x1, long y0, long y1) {
  double sum = 0.0;
  for (long y = y0; y < y1; ++y)
    for (long x = x0; x < x1; ++x) sum += image.at(x, y);
  return sum / static_cast<double>((x1 - x0) * (y1 - y0));
}

int fail(const char* what) {
  std::fprintf(stderr, "consumer: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  const long width = 160, height = 96;  // transformed as 256 x 128
  const double pi = 3.141592653589793;
  std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height));
  for (long y = 0; y < height; ++y)
    for (long x = 0; x < width; ++x) {
      const double angle = (x < width / 2 ? 30.0 : 120.0) * pi / 180.0;
      const double phase = 2.0 * pi / 8.0 * (x * std::cos(angle) + y * std::sin(angle));
      pixels[static_cast<std::size_t>(y * width + x)] =
          static_cast<unsigned char>(std::lround(128.0 + 100.0 * std::cos(phase)));
    }

  const vxPelBuffer<unsigned char> strength = orientedStrength(pixels.data(), width, height);
  if (!strength.isBound() || strength.width() != width || strength.height() != height)
    return fail("the result does not have the input's size");
  const double left = meanOver(strength, 16, width / 2 - 16, 16, height - 16);
  const double right = meanOver(strength, width / 2 + 16, width - 16, 16, height - 16);
  std::printf("mean strength: %.1f where the pattern matches, %.1f where it does not\n", left,
              right);
  if (!(left > 60.0 && left > 4.0 * right))
    return fail("the Gabor filter did not pick out the matching half");

  try {
    vxFrequencyFilterBandPass bad(-0.01, 0.0, 0.1, vxPair<long>(256, 128), 0);
    return fail("a negative sigma was accepted");
  } catch (const vxFrequencyDefs::InvalidArgument& e) {
    if (e.errorNumber() != 0x10006300 || std::strlen(e.what()) == 0)
      return fail("InvalidArgument has the wrong number or no message");
  }
  try {
    vxPelBuffer<unsigned char> unbound;
    vxFrequencyBuffer spectrum;
    vfForwardFFT(unbound, spectrum);
    return fail("an unbound image was transformed");
  } catch (const vxFrequencyDefs::Errors& e) {
    if (e.errorNumber() != 0x10006303) return fail("UnboundWindow has the wrong number");
  }
  std::puts("consumer: ok");
  return 0;
}
