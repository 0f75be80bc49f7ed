// The engines' lane kernels compiled for NEON: 4 rows or columns per vector.
#include "filt/simd/paths.h"

#if VXFREQ_LANES_NEON
#define VX_PATH Neon
#define VX_LANES 4
#define VX_LANES_TARGET
#include "filt/engine/lanes/impl.h"
#endif
