// Filtering with the picture's periodic patterns continued into the padding
// (filt/filtering.h): the patterns in the filters' band are found, measured and fitted,
// and the padding continues them over the picture's border pixels repeated outwards.
//
// The work is sized so that it stays a fraction of the filtering itself: one transform
// of the padded size finds the peaks, their frequencies are refined on block sums of the
// demodulated picture, and the smooth amplitude fields live on a grid 8 times coarser
// than the transform along each side.
#include "filt/filtering.h"

#include "filt/common/messages.h"
#include "filt/filtering/fit.h"
#include "filt/filtering/search.h"
#include "filt/image/padding_layout.h"
#include "filt/image/support.h"

#include <algorithm>
#include <vector>

namespace {

using namespace vx_detail::patterns;
using Defs = vxFrequencyDefs;

void checkFilters(const std::vector<const vxFrequencyFilter*>& filters) {
  for (const vxFrequencyFilter* filter : filters)
    if (filter == nullptr) throw Defs::InvalidArgument(vx_detail::msg::kContinueNeedsFilter);
}

// The padded picture: the picture itself as it is; outside it, the picture's border
// pixels repeated outwards with the patterns taken away, plus the patterns continued.
vxPelBuffer<double> continuedPicture(const Picture& picture, std::vector<Pattern>& patterns, long W,
                                     long H) {
  const long w = picture.w, h = picture.h;
  const std::vector<long> columns = vx_detail::paddingSource(w, W, vxPadding::Edge);
  const std::vector<long> rows = vx_detail::paddingSource(h, H, vxPadding::Edge);
  vxPelBuffer<double> padded(W, H, 32);
  for (long y = 0; y < H; ++y) {
    pollAttention(y);
    double* out = &padded.at(0, y);
    const long sy = rows[static_cast<std::size_t>(y)];
    // The picture's own pixels as they are; the padding: the border pixels less the
    // patterns, plus the patterns continued.
    const long from = y < h ? w : 0;
    if (y < h) std::copy_n(&picture.values[at(0, y, w)], w, out);
    for (long x = from; x < W; ++x)
      out[x] = picture.residue[at(columns[static_cast<std::size_t>(x)], sy, w)] + picture.mean;
    for (Pattern& pattern : patterns) pattern.addRow(y, from, W, 1.0, out);
  }
  return padded;
}

}  // namespace

template <class T>
void vfForwardFFTContinued(const vxPelBuffer_const<T>& image, const vxPaddingOptions& options,
                           const std::vector<const vxFrequencyFilter*>& filters,
                           vxFrequencyBuffer& result) {
  if (options.padding != vxPadding::Continue) {
    vfForwardFFTPadded(image, options, result);
    return;
  }
  vx_detail::checkPaddedPicture(image);
  vx_detail::checkPaddingOptions(options, !filters.empty());
  checkFilters(filters);
  const long w = image.width(), h = image.height();
  if (w == 0 || h == 0) {
    vfForwardFFT(image, result);
    return;
  }
  const vxPair<long> size = vfPaddedTransformSize(w, h, options.margin);
  const long W = size.x, H = size.y;
  // A margin asked for but without room along a side would filter the picture with its
  // opposite edges meeting: refused, rather than done silently without padding.
  if (options.margin != 0 && (W == w || H == h))
    throw Defs::InvalidSize(vx_detail::msg::kContinueNoRoom);

  Picture picture(image, options.window);
  const std::vector<Frequency> frequencies = findPatterns(picture, filters, W, H);
  std::vector<Pattern> patterns;
  if (!frequencies.empty()) {
    patterns = fitPatterns(picture, frequencies, W, H);
    if (!patterns.empty()) {
      vfForwardFFT<double>(continuedPicture(picture, patterns, W, H), result);
      vx_detail::recordPaddedPicture(result, image, size);
      return;
    }
  }
  // Nothing stands out: the padding is Edge's, bit for bit.
  vxPaddingOptions edge = options;
  edge.padding = vxPadding::Edge;
  vfForwardFFTPadded(image, edge, result);
}

template <class T>
vxPelBuffer<double> vfFilterPicture(const vxPelBuffer_const<T>& image,
                                    const std::vector<const vxFrequencyFilter*>& filters,
                                    const vxPaddingOptions& options) {
  checkFilters(filters);
  vxFrequencyBuffer spectrum;
  vfForwardFFTContinued(image, options, filters, spectrum);
  for (const vxFrequencyFilter* filter : filters) filter->apply(spectrum);
  vxPelBuffer<double> real;
  vx_detail::inverseRealDiscarding(spectrum, real);
  return real;
}

#define VXFREQ_INSTANTIATE_FILTERING(T)                                          \
  template VX_API void vfForwardFFTContinued<T>(                                 \
      const vxPelBuffer_const<T>&, const vxPaddingOptions&,                      \
      const std::vector<const vxFrequencyFilter*>&, vxFrequencyBuffer&);         \
  template VX_API vxPelBuffer<double> vfFilterPicture<T>(                        \
      const vxPelBuffer_const<T>&, const std::vector<const vxFrequencyFilter*>&, \
      const vxPaddingOptions&)

VXFREQ_INSTANTIATE_FILTERING(unsigned char);
VXFREQ_INSTANTIATE_FILTERING(unsigned short);
VXFREQ_INSTANTIATE_FILTERING(double);
#undef VXFREQ_INSTANTIATE_FILTERING
