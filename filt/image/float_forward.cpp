// The forward transform of a picture of single-precision samples, read in place.
//
// The samples go into the real-input layout as they are (the floats a double image of
// the same values converts to), then the real engine runs as for every other picture.
#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/engine/engines.h"
#include "filt/fft.h"
#include "filt/threads/rows.h"

#include <cstdint>
#include <cstring>
#include <limits>

using Access = vx_detail::FrequencyBufferAccess;

void vfForwardFFT(const float* samples, long width, long height, long rowStride,
                  vxPair<long> offset, vxFrequencyBuffer& result) {
  if (width < 1 || height < 1) throw vxFrequencyDefs::InvalidSize(vx_detail::pictureSideMessage());
  const vxPair<long> size = vfTransformSize(width, height);  // the mode's limit
  if (samples == nullptr) throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kSamplesNull);
  if (rowStride < width) throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kRowStride);
  const long lo = std::numeric_limits<std::int32_t>::min();
  const long hi = std::numeric_limits<std::int32_t>::max();
  if (offset.x < lo || offset.x > hi || offset.y < lo || offset.y > hi)
    throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kOffsetRange);

  Access::setAndAllocate(result, width, height);
  vx2XformCache identity;
  identity.setIdentity();
  Access::setPlacement(result, offset, identity);
  const long W = size.x;
  const long H = size.y;
  // The real-input layout: H rows of 2W floats, the samples in the first W floats; the
  // engine does not read floats W .. 2W-1 of a row, except the imaginary slot of a
  // one-sample row.
  float* data = Access::data(result);
  const std::size_t rowFloats = 2 * static_cast<std::size_t>(W);
  vx_detail::splitRows(H, W, [&](long first, long end) {
    for (long y = first; y < end; ++y) {
      float* out = data + static_cast<std::size_t>(y) * rowFloats;
      long x = 0;
      if (y < height) {
        std::memcpy(out,
                    samples + static_cast<std::size_t>(y) * static_cast<std::size_t>(rowStride),
                    static_cast<std::size_t>(width) * sizeof(float));
        x = width;
      }
      std::memset(out + x, 0, static_cast<std::size_t>(W - x) * sizeof(float));
      if (W == 1) out[1] = 0.0f;
    }
  });
  vf_RealFFT2D(data, vxPair<long>(W, H), +1, 0, H);
}
