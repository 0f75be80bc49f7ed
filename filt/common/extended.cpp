// The mode of the calling thread (filt/extended.h).
#include "filt/extended.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"

#include <atomic>

namespace {

// A thread's own mode: 1 extended, 0 compatible, kFollowDefault while no scope
// chooses one; and the process default as the thread took it (kFollowDefault until
// it first asks), which it keeps, so that no call under way ever changes its mode.
constexpr signed char kFollowDefault = -1;
thread_local signed char tMode = kFollowDefault;
thread_local signed char tDefault = kFollowDefault;

// The process default: 1 extended, 0 compatible, -1 until read from VXFREQ_MODE.
std::atomic<int> gDefault{-1};

bool processDefault() {
  return vx_detail::environmentSwitch(gDefault, "VXFREQ_MODE", "extended", true);
}

}  // namespace

vxExtendedScope::vxExtendedScope(bool extended) : previous_(tMode) { tMode = extended ? 1 : 0; }

vxExtendedScope::~vxExtendedScope() { tMode = previous_; }

bool vfExtendedMode() {
  if (tMode != kFollowDefault) return tMode != 0;
  if (tDefault == kFollowDefault) tDefault = processDefault() ? 1 : 0;
  return tDefault != 0;
}

void vfSetExtendedByDefault(bool extended) {
  processDefault();  // the environment is read first, so that it cannot override this
  gDefault.store(extended ? 1 : 0, std::memory_order_release);
  tDefault = kFollowDefault;  // the calling thread takes the new default at once
}

bool vfExtendedByDefault() { return processDefault(); }

long vfMaxTransformSide() { return vx_detail::maxTransformSide(); }

namespace vx_detail {

long maxTransformSide() { return extendedMode() ? kMaxExtendedSide : kMaxTransformSide; }

const wchar_t* tooLargeMessage() {
  return extendedMode() ? msg::kTooLargeExtended : msg::kTooLarge;
}

const wchar_t* pictureSideMessage() {
  return extendedMode() ? msg::kPictureSideExtended : msg::kPictureSide;
}

bool isTransformSide(long n) { return isPowerOfTwo(n) && n <= maxTransformSide(); }

}  // namespace vx_detail
