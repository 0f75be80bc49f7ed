// Convolution by multiplication of transforms: a Gaussian blur made by multiplying
// the picture's spectrum by the kernel's, checked against the direct sum at a few
// pixels.
#include "filt/fft.h"
#include "filt/freqfilt.h"
#include "guide_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int main() {
  const long size = 256;
  const vxPelBuffer<unsigned char> picture = guide::surfacePicture(size, true, true);

  // The kernel, a Gaussian of sigma 2.5 pixels scaled to sum 1, in an image of the
  // transform's size with its centre at pixel (0, 0): offsets (dx, dy) go to
  // ((dx + size) % size, (dy + size) % size), the negative ones wrapping round.
  const double sigma = 2.5;
  const long half = 8;
  vxPelBuffer<double> kernel(size, size, 32);  // all 0
  double sum = 0.0;
  for (long dy = -half; dy <= half; ++dy)
    for (long dx = -half; dx <= half; ++dx)
      sum += std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma));
  for (long dy = -half; dy <= half; ++dy)
    for (long dx = -half; dx <= half; ++dx)
      kernel.at((dx + size) % size, (dy + size) % size) =
          std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma)) / sum;

  // The filter is the kernel's transform; applying it multiplies element by element.
  vxFrequencyBuffer kernelSpectrum, spectrum;
  vfForwardFFT(kernel, kernelSpectrum);
  const vxFrequencyFilterImage blur(kernelSpectrum);
  vfForwardFFT(picture, spectrum);
  blur.apply(spectrum);

  vxPelBuffer<double> exact;  // the real result, unrounded
  vxPelBuffer<double> imaginary;
  vfInverseFFT(spectrum, exact, imaginary);

  // The same convolution summed directly (the transform's convolution is circular).
  double worst = 0.0;
  for (long y : {0L, 37L, 128L, 255L})
    for (long x : {0L, 90L, 200L, 255L}) {
      double direct = 0.0;
      for (long dy = -half; dy <= half; ++dy)
        for (long dx = -half; dx <= half; ++dx)
          direct += kernel.at((dx + size) % size, (dy + size) % size) *
                    picture.at((x - dx + size) % size, (y - dy + size) % size);
      worst = std::max(worst, std::fabs(direct - exact.at(x, y)));
    }
  std::printf("largest difference from the direct sum at 16 pixels: %.2g grey levels\n", worst);
  if (worst > 0.01) return 1;

  vxPelBuffer<unsigned char> blurred(size, size, 32);
  for (long y = 0; y < size; ++y)
    for (long x = 0; x < size; ++x)
      blurred.at(x, y) =
          static_cast<unsigned char>(std::lround(std::min(std::max(exact.at(x, y), 0.0), 255.0)));
  guide::writePgm("convolution.pgm", guide::sideBySide(picture, blurred));
  return 0;
}
