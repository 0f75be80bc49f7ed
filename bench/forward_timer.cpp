// The C++ side of bench/python_overhead.py, loaded into the same Python process with
// ctypes: the time of forward transforms of a 256 x 256 8-bit image, into one reused
// buffer or (`fresh` non-zero) into a new buffer each time, through the shared
// library, as the Python module calls it.
#include "filt/fft.h"

#include <chrono>

extern "C" __attribute__((visibility("default"))) double vxfreq_time_forward_u8(long calls,
                                                                                int fresh) {
  const long n = 256;
  static vxPelBuffer<unsigned char> image;
  static vxFrequencyBuffer spectrum;
  if (!image.isBound()) {
    image = vxPelBuffer<unsigned char>(n, n, 32);
    for (long y = 0; y < n; ++y)
      for (long x = 0; x < n; ++x)
        image.at(x, y) = static_cast<unsigned char>((x * 7 + y * 13) & 255);
    vfForwardFFT<unsigned char>(image, spectrum);
  }
  const auto start = std::chrono::steady_clock::now();
  if (fresh != 0) {
    for (long i = 0; i < calls; ++i) {
      vxFrequencyBuffer result;
      vfForwardFFT<unsigned char>(image, result);
    }
  } else {
    for (long i = 0; i < calls; ++i) vfForwardFFT<unsigned char>(image, spectrum);
  }
  const auto end = std::chrono::steady_clock::now();
  // Mean nanoseconds per call.
  return std::chrono::duration<double, std::nano>(end - start).count() / static_cast<double>(calls);
}
