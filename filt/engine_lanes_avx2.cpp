// The lane kernels compiled for AVX2: 8 rows or columns per vector.
#define VX_LANES 8
#define VX_LANES_TARGET __attribute__((target("avx2")))
#include "filt/engine_lanes_impl.h"

namespace vx_detail {

const LaneKernels kAvx2Kernels = {
    EnginePath::Avx2, kLanes, workFloats, panelColumns, complexRows, complexColumns, realRows, realColumns};

}  // namespace vx_detail
