// The image kernels follow the path of the engines: one choice per process (or per
// test override) serves both.
#include "filt/image_kernels.h"

namespace vx_detail {

const ImageKernels& activeImageKernels() {
  switch (activeEnginePath()) {
#if VXFREQ_LANES_X86
    case EnginePath::Sse2: return kSse2ImageKernels;
    case EnginePath::Avx2: return kAvx2ImageKernels;
    case EnginePath::Avx512: return kAvx512ImageKernels;
#endif
#if VXFREQ_LANES_NEON
    case EnginePath::Neon: return kNeonImageKernels;
#endif
    default: return kScalarImageKernels;
  }
}

}  // namespace vx_detail
