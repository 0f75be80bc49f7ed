// Keeping results exact and repeatable: the same picture gives the same bits on every
// machine, vector path and compiler. The program hashes a spectrum and an angle image
// and compares them with the hashes taken when this guide was written.
#include "filt/atan2.h"
#include "filt/fft.h"
#include "guide_picture.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// FNV-1a over the bytes of floats.
std::uint64_t hashFloats(std::uint64_t h, float value) {
  unsigned char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  for (unsigned char b : bytes) h = (h ^ b) * 0x100000001b3ULL;
  return h;
}
constexpr std::uint64_t kFnvStart = 0xcbf29ce484222325ULL;

}  // namespace

int main() {
  // Integer arithmetic only: stripes and noise, the same picture everywhere.
  const long size = 128;
  vxPelBuffer<unsigned char> picture(size, size, 32);
  std::uint32_t state = 2024;
  for (long y = 0; y < size; ++y)
    for (long x = 0; x < size; ++x) {
      state = state * 1664525u + 1013904223u;
      const long t = (3 * x + 2 * y) % 32;  // a triangle wave, 3 and 2 cycles per 32 pixels
      picture.at(x, y) = static_cast<unsigned char>(64 + 6 * (t < 16 ? t : 32 - t) + (state >> 27));
    }

  // The transform: single-precision operations in a fixed order, without fused
  // multiply-add, on every path (scalar, SSE2, AVX2, AVX-512, NEON).
  vxFrequencyBuffer spectrum;
  vfForwardFFT(picture, spectrum);
  std::uint64_t spectrumHash = kFnvStart;
  for (long y = 0; y < spectrum.height(); ++y)
    for (long x = 0; x < spectrum.width(); ++x) {
      spectrumHash = hashFloats(spectrumHash, static_cast<float>(spectrum.getReal(x, y, false)));
      spectrumHash =
          hashFloats(spectrumHash, static_cast<float>(spectrum.getImaginary(x, y, false)));
    }

  // Keep the positive horizontal frequencies only (zero the others and the mean): the
  // inverse is complex, and its angle is the local phase of the stripes. vfInverseFFTAngle uses
  // vfAtan2f, the library's own arctangent, instead of the C library's atan2f.
  const long W = spectrum.width(), H = spectrum.height();
  for (long y = -H / 2; y < H / 2; ++y)
    for (long x = -W / 2; x <= 0; ++x) spectrum.put(x, y, vxPair<double>(0, 0), true);
  vxPelBuffer<unsigned char> magnitude;
  vxPelBuffer<double> angle;
  vfInverseFFTAngle(spectrum, magnitude, angle, false);
  std::uint64_t angleHash = kFnvStart;
  for (long y = 0; y < angle.height(); ++y)
    for (long x = 0; x < angle.width(); ++x)
      angleHash = hashFloats(angleHash, static_cast<float>(angle.at(x, y)));

  const std::uint64_t expectedSpectrum = 0xfcb1196e2ab458a2ULL,
                      expectedAngle = 0x3e5d89d074676162ULL;
  std::printf("spectrum %016" PRIx64 " (expected %016" PRIx64 ")\n", spectrumHash,
              expectedSpectrum);
  std::printf("angles   %016" PRIx64 " (expected %016" PRIx64 ")\n", angleHash, expectedAngle);
  std::printf("vfAtan2f(1, -1) = %.9g\n", static_cast<double>(vfAtan2f(1.0f, -1.0f)));

  // Angles mapped to grey levels (0 .. 2 pi to 0 .. 254).
  vxPelBuffer<double> wrapped(size, size, 32);
  for (long y = 0; y < size; ++y)
    for (long x = 0; x < size; ++x)
      wrapped.at(x, y) = angle.at(x, y) < 0 ? angle.at(x, y) + 2 * guide::kPi : angle.at(x, y);
  guide::writePgm(
      "exact.pgm",
      guide::sideBySide(picture, vfFrequencyMapImage(wrapped, vxFrequencyDefs::Angle, 0, 0)));
  return spectrumHash == expectedSpectrum && angleHash == expectedAngle ? 0 : 1;
}
