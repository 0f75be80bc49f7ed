#include "filt/filters/checks.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"

#include <limits>
#include <stdexcept>

namespace vx_detail {

using Defs = vxFrequencyDefs;

void checkFrequency(double frequency) {
  if (!(frequency >= 0.0 && frequency <= 0.5)) throw Defs::InvalidArgument(msg::kFrequencyRange);
}

bool isFilterSize(long n) {
  return n >= 1 && n <= (1L << 30) && (isPowerOfTwo(n) || extendedMode());
}

void checkRadiusAndSize(long radius, const vxPair<long>& size, const wchar_t* negativeRadius) {
  if (radius < 0) throw Defs::InvalidArgument(negativeRadius);
  const wchar_t* sizeMessage = extendedMode() ? msg::kFilterSideRange : msg::kPowerOfTwo;
  if (!isFilterSize(size.x)) throw Defs::InvalidSize(sizeMessage);
  if (!isFilterSize(size.y)) throw Defs::InvalidSize(sizeMessage);
  if (radius > 0x7FFFFFFFL) throw Defs::InvalidArgument(msg::kRadiusTooLarge);
}

void checkApply(const vxFrequencyBuffer& source, bool built, const wchar_t* unbuiltMessage,
                long width, long height) {
  if (!source.isInitialized()) throw Defs::Uninitialized(msg::kBufferUninitialized);
  // Spatial samples left by an in-place inverse are no spectrum to filter. The
  // compatible mode lets them through, as earlier versions did.
  if (source.inverseComputed() && extendedMode()) throw Defs::InvalidBuffer(msg::kInverseComputed);
  if (!built) throw Defs::Uninitialized(unbuiltMessage);
  if (source.width() != width || source.height() != height)
    throw Defs::InvalidSize(msg::kFilterSize);
}

void requireTable(const float* table) {
  if (table == nullptr) throw Defs::Uninitialized(msg::kFilterUninitialized);
}

}  // namespace vx_detail
