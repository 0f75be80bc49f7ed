// Finding a scratch by its orientation: a Gabor filter tuned across the scratch's
// direction, whose output magnitude is the local strength of structure of that
// orientation and scale.
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "guide_picture.h"

#include <cstdio>

int main() {
  const vxPelBuffer<unsigned char> picture = guide::surfacePicture(256, true, true);
  vxFrequencyBuffer spectrum;
  vfForwardFFT(picture, spectrum);
  const vxPair<long> size(spectrum.width(), spectrum.height());

  // A thin line's spectrum is a streak through zero across the line: the scratch at
  // -30 degrees puts its energy along 60 degrees. The filter's centre sits on that
  // streak at 0.2 cycles per pixel, long along it (sigma 0.04, plateau 0.1) and narrow
  // across it (sigma 0.006), which keeps other directions out.
  const vxRadian angle((guide::kScratchDegrees + 90.0) * guide::kPi / 180.0);
  const vxFrequencyFilterGabor gabor(vxPair<double>(0.04, 0.006), vxPair<double>(0.1, 0.0), angle,
                                     0.2, size, 0);
  std::printf("Gabor filter at 60 degrees: gain table %ld x %ld\n", gabor.supportWidth(),
              gabor.supportHeight());
  gabor.apply(spectrum);

  // The magnitude of the complex result, stretched to 0 .. 255: bright along the
  // scratch, dark elsewhere (the pattern and the grain have other orientations).
  vxPelBuffer<unsigned char> strength;
  vfInverseFFT(spectrum, strength, true);

  // Where the scratch is: the pixels above half the strongest response.
  long count = 0, minX = 256, maxX = -1, minY = 256, maxY = -1;
  for (long y = 0; y < strength.height(); ++y)
    for (long x = 0; x < strength.width(); ++x)
      if (strength.at(x, y) > 127) {
        ++count;
        if (x < minX) minX = x;
        if (x > maxX) maxX = x;
        if (y < minY) minY = y;
        if (y > maxY) maxY = y;
      }
  std::printf("scratch: %ld pixels in x %ld .. %ld, y %ld .. %ld\n", count, minX, maxX, minY, maxY);

  guide::writePgm("gabor.pgm", guide::sideBySide(picture, strength));
  return 0;
}
