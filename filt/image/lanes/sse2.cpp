// The image-loop kernels compiled for SSE2: 4 values per vector.
#include "filt/image_kernels.h"

#if VXFREQ_LANES_X86
#define VX_LANES 4
#define VX_LANES_TARGET __attribute__((target("sse2")))
#define VX_IMAGE_KERNELS kSse2ImageKernels
#include "filt/image_lanes_impl.h"
#endif
