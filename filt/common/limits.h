// The library's limits and the small checks that every layer makes, each written
// once (internal).
#ifndef VXFREQ_FILT_COMMON_LIMITS_H
#define VXFREQ_FILT_COMMON_LIMITS_H

#include "filt/extended.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

class vxArchive;

namespace vx_detail {

// The largest side of a transform in the compatible mode and in the extended mode
// (filt/extended.h): W and H are powers of two from 1 to this.
inline constexpr long kMaxTransformSide = 2048;
inline constexpr long kMaxExtendedSide = 16384;

// The largest side of the calling thread's mode.
long maxTransformSide();
// Whether the calling thread runs in the extended mode (vfExtendedMode()).
inline bool extendedMode() { return vfExtendedMode(); }

// Whether n is 1, 2, 4, 8, ...
constexpr bool isPowerOfTwo(long n) { return n > 0 && (n & (n - 1)) == 0; }

// The smallest power of two not below n (1 for n <= 1).
constexpr long nextPowerOfTwo(long n) {
  long p = 1;
  while (p < n) p *= 2;
  return p;
}

// The messages of a side above maxTransformSide(), and of a picture side outside 1 to
// maxTransformSide(), in the calling thread's mode.
const wchar_t* tooLargeMessage();
const wchar_t* pictureSideMessage();

// Whether n is a transform side of the calling thread's mode: a power of two from 1 to
// 2048, or any length from 1 to 16384 in the extended mode.
bool isTransformSide(long n);
// Whether n is a side the compatible mode transforms: a power of two from 1 to 2048.
constexpr bool isCompatibleSide(long n) { return isPowerOfTwo(n) && n <= kMaxTransformSide; }

// The sizing rule of filt/extended.h, in one place: the transform side of a picture
// side of `side` pixels (1 .. maxTransformSide()) with `margin` pixels of padding on
// each side of it along axis 0 (x) or 1 (y): the next power of two in the compatible
// mode and under NextPowerOfTwo, the next fast size under NextFastSize (and under
// OwnSize where there is a margin), the side itself under OwnSize, the explicit size
// under Explicit (InvalidSize where it is smaller than side + 2 margin).
long transformSide(long side, long margin, int axis);
// Throws InvalidSize where the calling thread's mode cannot transform a W x H buffer:
// the compatible mode's engines take powers of two only (a buffer of another size is
// one the extended mode made).
void checkTransformSize(long width, long height);

// The largest transform side along `axis` under the thread's rule: the explicit size's
// side under Explicit in the extended mode, else maxTransformSide().
long largestSide(int axis);

// The first address at or after `p` that is a multiple of `alignment` bytes (a power
// of two); the storage behind `p` must hold that many bytes more than it is used for.
template <class T>
T* alignUp(T* p, std::size_t alignment) {
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  const std::size_t skip = (alignment - (address & (alignment - 1))) & (alignment - 1);
  return reinterpret_cast<T*>(reinterpret_cast<unsigned char*>(p) + skip);
}

// A process-wide switch that the environment sets once: `state` is -1 until the first
// call reads the variable `name` (whenSet where it equals `value`, else !whenSet); a
// program's own setting stores 0 or 1 into it afterwards, which the environment then
// never overrides. Returns the switch.
bool environmentSwitch(std::atomic<int>& state, const char* name, const char* value, bool whenSet);

// Passes a version byte through the archive (written as `current` when storing) and
// returns it; when loading a version above `newest`, throws
// vxArchive::UnknownVersion(name, line) before anything else is read.
unsigned char archiveVersion(vxArchive& ar, unsigned char current, unsigned char newest,
                             const char* name, int line);
// The same check for a version byte read elsewhere.
void requireVersion(unsigned char version, unsigned char newest, const char* name, int line);

}  // namespace vx_detail

#endif
