// The mode of the calling thread (filt/extended.h).
#include "filt/extended.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/fft.h"

#include <algorithm>

#include <atomic>

namespace {

// A thread's own mode: 1 extended, 0 compatible, kFollowDefault while no scope
// chooses one; and the process default as the thread took it (kFollowDefault until
// it first asks), which it keeps, so that no call under way ever changes its mode.
constexpr signed char kFollowDefault = -1;
thread_local signed char tMode = kFollowDefault;
// The thread's sizing rule and explicit size.
thread_local int tRule = static_cast<int>(vxSizeRule::OwnSize);
thread_local long tWidth = 0;
thread_local long tHeight = 0;
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

vxSizingScope::vxSizingScope(vxSizeRule rule)
    : previousRule_(tRule), previousWidth_(tWidth), previousHeight_(tHeight) {
  switch (rule) {
    case vxSizeRule::OwnSize:
    case vxSizeRule::NextFastSize:
    case vxSizeRule::NextPowerOfTwo:
      break;
    default:  // Explicit names its size: the other constructor
      throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kUnknownSizeRule);
  }
  tRule = static_cast<int>(rule);
  tWidth = 0;
  tHeight = 0;
}

vxSizingScope::vxSizingScope(long width, long height)
    : previousRule_(tRule), previousWidth_(tWidth), previousHeight_(tHeight) {
  if (width < 1 || height < 1 || width > vx_detail::kMaxExtendedSide ||
      height > vx_detail::kMaxExtendedSide)
    throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kExplicitSize);
  tRule = static_cast<int>(vxSizeRule::Explicit);
  tWidth = width;
  tHeight = height;
}

vxSizingScope::~vxSizingScope() {
  tRule = previousRule_;
  tWidth = previousWidth_;
  tHeight = previousHeight_;
}

vxSizeRule vfSizeRule() { return static_cast<vxSizeRule>(tRule); }

void vfExplicitTransformSize(long* width, long* height) {
  if (width != nullptr) *width = tWidth;
  if (height != nullptr) *height = tHeight;
}

long vfNextFastSize(long n) {
  if (n <= 1) return 1;
  if (n > (1L << 40)) throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kFastSizeRange);
  // The smallest 2^a 3^b 5^c 7^d >= n: for each product of 3s, 5s and 7s up to the next
  // power of two, the power of two that lifts it to n.
  long best = vx_detail::nextPowerOfTwo(n);
  for (long p7 = 1; p7 < best; p7 *= 7)
    for (long p5 = p7; p5 < best; p5 *= 5)
      for (long p3 = p5; p3 < best; p3 *= 3) {
        long m = p3;
        while (m < n) m *= 2;
        best = std::min(best, m);
      }
  return best;
}

namespace vx_detail {

long maxTransformSide() { return extendedMode() ? kMaxExtendedSide : kMaxTransformSide; }

const wchar_t* tooLargeMessage() {
  return extendedMode() ? msg::kTooLargeExtended : msg::kTooLarge;
}

const wchar_t* pictureSideMessage() {
  return extendedMode() ? msg::kPictureSideExtended : msg::kPictureSide;
}

bool isTransformSide(long n) {
  return extendedMode() ? n >= 1 && n <= kMaxExtendedSide : isCompatibleSide(n);
}

void checkTransformSize(long width, long height) {
  if (!extendedMode() && (!isPowerOfTwo(width) || !isPowerOfTwo(height)))
    throw vxFrequencyDefs::InvalidSize(msg::kCompatibleTransformSides);
}

long largestSide(int axis) {
  if (!extendedMode() || static_cast<vxSizeRule>(tRule) != vxSizeRule::Explicit)
    return maxTransformSide();
  return axis == 0 ? tWidth : tHeight;
}

long transformSide(long side, long margin, int axis) {
  const long padded = side + 2 * margin;
  if (!extendedMode()) return nextPowerOfTwo(padded);
  switch (static_cast<vxSizeRule>(tRule)) {
    case vxSizeRule::OwnSize:
      return margin > 0 ? vfNextFastSize(padded) : std::max(padded, 1L);
    case vxSizeRule::NextFastSize:
      return vfNextFastSize(padded);
    case vxSizeRule::NextPowerOfTwo:
      return nextPowerOfTwo(padded);
    case vxSizeRule::Explicit:
      break;
  }
  const long size = axis == 0 ? tWidth : tHeight;
  if (size < padded) throw vxFrequencyDefs::InvalidSize(msg::kBelowExplicitSize);
  return size;
}

}  // namespace vx_detail
