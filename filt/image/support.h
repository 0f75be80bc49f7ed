// Internal helpers shared by the inverse image transforms and the display mapping of
// double images: pixel conversions and output sizes. (No input or output happens here.)
#ifndef VXFREQ_FILT_IMAGE_SUPPORT_H
#define VXFREQ_FILT_IMAGE_SUPPORT_H

#include "filt/fft.h"
#include "filt/image/arith.h"

namespace vx_detail {

// The size of the image a buffer stands for, limited to what its storage holds.
inline long outputWidth(const vxFrequencyBuffer& b) {
  const long w = b.imageWidth();
  return w < 0 ? 0 : (w > b.width() ? b.width() : w);
}
inline long outputHeight(const vxFrequencyBuffer& b) {
  const long h = b.imageHeight();
  return h < 0 ? 0 : (h > b.height() ? b.height() : h);
}

// The real part of `buf`'s inverse into `image`, computed in place whatever the
// spectrum (in the extended mode by the real-output engine): for a caller whose buffer
// is its own and is dropped afterwards, which spares a second array.
void inverseRealDiscarding(vxFrequencyBuffer& buf, vxPelBuffer<double>& image);
// The same real part as 8- or 16-bit pixels, converted as vfInverseFFTReal converts it.
void inverseRealDiscarding(vxFrequencyBuffer& buf, vxPelBuffer<unsigned char>& image);
void inverseRealDiscarding(vxFrequencyBuffer& buf, vxPelBuffer<unsigned short>& image);

}  // namespace vx_detail

#endif
