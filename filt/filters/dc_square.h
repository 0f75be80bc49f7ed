// The square of frequencies around zero that the band and Gabor filters clear (pass
// filters, DC removal) or keep as they were (reject filters, DC protection), through
// the buffer's centred element access (internal).
#ifndef VXFREQ_FILT_FILTERS_DC_SQUARE_H
#define VXFREQ_FILT_FILTERS_DC_SQUARE_H

#include "filt/fft.h"

#include <vector>

namespace vx_detail {

// The values of a DC square in visiting order.
using DcValues = std::vector<vxPair<double>>;

// The square of radius R holds the signed frequencies -(R - 1) .. R - 1 along both
// axes, visited row by row; nothing when R < 1.
void clearDcSquare(vxFrequencyBuffer& target, long radius);
DcValues saveDcSquare(const vxFrequencyBuffer& source, long radius);
void restoreDcSquare(vxFrequencyBuffer& target, long radius, const DcValues& saved);

// Before filtering: a reject filter with a protection radius saves its square.
inline DcValues dcBefore(bool reject, const vxFrequencyBuffer& source, long radius) {
  return reject && radius > 0 ? saveDcSquare(source, radius) : DcValues();
}
// After filtering: a pass filter clears its square, a reject filter restores it.
inline void dcAfter(bool reject, vxFrequencyBuffer& target, long radius, const DcValues& saved) {
  if (!reject)
    clearDcSquare(target, radius);
  else if (radius > 0)
    restoreDcSquare(target, radius, saved);
}

}  // namespace vx_detail

#endif
