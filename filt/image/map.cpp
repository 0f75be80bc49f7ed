// vfFrequencyMapImage: double images to 8-bit display images.
#include "filt/fft.h"
#include "filt/image/kernels.h"
#include "filt/image/support.h"
#include "filt/threads/rows.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

// The range of the values as one scan in storage order finds it: the high end is
// the first of the largest values (NaN never wins), and the low end follows
// `if (!(v >= lo)) lo = v`, under which a NaN takes the low end and the value after
// it replaces the NaN whatever it is. A band of rows is scanned on its own, starting
// from NaN so that its first value is taken; joining the bands in order then gives
// the serial result: a band that holds a NaN decides the low end by itself, and one
// that does not lowers it only with a value strictly below it (or below a NaN).
struct RangeScan {
  double lo = std::numeric_limits<double>::quiet_NaN();
  double hi = -std::numeric_limits<double>::infinity();
  bool sawNaN = false;

  // A row without NaN, and without zeros of both signs, joins as its plain range
  // (the kernels find it); the others are scanned value by value.
  void scan(const vx_detail::ImageKernels& k, const double* pixels, long stride, long w, long first,
            long end) {
    for (long y = first; y < end; ++y) {
      const double* row = pixels + y * stride;
      RangeScan plain;
      if (k.plainRange(row, static_cast<std::int32_t>(w), &plain.lo, &plain.hi)) {
        join(plain);
        continue;
      }
      for (long x = 0; x < w; ++x) {
        const double v = row[x];
        if (v > hi) hi = v;
        if (!(v >= lo)) lo = v;
        if (v != v) sawNaN = true;
      }
    }
  }

  void join(const RangeScan& band) {
    if (band.hi > hi) hi = band.hi;
    if (band.sawNaN || lo != lo || band.lo < lo) lo = band.lo;
  }
};

void scanRange(const double* pixels, long stride, long w, long h, double& lo, double& hi) {
  if (w <= 0 || h <= 0) return;
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  std::vector<RangeScan> bands(static_cast<std::size_t>(vx_detail::rowBands(h, w)));
  vx_detail::splitRowBands(
      h, static_cast<long>(bands.size()), [&](long band, long first, long end) {
        bands[static_cast<std::size_t>(band)].scan(k, pixels, stride, w, first, end);
      });
  RangeScan range;
  range.lo = lo;
  range.hi = hi;
  for (const RangeScan& band : bands) range.join(band);
  lo = range.lo;
  hi = range.hi;
}

bool knownRule(vxFrequencyDefs::FrequencyMapping rule) {
  switch (rule) {
    case vxFrequencyDefs::Clamp:
    case vxFrequencyDefs::Linear:
    case vxFrequencyDefs::LinearRange:
    case vxFrequencyDefs::Logarithmic:
    case vxFrequencyDefs::Angle:
      return true;
  }
  return false;
}

}  // namespace

vxPelBuffer<unsigned char> vfFrequencyMapImage(const vxPelBuffer_const<double>& image,
                                               vxFrequencyDefs::FrequencyMapping mapping,
                                               double low, double high) {
  vxPelBuffer<unsigned char> result;
  vfFrequencyMapImage(image, mapping, low, high, result);
  return result;
}

void vfFrequencyMapImage(const vxPelBuffer_const<double>& image,
                         vxFrequencyDefs::FrequencyMapping mapping, double low, double high,
                         vxPelBuffer<unsigned char>& result) {
  if (!image.isBound()) throw vxFrequencyDefs::UnboundWindow();
  const long w = image.width();
  const long h = image.height();
  const double* pixels = image.pointToOffset();
  const long stride = image.stride();

  double lo = static_cast<double>(1.0e20f);
  double hi = static_cast<double>(-1.0e20f);
  if (mapping == vxFrequencyDefs::Linear || mapping == vxFrequencyDefs::Logarithmic) {
    scanRange(pixels, stride, w, h, lo, hi);
  } else if (mapping == vxFrequencyDefs::LinearRange) {
    lo = low;
    hi = high;
  }
  // The range starts at 0 unless the values go below it.
  double r = hi;
  if (lo < 0.0) r = hi - lo;
  if (!(r > 0.0)) r = 1.0;

  if (!(result.isBound() && result.width() == w && result.height() == h))
    result = vxPelBuffer<unsigned char>(w, h, 32);
  result.copyXforms(image);
  const bool logarithmic = mapping == vxFrequencyDefs::Logarithmic;
  const vx_detail::DisplayMapping map{
      mapping, lo, 255.0 / (logarithmic ? std::log(r < 2.0 ? 2.0 : r) : r), lo < 0.0};
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  unsigned char* out = result.pointToOffset();
  const long outStride = result.stride();
  // A rule the mapping does not know leaves the image as it was made (or as it was).
  if (!knownRule(mapping)) return;
  vx_detail::splitRows(h, w, [&](long first, long end) {
    for (long y = first; y < end; ++y)
      k.mapDisplay(pixels + y * stride, static_cast<std::int32_t>(w), map, out + y * outStride);
  });
}
