// The engines' lane kernels compiled for SSE2: 4 rows or columns per vector.
#include "filt/simd/paths.h"

#if VXFREQ_LANES_X86
#define VX_PATH Sse2
#define VX_LANES 4
#define VX_LANES_TARGET __attribute__((target("sse2")))
#include "filt/engine/lanes/impl.h"
#endif
