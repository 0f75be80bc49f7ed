// The 16-lane kernels of the AVX-512 path compiled for AVX2, each vector operation
// done as two: a check of the AVX-512 path's shuffles and data layout for the tests
// on processors without AVX-512. The dispatch never chooses these kernels.
#define VX_LANES 16
#define VX_LANES_TARGET __attribute__((target("avx2")))
// 64-byte vectors pass between functions of this file that AVX2 code cannot hold in
// one register; every one of those functions is internal to the file, so no calling
// convention of any other code is involved.
#pragma GCC diagnostic ignored "-Wpsabi"
#include "filt/engine_lanes_impl.h"

namespace vx_detail {

const LaneKernels kAvx2Lanes16Kernels = {
    EnginePath::Avx2Lanes16, kLanes, workFloats, panelColumns, complexRows, complexColumns, realRows, realColumns};

}  // namespace vx_detail
