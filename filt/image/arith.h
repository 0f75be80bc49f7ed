// Rounding helpers of the image loops (internal), shared by every path.
#ifndef VXFREQ_FILT_IMAGE_ARITH_H
#define VXFREQ_FILT_IMAGE_ARITH_H

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

// The pixel rule of vfFrequencyMapImage with its constants worked out once from the
// range of the values (lo, r): `rule` is the vxFrequencyDefs::FrequencyMapping,
// `gain` 255 / r for the linear rules and 255 / log(max(r, 2)) for the logarithm,
// and `shifted` (lo < 0) measures values from lo.
struct DisplayMapping {
  enum Rule { Clamp = 0, Linear = 1, LinearRange = 2, Logarithmic = 3, Angle = 4 };
  int rule;
  double lo;
  double gain;
  bool shifted;
};

// The pixel of one value: the reference every path of the display kernels gives.
inline unsigned char displayPixel(const DisplayMapping& m, double v) {
  switch (m.rule) {
    case DisplayMapping::Clamp:
      return !(v >= 0.0) ? 0 : lowBitsTruncated<unsigned char>(v < 255.0 ? v : 255.0);
    case DisplayMapping::Linear:
      return lowBitsTruncated<unsigned char>(m.shifted ? (v - m.lo) * m.gain : v * m.gain);
    case DisplayMapping::LinearRange: {
      const double t = (v - m.lo) * m.gain;
      return t > 255.0 ? 255 : (t >= 0.0 ? lowBitsTruncated<unsigned char>(t) : 0);
    }
    case DisplayMapping::Logarithmic:
      return lowBitsTruncated<unsigned char>(std::log(m.shifted ? v - m.lo + 1.0 : v + 1.0) *
                                             m.gain);
    default:
      return lowBitsTruncated<unsigned char>(v * 40.58451);
  }
}

}  // namespace vx_detail

#endif
