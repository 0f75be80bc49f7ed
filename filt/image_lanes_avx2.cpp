// The image-loop kernels compiled for AVX2: 8 values per vector.
#define VX_LANES 8
#define VX_LANES_TARGET __attribute__((target("avx2")))
#include "filt/image_lanes_impl.h"

namespace vx_detail {

const ImageKernels kAvx2ImageKernels = {
    magnitudeU8,      magnitudeU16,     stretchedU8,   stretchedU16,  squaredMagnitudeRange,
    magnitudeDouble,  quadrantCodes,    scaledParts,   floatsFromU8,  floatsFromU16,
    floatsFromDouble, complexFromU8,    complexFromU16, complexFromDouble};

}  // namespace vx_detail
