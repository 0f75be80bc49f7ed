// The image-loop kernels compiled for AVX2: 8 values per vector.
#include "filt/simd/paths.h"

#if VXFREQ_LANES_X86
#define VX_PATH Avx2
#define VX_LANES 8
#define VX_LANES_TARGET __attribute__((target("avx2")))
#include "filt/image/lanes/impl.h"
#endif
