// The spectrum of a picture and how to read it: the log-magnitude spectrum with the
// zero frequency in the middle, and the strongest periodic pattern read from it.
#include "filt/fft.h"
#include "guide_picture.h"

#include <cmath>
#include <cstdio>

int main() {
  const vxPelBuffer<unsigned char> picture = guide::surfacePicture(256, true, true);

  vxFrequencyBuffer spectrum;
  vfForwardFFT(picture, spectrum);  // 256 x 256, already powers of two: no padding
  const long W = spectrum.width(), H = spectrum.height();

  // Magnitudes with the zero frequency at (W/2, H/2), on a logarithmic grey scale.
  const vxPelBuffer<double> magnitude = spectrum.getMagnitudeImage(true);
  const vxPelBuffer<unsigned char> shown =
      vfFrequencyMapImage(magnitude, vxFrequencyDefs::Logarithmic, 0.0, 0.0);

  // The strongest element outside the lowest frequencies (the light's slow changes).
  // Centred indices: element (x, y) is x cycles across the width, y down the height.
  long bestX = 0, bestY = 0;
  double best = 0.0;
  for (long y = 0; y < H / 2; ++y)
    for (long x = -W / 2; x < W / 2; ++x) {
      if (std::abs(x) < 6 && y < 6) continue;
      const double m = std::hypot(spectrum.getReal(x, y, true), spectrum.getImaginary(x, y, true));
      if (m > best) best = m, bestX = x, bestY = y;
    }
  const double fx = static_cast<double>(bestX) / W, fy = static_cast<double>(bestY) / H;
  const double f = std::hypot(fx, fy);
  std::printf(
      "strongest pattern: element (%ld, %ld), %.4f cycles per pixel (a period of "
      "%.2f pixels), waves along %.1f degrees, amplitude %.1f grey levels\n",
      bestX, bestY, f, 1.0 / f, std::atan2(fy, fx) * 180.0 / guide::kPi,
      2.0 * best / (static_cast<double>(W) * H));

  guide::writePgm("frequencies.pgm", guide::sideBySide(picture, shown));
  return 0;
}
