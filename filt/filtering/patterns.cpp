// The patterns the continued padding finds (filt/patterns.h), handed to the caller: the
// search of search.h on the picture as the padding sees it, and each pattern's
// amplitude from the picture's Fourier sum at its refined frequency.
#include "filt/patterns.h"

#include "filt/common/messages.h"
#include "filt/filtering/picture.h"
#include "filt/filtering/search.h"
#include "filt/image/padding_layout.h"

#include <algorithm>
#include <vector>

namespace {

using namespace vx_detail::patterns;

// |sum over the picture of residue(x, y) e^(-2 pi i (fx x + fy y))| / (w h): the
// amplitude A of the pattern 2 Re(A e^(2 pi i (fx x + fy y))).
double amplitudeOf(const Picture& picture, const Frequency& k) {
  const std::vector<Complex> ex = phasor(-k.kx, 0, picture.w), ey = phasor(-k.ky, 0, picture.h);
  Complex total;
  for (long y = 0; y < picture.h; ++y) {
    pollAttention(y);
    Complex row;
    const double* r = &picture.residue[at(0, y, picture.w)];
    for (long x = 0; x < picture.w; ++x) row += r[x] * ex[static_cast<std::size_t>(x)];
    total += row * ey[static_cast<std::size_t>(y)];
  }
  return std::abs(total) / (static_cast<double>(picture.w) * static_cast<double>(picture.h));
}

}  // namespace

template <class T>
std::vector<vxPatternPeak> vfFindPatterns(const vxPelBuffer_const<T>& image,
                                          const std::vector<const vxFrequencyFilter*>& filters,
                                          const vxPaddingOptions& options) {
  vx_detail::checkPaddedPicture(image);
  vxPaddingOptions continued = options;
  continued.padding = vxPadding::Continue;
  vx_detail::checkPaddingOptions(continued, !filters.empty());
  for (const vxFrequencyFilter* filter : filters)
    if (filter == nullptr)
      throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kContinueNeedsFilter);
  const long w = image.width(), h = image.height();
  if (w == 0 || h == 0) return {};
  const vxPair<long> size = vfPaddedTransformSize(w, h, options.margin);
  if (options.margin != 0 && (size.x == w || size.y == h))
    throw vxFrequencyDefs::InvalidSize(vx_detail::msg::kContinueNoRoom);
  const Picture picture(image, options.window);
  std::vector<vxPatternPeak> found;
  for (const Frequency& k : findPatterns(picture, filters, size.x, size.y))
    found.push_back(vxPatternPeak{k.kx, k.ky, amplitudeOf(picture, k)});
  return found;
}

#define VXFREQ_INSTANTIATE_PATTERNS(T)                                           \
  template VX_API std::vector<vxPatternPeak> vfFindPatterns<T>(                  \
      const vxPelBuffer_const<T>&, const std::vector<const vxFrequencyFilter*>&, \
      const vxPaddingOptions&)

VXFREQ_INSTANTIATE_PATTERNS(unsigned char);
VXFREQ_INSTANTIATE_PATTERNS(unsigned short);
VXFREQ_INSTANTIATE_PATTERNS(double);
#undef VXFREQ_INSTANTIATE_PATTERNS
