// The lane kernels compiled for AVX2: 8 rows or columns per vector.
#include "filt/engine_dispatch.h"

#if VXFREQ_LANES_X86
#define VX_LANES 8
#define VX_LANES_TARGET __attribute__((target("avx2")))
#define VX_ENGINE_PATH EnginePath::Avx2
#define VX_ENGINE_KERNELS kAvx2Kernels
#include "filt/engine_lanes_impl.h"
#endif
