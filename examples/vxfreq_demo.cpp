// vxfreq-demo: transforms a built-in test image and prints what the spectrum holds.
#include "filt/fft.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

// A 256 x 256 surface: a soft gradient, a periodic interference pattern of
// 16 cycles across the width, and an oriented scratch.
void makeDefaultImage(vxPelBuffer<double>& image) {
  const long n = image.width();
  const double pi = 3.141592653589793;
  for (long y = 0; y < n; ++y)
    for (long x = 0; x < n; ++x) {
      double v = 100.0 + 0.2 * x + 30.0 * std::cos(2.0 * pi * 16.0 * x / n);
      const double d = std::fabs(0.5 * x - y + 40.0) / std::sqrt(1.25);  // line y = x/2 + 40
      if (d < 1.5) v += 60.0;
      image.at(x, y) = v;
    }
}

}  // namespace

int main() {
  const long n = 256;
  vxPelBuffer<double> real(n, n, 32), imaginary(n, n, 32);
  makeDefaultImage(real);

  const auto start = std::chrono::steady_clock::now();
  vxFrequencyBuffer input(real, imaginary);
  vxFrequencyBuffer spectrum;
  vfForwardFFT(input, spectrum);
  const auto end = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(end - start).count();

  // The strongest non-DC frequency should be the interference pattern at (+-16, 0).
  double best = 0.0;
  long bestX = 0, bestY = 0;
  for (long y = -n / 2; y < n / 2; ++y)
    for (long x = -n / 2; x < n / 2; ++x) {
      if (x == 0 && y == 0) continue;
      const vxPair<double> v = spectrum.get(x, y, true);
      const double m = std::hypot(v.x, v.y);
      if (m > best) {
        best = m;
        bestX = x;
        bestY = y;
      }
    }
  std::printf("forward transform of the built-in %ld x %ld image: %.2f ms\n", n, n, ms);
  std::printf("DC term: %.1f\n", spectrum.getReal(0, 0, true));
  std::printf("strongest frequency: (%ld, %ld) cycles per image, magnitude %.1f\n", bestX, bestY,
              best);
  return 0;
}
