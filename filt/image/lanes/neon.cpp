// The image-loop kernels for NEON: 4 values per vector.
#include "filt/image_kernels.h"

#if VXFREQ_LANES_NEON
#define VX_LANES 4
#define VX_LANES_TARGET
#define VX_IMAGE_KERNELS kNeonImageKernels
#include "filt/image_lanes_impl.h"
#endif
