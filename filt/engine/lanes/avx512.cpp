// The engines' lane kernels compiled for AVX-512: 16 rows or columns per vector.
#include "filt/simd/paths.h"

#if VXFREQ_LANES_X86
#define VX_PATH Avx512
#define VX_LANES 16
#define VX_LANES_TARGET __attribute__((target("avx512f")))
#include "filt/engine/lanes/impl.h"
#endif
