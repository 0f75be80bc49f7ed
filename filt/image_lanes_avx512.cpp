// The image-loop kernels compiled for AVX-512: 16 values per vector.
#define VX_LANES 16
#define VX_LANES_TARGET __attribute__((target("avx512f")))
#include "filt/image_lanes_impl.h"

namespace vx_detail {

const ImageKernels kAvx512ImageKernels = {
    magnitudeU8,      magnitudeU16,     stretchedU8,   stretchedU16,  squaredMagnitudeRange,
    magnitudeDouble,  quadrantCodes,    scaledParts,   floatsFromU8,  floatsFromU16,
    floatsFromDouble, complexFromU8,    complexFromU16, complexFromDouble};

}  // namespace vx_detail
