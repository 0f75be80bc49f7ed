// vfFrequencyMapImage: double images to 8-bit display images.
#include "filt/fft.h"
#include "filt/image_support.h"

#include <cmath>

using vx_detail::lowBitsTruncated;

namespace {

// The pixel mapping of one rule, given the range of the values.
struct Mapping {
  vxFrequencyDefs::FrequencyMapping rule;
  double lo;
  double r;

  bool apply(double v, unsigned char& pixel) const {
    switch (rule) {
      case vxFrequencyDefs::Clamp:
        pixel = !(v >= 0.0) ? 0 : lowBitsTruncated<unsigned char>(v < 255.0 ? v : 255.0);
        return true;
      case vxFrequencyDefs::Linear: {
        const double g = 255.0 / r;
        pixel = lowBitsTruncated<unsigned char>(lo < 0.0 ? (v - lo) * g : v * g);
        return true;
      }
      case vxFrequencyDefs::LinearRange: {
        const double t = (v - lo) * (255.0 / r);
        if (t > 255.0)
          pixel = 255;
        else if (t >= 0.0)
          pixel = lowBitsTruncated<unsigned char>(t);
        else
          pixel = 0;
        return true;
      }
      case vxFrequencyDefs::Logarithmic: {
        const double g = 255.0 / std::log(r < 2.0 ? 2.0 : r);
        pixel = lowBitsTruncated<unsigned char>(lo < 0.0 ? std::log(v - lo + 1.0) * g
                                                         : std::log(v + 1.0) * g);
        return true;
      }
      case vxFrequencyDefs::Angle:
        pixel = lowBitsTruncated<unsigned char>(v * 40.58451);
        return true;
    }
    return false;
  }
};

}  // namespace

vxPelBuffer<unsigned char> vfFrequencyMapImage(const vxPelBuffer_const<double>& image,
                                               vxFrequencyDefs::FrequencyMapping mapping,
                                               double low, double high) {
  if (!image.isBound()) throw vxFrequencyDefs::UnboundWindow();
  const long w = image.width();
  const long h = image.height();
  const double* pixels = image.pointToOffset();
  const long stride = image.stride();

  double lo = static_cast<double>(1.0e20f);
  double hi = static_cast<double>(-1.0e20f);
  if (mapping == vxFrequencyDefs::Linear || mapping == vxFrequencyDefs::Logarithmic) {
    for (long y = 0; y < h; ++y)
      for (long x = 0; x < w; ++x) {
        const double v = pixels[y * stride + x];
        if (v > hi) hi = v;
        if (!(v >= lo)) lo = v;
      }
  } else if (mapping == vxFrequencyDefs::LinearRange) {
    lo = low;
    hi = high;
  }
  // The range starts at 0 unless the values go below it.
  double r = hi;
  if (lo < 0.0) r = hi - lo;
  if (!(r > 0.0)) r = 1.0;

  vxPelBuffer<unsigned char> result(w, h, 32);
  result.copyXforms(image);
  const Mapping map{mapping, lo, r};
  unsigned char* out = result.pointToOffset();
  const long outStride = result.stride();
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      if (!map.apply(pixels[y * stride + x], out[y * outStride + x])) return result;
  return result;
}
