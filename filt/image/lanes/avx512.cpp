// The image-loop kernels compiled for AVX-512: 16 values per vector.
#include "filt/image_kernels.h"

#if VXFREQ_LANES_X86
#define VX_LANES 16
#define VX_LANES_TARGET __attribute__((target("avx512f")))
#define VX_IMAGE_KERNELS kAvx512ImageKernels
#include "filt/image_lanes_impl.h"
#endif
