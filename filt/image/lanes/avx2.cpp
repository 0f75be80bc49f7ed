// The image-loop kernels compiled for AVX2: 8 values per vector.
#include "filt/image_kernels.h"

#if VXFREQ_LANES_X86
#define VX_LANES 8
#define VX_LANES_TARGET __attribute__((target("avx2")))
#define VX_IMAGE_KERNELS kAvx2ImageKernels
#include "filt/image_lanes_impl.h"
#endif
