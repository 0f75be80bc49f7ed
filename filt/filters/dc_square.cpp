#include "filt/filters/dc_square.h"

namespace vx_detail {

void clearDcSquare(vxFrequencyBuffer& target, long radius) {
  for (long y = 1 - radius; y <= radius - 1; ++y) {
    for (long x = 1 - radius; x <= radius - 1; ++x) {
      target.putReal(x, y, 0.0, true);
      target.putImaginary(x, y, 0.0, true);
    }
  }
}

DcValues saveDcSquare(const vxFrequencyBuffer& source, long radius) {
  DcValues saved;
  for (long y = 1 - radius; y <= radius - 1; ++y)
    for (long x = 1 - radius; x <= radius - 1; ++x) saved.push_back(source.get(x, y, true));
  return saved;
}

void restoreDcSquare(vxFrequencyBuffer& target, long radius, const DcValues& saved) {
  auto next = saved.begin();
  for (long y = 1 - radius; y <= radius - 1; ++y)
    for (long x = 1 - radius; x <= radius - 1; ++x) target.put(x, y, *next++, true);
}

}  // namespace vx_detail
