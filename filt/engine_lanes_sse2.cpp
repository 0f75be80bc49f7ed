// The lane kernels compiled for SSE2: 4 rows or columns per vector.
#define VX_LANES 4
#define VX_LANES_TARGET __attribute__((target("sse2")))
#include "filt/engine_lanes_impl.h"

namespace vx_detail {

const LaneKernels kSse2Kernels = {
    EnginePath::Sse2, kLanes, workFloats, panelColumns, complexRows, complexColumns, realRows, realColumns};

}  // namespace vx_detail
