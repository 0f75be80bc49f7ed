// The channels of an interleaved picture filtered one by one (vfFilterChannels of
// filt/filtering.h).
//
// A channel is gathered into a picture of its own, filtered by the steps of
// vfFilterPicture (the forward transform with its padding, the filters, the real part of
// the inverse, computed in place, converted to the pixel type by the inverse's own row
// kernels), and its values go out interleaved. The picture, the spectrum and the result
// are working memory of the thread, sized at its first channel and reused for the next:
// the buffer keeps its storage at an unchanged size, and the inverse writes straight
// into a bound image of the picture's size.
#include "filt/filtering.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/extended.h"
#include "filt/image/padding_layout.h"
#include "filt/image/support.h"
#include "filt/threads/rows.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace {

using Defs = vxFrequencyDefs;
namespace msg = vx_detail::msg;

// The values one picture of `height` rows reaches, the last row `rowValues` long,
// within the largest pointer difference of T; 0 where it reaches beyond.
template <class T>
std::size_t reach(long height, long rowValues, long rowStride) {
  const std::uintmax_t largest = std::min<std::uintmax_t>(
      std::numeric_limits<std::ptrdiff_t>::max(), std::numeric_limits<long>::max());
  const long limit = static_cast<long>(largest / sizeof(T));
  if (rowStride < rowValues || rowValues > limit) return 0;
  if (height > 1 && rowStride > (limit - rowValues) / (height - 1)) return 0;
  return static_cast<std::size_t>((height - 1) * rowStride + rowValues);
}

// Whether [a, a + n) and [b, b + m) share an address.
template <class T>
bool overlap(const T* a, std::size_t n, const T* b, std::size_t m) {
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(a);
  const std::uintptr_t second = reinterpret_cast<std::uintptr_t>(b);
  return first < second + m * sizeof(T) && second < first + n * sizeof(T);
}

// The checks of the picture, in the order the header gives.
template <class T>
void checkChannels(const T* pixels, long width, long height, long channels, long rowStride,
                   const T* result, long resultRowStride) {
  if (channels < 1) throw Defs::InvalidArgument(msg::kChannelCount);
  const long side = vx_detail::maxTransformSide();
  if (width < 1 || height < 1 || width > side || height > side)
    throw Defs::InvalidSize(vx_detail::pictureSideMessage());
  if (pixels == nullptr || result == nullptr) throw Defs::InvalidArgument(msg::kChannelsNull);
  const long rowValues =
      channels > std::numeric_limits<long>::max() / width ? -1 : width * channels;
  const std::size_t in = rowValues < 0 ? 0 : reach<T>(height, rowValues, rowStride);
  const std::size_t out = rowValues < 0 ? 0 : reach<T>(height, rowValues, resultRowStride);
  if (in == 0 || out == 0) throw Defs::InvalidArgument(msg::kChannelRows);
  if (overlap(pixels, in, result, out) && !(pixels == result && rowStride == resultRowStride))
    throw Defs::InvalidArgument(msg::kChannelsOverlap);
}

// The checks of the options and the filters that vfFilterPicture makes for every
// channel, made once before any channel starts.
void checkFiltering(long width, long height, const std::vector<const vxFrequencyFilter*>& filters,
                    const vxPaddingOptions& options) {
  vx_detail::checkPaddingOptions(options, !filters.empty());
  for (const vxFrequencyFilter* filter : filters)
    if (filter == nullptr) throw Defs::InvalidArgument(msg::kContinueNeedsFilter);
  const vxPair<long> size = vfPaddedTransformSize(width, height, options.margin);
  if (options.padding == vxPadding::Continue && options.margin != 0 &&
      (size.x == width || size.y == height))
    throw Defs::InvalidSize(msg::kContinueNoRoom);
}

// Channel c of the interleaved rows at `pixels` into `picture` (`in`), or `picture` into
// channel c of the rows at `result`. K is the number of channels where it is known when
// compiling (the loops of RGB and RGBA then take whole vectors), else 0.
template <long K, class T>
void gather(const T* pixels, long rowStride, long channels, long c, vxPelBuffer<T>& picture) {
  const long step = K > 0 ? K : channels;
  for (long y = 0; y < picture.height(); ++y) {
    const T* in = pixels + y * rowStride + c;
    T* row = &picture.at(0, y);
    for (long x = 0; x < picture.width(); ++x) row[x] = in[x * step];
  }
}
template <long K, class T>
void scatter(const vxPelBuffer<T>& picture, T* result, long rowStride, long channels, long c) {
  const long step = K > 0 ? K : channels;
  for (long y = 0; y < picture.height(); ++y) {
    const T* row = &picture.at(0, y);
    T* out = result + y * rowStride + c;
    for (long x = 0; x < picture.width(); ++x) out[x * step] = row[x];
  }
}

