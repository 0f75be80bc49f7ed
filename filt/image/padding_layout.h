// What the padded transforms and the filtering with continued patterns share (internal):
// the checks of their arguments, where each position of the transform takes its value
// from, and what the buffer records.
#ifndef VXFREQ_FILT_IMAGE_PADDING_LAYOUT_H
#define VXFREQ_FILT_IMAGE_PADDING_LAYOUT_H

#include "filt/padding.h"

#include <vector>

namespace vx_detail {

// UnboundWindow, or InvalidSize for a side above the mode's largest transform.
void checkPaddedPicture(const vx_PelBuffer& image);
// InvalidArgument for an unknown padding or window, and for Continue without `filters`.
void checkPaddingOptions(const vxPaddingOptions& options, bool filters);

// Along one axis of n picture pixels in a transform of N: positions 0 .. forwardExtent - 1
// continue the picture forwards (its pixels, then the larger half of the margin), the
// others lie before its first pixel, through the wrap-around.
long forwardExtent(long n, long N);
// For each of the N positions, the picture position (0 .. n-1) whose value it takes, or
// -1 where the padding is a constant (Zero, Mean; Continue takes Edge's positions).
std::vector<long> paddingSource(long n, long N, vxPadding padding);

// The picture's size, offset and client transform, and the margin of a padded transform
// of `size`, recorded in `result`.
void recordPaddedPicture(vxFrequencyBuffer& result, const vx_PelBuffer& image,
                         const vxPair<long>& size);

}  // namespace vx_detail

#endif
