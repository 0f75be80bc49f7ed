// The search for the periodic patterns of a picture in the filters' band (internal).
#ifndef VXFREQ_FILT_FILTERING_SEARCH_H
#define VXFREQ_FILT_FILTERING_SEARCH_H

#include "filt/filtering/picture.h"
#include "filt/freqfilt.h"

#include <vector>

namespace vx_detail::patterns {

// The patterns of the picture in the band: the frequencies of the peaks of its
// Hann-windowed spectrum that stand out (see the constants above), searched in the half
// plane kx >= 0 (k and -k are one pattern). The search runs on the picture's plain
// transform (Wd x Hd, its own size), the refinement then reaches a 256th of a
// bin of the padded transform.
std::vector<Frequency> findPatterns(const Picture& picture,
                                    const std::vector<const vxFrequencyFilter*>& filters, long W,
                                    long H);

}  // namespace vx_detail::patterns

#endif
