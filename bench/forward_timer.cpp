// The C++ side of bench/python_overhead.py: the time of one forward transform of a
// 256 x 256 8-bit image into a reused buffer, through the shared library, as the
// Python module calls it.
//
//   vxfreq_forward_timer CALLS    prints the mean nanoseconds per call of CALLS calls
#include "filt/fft.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const long calls = argc > 1 ? std::atol(argv[1]) : 200;
  const long n = 256;
  vxPelBuffer<unsigned char> image(n, n, 32);
  for (long y = 0; y < n; ++y)
    for (long x = 0; x < n; ++x) image.at(x, y) = static_cast<unsigned char>((x * 7 + y * 13) & 255);
  vxFrequencyBuffer spectrum;
  for (int i = 0; i < 20; ++i) vfForwardFFT<unsigned char>(image, spectrum);  // warm up
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < calls; ++i) vfForwardFFT<unsigned char>(image, spectrum);
  const auto end = std::chrono::steady_clock::now();
  const double ns = std::chrono::duration<double, std::nano>(end - start).count();
  std::printf("%.1f\n", ns / static_cast<double>(calls));
  return spectrum.getReal(0, 0, false) > 0 ? 0 : 1;
}
