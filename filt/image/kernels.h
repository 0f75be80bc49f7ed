// Kernels of the loops between images and frequency buffers (internal).
//
// The forward and inverse image transforms convert samples into the buffer's floats
// and results back into pixels, a row at a time, through these kernels. Every path
// has a table, the scalar one included; all are compiled from filt/image/lanes/impl.h,
// so each value goes through the same float operations in the same order on every
// path (sqrt and the basic operations are correctly rounded in vector registers
// too), with the same conversions. The table of paths (filt/simd/paths.h) holds the
// kernels of each path; activeImageKernels() gives those of the calling thread's.
#ifndef VXFREQ_FILT_IMAGE_KERNELS_H
#define VXFREQ_FILT_IMAGE_KERNELS_H

#include "filt/image/arith.h"
#include "filt/simd/paths.h"

#include <cstdint>

namespace vx_detail {

// `values` points at `count` complex values (re, im interleaved); s is the scale.
struct ImageKernels {
  // Pixel = the low 8 (16) bits of sqrtf(re re + im im) s + 0.5 truncated toward
  // zero (lowBitsTruncated).
  void (*magnitudeU8)(const float* values, std::int32_t count, float s, unsigned char* out);
  void (*magnitudeU16)(const float* values, std::int32_t count, float s, unsigned short* out);
  // The same with (sqrtf(re re + im im) s - lo) gain + 0.5.
  void (*stretchedU8)(const float* values, std::int32_t count, float s, float lo, float gain,
                      unsigned char* out);
  void (*stretchedU16)(const float* values, std::int32_t count, float s, float lo, float gain,
                       unsigned short* out);
  // Lowers *minimum to, and raises *maximum to, the smallest and largest
  // re re + im im of the values (a value replaces them only when smaller or larger).
  void (*squaredMagnitudeRange)(const float* values, std::int32_t count, float* minimum,
                                float* maximum);
  // Pixel = sqrtf(re re + im im) s, widened to double; with `quadrant` not null
  // also the quadrant code ((re < 0) | (im < 0) << 1).
  void (*magnitudeDouble)(const float* values, std::int32_t count, float s, double* out,
                          unsigned char* quadrant);
  // Quadrant codes alone.
  void (*quadrantCodes)(const float* values, std::int32_t count, unsigned char* out);
  // re and im pixels = s re and s im, widened to double.
  void (*scaledParts)(const float* values, std::int32_t count, float s, double* re, double* im);
  // The real part s re as a pixel: rounded to the nearest integer, halves to even, and
  // saturated to 0 .. 255 (65535) for 8 (16) bits, NaN giving 0; widened for double.
  void (*realU8)(const float* values, std::int32_t count, float s, unsigned char* out);
  void (*realU16)(const float* values, std::int32_t count, float s, unsigned short* out);
  void (*realDouble)(const float* values, std::int32_t count, float s, double* out);

  // Samples converted to float (exactly for integers, rounded to nearest for
  // doubles) into `count` consecutive floats.
  void (*floatsFromU8)(const unsigned char* in, std::int32_t count, float* out);
  void (*floatsFromU16)(const unsigned short* in, std::int32_t count, float* out);
  void (*floatsFromDouble)(const double* in, std::int32_t count, float* out);
  // Real and imaginary samples converted into `count` complex values.
  void (*complexFromU8)(const unsigned char* re, const unsigned char* im, std::int32_t count,
                        float* out);
  void (*complexFromU16)(const unsigned short* re, const unsigned short* im, std::int32_t count,
                         float* out);
  void (*complexFromDouble)(const double* re, const double* im, std::int32_t count, float* out);

  // The buffer images: the real (`part` 0) or imaginary (1) parts widened to double.
  void (*partDouble)(const float* values, std::int32_t count, int part, double* out);

  // The display mapping (vfFrequencyMapImage): displayPixel of `count` doubles. The
  // logarithm of the vector paths is a short series whose error cannot move a pixel
  // across a boundary; values whose pixel lies near one (and values outside
  // [1, 2^1023)) take std::log.
  void (*mapDisplay)(const double* in, std::int32_t count, const DisplayMapping& m,
                     unsigned char* out);
  // The smallest and largest of `count` doubles as a scan in order finds them, when
  // no NaN is among them and the zeros, if any, have one sign (then the order of the
  // values cannot matter: no NaN resets the scan and no -0 and +0 tie); false
  // otherwise, leaving *lo and *hi alone.
  bool (*plainRange)(const double* in, std::int32_t count, double* lo, double* hi);
};

}  // namespace vx_detail

#endif
