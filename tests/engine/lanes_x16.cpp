// The 16-lane kernels of the AVX-512 path compiled for AVX2, each vector operation
// done as two: a check of the AVX-512 path's shuffles and data layout on processors
// without AVX-512. The library never chooses these kernels; under them the image
// loops take the AVX2 path.
#include "filt/simd/paths.h"

#if VXFREQ_LANES_X86
#define VX_LANES 16
#define VX_LANES_TARGET __attribute__((target("avx2")))
#define VX_PATH Avx2
#define VX_KERNELS_TABLE kAvx2Lanes16Kernels
// 64-byte vectors pass between functions of this file that AVX2 code cannot hold in
// one register; every one of those functions is internal to the file, so no calling
// convention of any other code is involved.
#pragma GCC diagnostic ignored "-Wpsabi"
#include "filt/engine/lanes/impl.h"
#endif
