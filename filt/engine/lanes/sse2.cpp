// The lane kernels compiled for SSE2: 4 rows or columns per vector.
#include "filt/engine_dispatch.h"

#if VXFREQ_LANES_X86
#define VX_LANES 4
#define VX_LANES_TARGET __attribute__((target("sse2")))
#define VX_ENGINE_PATH EnginePath::Sse2
#define VX_ENGINE_KERNELS kSse2Kernels
#include "filt/engine_lanes_impl.h"
#endif
