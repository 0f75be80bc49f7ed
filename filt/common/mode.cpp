// The mode of the calling thread (filt/extended.h).
#include "filt/extended.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"

namespace {
thread_local bool tExtended = false;
}  // namespace

vxExtendedScope::vxExtendedScope(bool extended) : previous_(tExtended) { tExtended = extended; }

vxExtendedScope::~vxExtendedScope() { tExtended = previous_; }

bool vfExtendedMode() { return tExtended; }

long vfMaxTransformSide() { return vx_detail::maxTransformSide(); }

namespace vx_detail {

bool setExtendedMode(bool extended) {
  const bool previous = tExtended;
  tExtended = extended;
  return previous;
}

long maxTransformSide() { return tExtended ? kMaxExtendedSide : kMaxTransformSide; }

const wchar_t* tooLargeMessage() { return tExtended ? msg::kTooLargeExtended : msg::kTooLarge; }

const wchar_t* pictureSideMessage() {
  return tExtended ? msg::kPictureSideExtended : msg::kPictureSide;
}

bool isTransformSide(long n) { return isPowerOfTwo(n) && n <= maxTransformSide(); }

}  // namespace vx_detail
