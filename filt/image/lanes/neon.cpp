// The image-loop kernels compiled for NEON: 4 values per vector.
#include "filt/simd/paths.h"

#if VXFREQ_LANES_NEON
#define VX_PATH Neon
#define VX_LANES 4
#define VX_LANES_TARGET
#include "filt/image/lanes/impl.h"
#endif
