// The lane kernels compiled for AVX-512: 16 rows or columns per vector.
#include "filt/engine_dispatch.h"

#if VXFREQ_LANES_X86
#define VX_LANES 16
#define VX_LANES_TARGET __attribute__((target("avx512f")))
#define VX_ENGINE_PATH EnginePath::Avx512
#define VX_ENGINE_KERNELS kAvx512Kernels
#include "filt/engine_lanes_impl.h"
#endif
