// What the forward transforms of images and of samples read in place share (internal):
// a row of samples converted into the engines' layout, and the clearing of new storage
// when a transform is interrupted.
#ifndef VXFREQ_FILT_IMAGE_FORWARD_ROWS_H
#define VXFREQ_FILT_IMAGE_FORWARD_ROWS_H

#include "filt/buffer/access.h"
#include "filt/fft.h"
#include "filt/image/kernels.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vx_detail {

// One row of samples converted to float, or of real and imaginary samples to complex
// floats, by the active path's kernels (float samples are copied as they are).
inline void samplesToFloats(const ImageKernels& k, const unsigned char* in, long count,
                            float* out) {
  k.floatsFromU8(in, static_cast<std::int32_t>(count), out);
}
inline void samplesToFloats(const ImageKernels& k, const unsigned short* in, long count,
                            float* out) {
  k.floatsFromU16(in, static_cast<std::int32_t>(count), out);
}
inline void samplesToFloats(const ImageKernels& k, const double* in, long count, float* out) {
  k.floatsFromDouble(in, static_cast<std::int32_t>(count), out);
}
inline void samplesToFloats(const ImageKernels&, const float* in, long count, float* out) {
  std::memcpy(out, in, static_cast<std::size_t>(count) * sizeof(float));
}
inline void samplesToComplex(const ImageKernels& k, const unsigned char* re,
                             const unsigned char* im, long count, float* out) {
  k.complexFromU8(re, im, static_cast<std::int32_t>(count), out);
}
inline void samplesToComplex(const ImageKernels& k, const unsigned short* re,
                             const unsigned short* im, long count, float* out) {
  k.complexFromU16(re, im, static_cast<std::int32_t>(count), out);
}
inline void samplesToComplex(const ImageKernels& k, const double* re, const double* im, long count,
                             float* out) {
  k.complexFromDouble(re, im, static_cast<std::int32_t>(count), out);
}

// The caller's attention, asked before rows 64, 128, ... of a picture's conversion into
// the engines' layout: converting a large picture into fresh memory takes as long as a
// pass of the engines, and should stop as promptly. A picture of up to 64 rows adds no
// check.
inline void conversionAttention(long y) {
  if (y > 0 && y % 64 == 0) vfThrowExceptionOnFailure(vsys_attention_check());
}

// Row `out` of the real-input layout of width W: `count` samples (none past the
// picture's last row), zeros up to W. Floats W .. 2W-1 are not written (the engine does
// not read them, and writes them with the spectrum), but the imaginary slot of a
// one-sample row.
template <class T>
void realInputRow(const ImageKernels& k, const T* samples, long count, long W, float* out) {
  if (count > 0) samplesToFloats(k, samples, count, out);
  std::memset(out + count, 0, static_cast<std::size_t>(W - count) * sizeof(float));
  if (W == 1) out[1] = 0.0f;
}

// Runs fill(W, H, data) on the values of a buffer just sized, whose storage is new when
// `fresh`. New storage is not cleared first; should `fill` throw (an attention request, an
// allocation failure), it is cleared then, since storage from the library's cache may
// hold the values of another result.
template <class Fill>
void fillOrClear(vxFrequencyBuffer& result, bool fresh, Fill fill) {
  float* data = FrequencyBufferAccess::data(result);
  try {
    fill(result.width(), result.height(), data);
  } catch (...) {
    if (fresh)
      std::memset(data, 0,
                  2 * static_cast<std::size_t>(result.width()) * result.height() * sizeof(float));
    throw;
  }
}

}  // namespace vx_detail

#endif