// The working memory of one thread: the channel, its spectrum, its result.
template <class T>
struct Slot {
  vxPelBuffer<T> picture;
  vxFrequencyBuffer spectrum;
  vxPelBuffer<T> filtered;
};

// The calling thread's sizing rule, taken to the executor's threads.
struct Sizing {
  Sizing() : rule(vfSizeRule()) { vfExplicitTransformSize(&width, &height); }
  vxSizeRule rule;
  long width = 0;
  long height = 0;
};

}  // namespace

template <class T>
void vfFilterChannels(const T* pixels, long width, long height, long channels, long rowStride,
                      T* result, long resultRowStride,
                      const std::vector<const vxFrequencyFilter*>& filters,
                      const vxPaddingOptions& options) {
  checkChannels(pixels, width, height, channels, rowStride, result, resultRowStride);
  checkFiltering(width, height, filters, options);

  const vxPair<long> size = vfPaddedTransformSize(width, height, options.margin);
  long threads = channels < 2 ? 1
                              : vx_detail::workSlots(channels, size.x * size.y,
                                                     std::numeric_limits<long>::max());
  if (threads > channels) threads = channels;
  std::vector<Slot<T>> slots(static_cast<std::size_t>(threads));
  const Sizing sizing;

  const auto filterChannel = [&](Slot<T>& slot, long c) {
    if (!slot.picture.isBound()) {
      slot.picture = vxPelBuffer<T>(width, height, 32);
      slot.filtered = vxPelBuffer<T>(width, height, 32);
    }
    switch (channels) {
      case 3:
        gather<3>(pixels, rowStride, channels, c, slot.picture);
        break;
      case 4:
        gather<4>(pixels, rowStride, channels, c, slot.picture);
        break;
      default:
        gather<0>(pixels, rowStride, channels, c, slot.picture);
    }
    vfForwardFFTContinued(vxPelBuffer_const<T>(slot.picture), options, filters, slot.spectrum);
    for (const vxFrequencyFilter* filter : filters) filter->apply(slot.spectrum);
    vx_detail::inverseRealDiscarding(slot.spectrum, slot.filtered);
    switch (channels) {
      case 3:
        scatter<3>(slot.filtered, result, resultRowStride, channels, c);
        break;
      case 4:
        scatter<4>(slot.filtered, result, resultRowStride, channels, c);
        break;
      default:
        scatter<0>(slot.filtered, result, resultRowStride, channels, c);
    }
  };

  // As many channels at a time as there are threads, each on one thread; the channels
  // left over, fewer than the threads, one after the other on this thread, where the
  // engine's loops have every thread.
  const long spread = threads > 1 ? channels - channels % threads : 0;
  vx_detail::splitRowChunks(spread, threads, 1, [&](long s, long begin, long end) {
    // The executor's threads take the caller's sizing rule: the transform size, and
    // with it the filters' size, follows it.
    const std::unique_ptr<vxSizingScope> scope =
        sizing.rule == vxSizeRule::Explicit
            ? std::make_unique<vxSizingScope>(sizing.width, sizing.height)
            : std::make_unique<vxSizingScope>(sizing.rule);
    for (long c = begin; c < end; ++c) filterChannel(slots[static_cast<std::size_t>(s)], c);
  });
  for (long c = spread; c < channels; ++c) filterChannel(slots.front(), c);
}

#define VXFREQ_INSTANTIATE_CHANNELS(T)                                                   \
  template VX_API void vfFilterChannels<T>(const T*, long, long, long, long, T*, long,   \
                                           const std::vector<const vxFrequencyFilter*>&, \
                                           const vxPaddingOptions&)

VXFREQ_INSTANTIATE_CHANNELS(unsigned char);
VXFREQ_INSTANTIATE_CHANNELS(unsigned short);
VXFREQ_INSTANTIATE_CHANNELS(double);
#undef VXFREQ_INSTANTIATE_CHANNELS
