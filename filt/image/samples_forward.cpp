// The forward transform of a picture of samples read where they are, at any strides.
//
// The samples go into the real-input layout as the image transforms put them there
// (the same conversion kernels; a row whose samples are not next to each other is first
// gathered into a row of its own), then the real engine runs as for every other picture.
#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/engine/engines.h"
#include "filt/fft.h"
#include "filt/image/forward_rows.h"
#include "filt/threads/rows.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using Access = vx_detail::FrequencyBufferAccess;

template <class T>
void vfForwardFFT(const T* samples, long width, long height, long rowStride, long pixelStride,
                  vxPair<long> offset, vxFrequencyBuffer& result) {
  if (width < 1 || height < 1) throw vxFrequencyDefs::InvalidSize(vx_detail::pictureSideMessage());
  vfTransformSize(width, height);  // refuses a side above the mode's limit
  if (samples == nullptr) throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kSamplesNull);
  const long lo = std::numeric_limits<std::int32_t>::min();
  const long hi = std::numeric_limits<std::int32_t>::max();
  if (offset.x < lo || offset.x > hi || offset.y < lo || offset.y > hi)
    throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kOffsetRange);

  const bool fresh = Access::setAndAllocate(result, width, height, vx_detail::BlockFill::Any);
  vx2XformCache identity;
  identity.setIdentity();
  Access::setPlacement(result, offset, identity);
  const vx_detail::ImageKernels& k = vx_detail::activeImageKernels();
  vx_detail::fillOrClear(result, fresh, [&](long W, long H, float* data) {
    // The real-input layout: H rows of 2W floats, the samples in the first W floats.
    const std::size_t rowFloats = 2 * static_cast<std::size_t>(W);
    vx_detail::splitRows(H, W, [&](long first, long end) {
      std::vector<T> gathered(pixelStride == 1 ? 0 : static_cast<std::size_t>(width));
      for (long y = first; y < end; ++y) {
        vx_detail::conversionAttention(y);
        const T* row = y < height ? samples + y * rowStride : samples;
        if (y < height && pixelStride != 1) {
          for (long i = 0; i < width; ++i)
            gathered[static_cast<std::size_t>(i)] = row[i * pixelStride];
          row = gathered.data();
        }
        vx_detail::realInputRow(k, row, y < height ? width : 0, W,
                                data + static_cast<std::size_t>(y) * rowFloats);
      }
    });
    vf_RealFFT2D(data, vxPair<long>(W, H), +1, 0, H);
  });
  Access::setHermitian(result, true);
}

#define VXFREQ_INSTANTIATE_SAMPLES(T)                                                  \
  template VX_API void vfForwardFFT<T>(const T*, long, long, long, long, vxPair<long>, \
                                       vxFrequencyBuffer&)

VXFREQ_INSTANTIATE_SAMPLES(unsigned char);
VXFREQ_INSTANTIATE_SAMPLES(unsigned short);
VXFREQ_INSTANTIATE_SAMPLES(double);
VXFREQ_INSTANTIATE_SAMPLES(float);
#undef VXFREQ_INSTANTIATE_SAMPLES
