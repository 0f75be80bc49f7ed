// vfSetImagePlacement: the picture a buffer's values stand for.
#include "filt/buffer/access.h"
#include "filt/common/messages.h"
#include "filt/fft.h"

#include <cstdint>
#include <limits>

using Access = vx_detail::FrequencyBufferAccess;

namespace {
bool fitsInt32(long v) {
  return v >= std::numeric_limits<std::int32_t>::min() &&
         v <= std::numeric_limits<std::int32_t>::max();
}
}  // namespace

void vfSetImagePlacement(vxFrequencyBuffer& buf, long width, long height, vxPair<long> offset) {
  if (!buf.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  if (width < 1 || height < 1 || width > buf.width() || height > buf.height())
    throw vxFrequencyDefs::InvalidSize(vx_detail::msg::kImageLargerThanTransform);
  if (!fitsInt32(offset.x) || !fitsInt32(offset.y))
    throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kOffsetRange);
  vx2XformCache identity;
  identity.setIdentity();
  Access::setImageSize(buf, width, height);
  Access::setPlacement(buf, offset, identity);
  Access::setPaddingMargin(buf, 0, 0);
}
