// Removing a periodic interference pattern: a band-reject filter on the ring of the
// pattern's frequency, read from the spectrum (see frequencies.cpp).
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "guide_picture.h"

#include <cmath>
#include <cstdio>

int main() {
  const vxPelBuffer<unsigned char> picture = guide::surfacePicture(256, true, true);
  vxFrequencyBuffer spectrum;
  vfForwardFFT(picture, spectrum);
  const vxPair<long> size(spectrum.width(), spectrum.height());

  // The pattern's frequency, 0.1248 cycles per pixel: element (30, 11) of the spectrum.
  const double frequency = std::hypot(30.0 / size.x, 11.0 / size.y);
  // Gains: 0 within 0.003 of the ring, rising back to 1 with a sigma of 0.004 beyond it.
  // No DC protection is needed: the ring is far from the zero frequency.
  const vxFrequencyFilterBandReject reject(0.004, 0.003, frequency, size, 0);
  std::printf("band-reject at %.4f cycles per pixel, gain table of %ld entries\n", frequency,
              reject.supportWidth() * 32);

  const double before =
      std::hypot(spectrum.getReal(30, 11, true), spectrum.getImaginary(30, 11, true));
  reject.apply(spectrum);  // in place
  const double after =
      std::hypot(spectrum.getReal(30, 11, true), spectrum.getImaginary(30, 11, true));
  std::printf("magnitude at the pattern's element: %.1f before, %.3g after\n", before, after);

  // The real part, rounded and saturated to 0 .. 255: a filtered picture's way back. An
  // unbound image: the inverse makes it, 256 x 256.
  vxPelBuffer<unsigned char> cleaned;
  vfInverseFFTReal(spectrum, cleaned);
  guide::writePgm("band_reject.pgm", guide::sideBySide(picture, cleaned));
  return 0;
}
