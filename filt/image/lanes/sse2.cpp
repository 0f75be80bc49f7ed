// The image-loop kernels compiled for SSE2: 4 values per vector.
#include "filt/simd/paths.h"

#if VXFREQ_LANES_X86
#define VX_PATH Sse2
#define VX_LANES 4
#define VX_LANES_TARGET __attribute__((target("sse2")))
#include "filt/image/lanes/impl.h"
#endif
