// The lane kernels for NEON (every aarch64 processor has it): 4 rows or columns
// per vector.
#include "filt/engine_dispatch.h"

#if VXFREQ_LANES_NEON
#define VX_LANES 4
#define VX_LANES_TARGET
#define VX_ENGINE_PATH EnginePath::Neon
#define VX_ENGINE_KERNELS kNeonKernels
#include "filt/engine_lanes_impl.h"
#endif
