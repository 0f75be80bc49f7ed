// Internal helpers shared by the inverse image transforms and the display mapping of
// double images: pixel conversions and output sizes. (No input or output happens here.)
#ifndef VXFREQ_FILT_IMAGE_SUPPORT_H
#define VXFREQ_FILT_IMAGE_SUPPORT_H

#include "filt/fft.h"

#include <cmath>
#include <cstdint>

namespace vx_detail {

// The low bits of `t` truncated toward zero, as an integer pixel of type P. Values
// outside the 64-bit range and NaN give 0, as the truncating conversion of the
// hardware does for its low bits, without undefined behaviour.
template <class P, class F>
inline P lowBitsTruncated(F t) {
  constexpr F limit = static_cast<F>(9223372036854775807.0);
  if (!(t > -limit && t < limit)) return 0;
  return static_cast<P>(static_cast<std::uint64_t>(static_cast<std::int64_t>(t)));
}

// The size of the image a buffer stands for, limited to what its storage holds.
inline long outputWidth(const vxFrequencyBuffer& b) {
  const long w = b.imageWidth();
  return w < 0 ? 0 : (w > b.width() ? b.width() : w);
}
inline long outputHeight(const vxFrequencyBuffer& b) {
  const long h = b.imageHeight();
  return h < 0 ? 0 : (h > b.height() ? b.height() : h);
}

}  // namespace vx_detail

#endif
