// Rounding helpers of the image loops (internal), shared by every path.
#ifndef VXFREQ_FILT_IMAGE_ARITH_H
#define VXFREQ_FILT_IMAGE_ARITH_H

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

}  // namespace vx_detail

#endif
