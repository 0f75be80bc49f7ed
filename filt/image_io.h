// Internal helpers shared by the forward and inverse image transforms.
#ifndef VXFREQ_FILT_IMAGE_IO_H
#define VXFREQ_FILT_IMAGE_IO_H

#include "filt/fft.h"
#include "filt/image_arith.h"

#include <cmath>

namespace vx_detail {

// The pixel rule of vfFrequencyMapImage with its constants worked out once from the
// range of the values (lo, r): `gain` is 255 / r for the linear rules and
// 255 / log(max(r, 2)) for the logarithm, and `shifted` (lo < 0) measures values
// from lo. The vector kernels of the display mapping give the same pixels.
struct DisplayMapping {
  vxFrequencyDefs::FrequencyMapping rule;
  double lo;
  double gain;
  bool shifted;
};

inline DisplayMapping displayMapping(vxFrequencyDefs::FrequencyMapping rule, double lo, double r) {
  const bool logarithmic = rule == vxFrequencyDefs::Logarithmic;
  return DisplayMapping{rule, lo, 255.0 / (logarithmic ? std::log(r < 2.0 ? 2.0 : r) : r), lo < 0.0};
}

inline unsigned char displayPixel(const DisplayMapping& m, double v) {
  switch (m.rule) {
    case vxFrequencyDefs::Clamp:
      return !(v >= 0.0) ? 0 : lowBitsTruncated<unsigned char>(v < 255.0 ? v : 255.0);
    case vxFrequencyDefs::Linear:
      return lowBitsTruncated<unsigned char>(m.shifted ? (v - m.lo) * m.gain : v * m.gain);
    case vxFrequencyDefs::LinearRange: {
      const double t = (v - m.lo) * m.gain;
      return t > 255.0 ? 255 : (t >= 0.0 ? lowBitsTruncated<unsigned char>(t) : 0);
    }
    case vxFrequencyDefs::Logarithmic:
      return lowBitsTruncated<unsigned char>(std::log(m.shifted ? v - m.lo + 1.0 : v + 1.0) * m.gain);
    case vxFrequencyDefs::Angle:
      return lowBitsTruncated<unsigned char>(v * 40.58451);
  }
  return 0;
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
