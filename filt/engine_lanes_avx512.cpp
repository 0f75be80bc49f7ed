// The lane kernels compiled for AVX-512: 16 rows or columns per vector.
#define VX_LANES 16
#define VX_LANES_TARGET __attribute__((target("avx512f")))
#include "filt/engine_lanes_impl.h"

namespace vx_detail {

const LaneKernels kAvx512Kernels = {
    EnginePath::Avx512, kLanes, workFloats, panelColumns, complexRows, complexColumns, realRows, realColumns};

}  // namespace vx_detail
