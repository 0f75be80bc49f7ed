// The planner's trial of an engine call, written once for both engines (internal).
#ifndef VXFREQ_FILT_ENGINE_TRIAL_H
#define VXFREQ_FILT_ENGINE_TRIAL_H

#include "filt/simd/planner.h"
#include "filt/threads/rows.h"
#include "platform/memory.h"

#include <cstddef>
#include <cstdint>

namespace vx_detail {

// The kernels the planner chooses for `engine` at this size. When it measures, each
// trial runs `run(kernels, copy)`: this call's transform of a copy of the `floats`
// floats at `input`, made in memory allocated at the first trial and refreshed before
// every one, on one thread and without runs of the caller's executor, so that the
// input stays untouched and the trials compare like with like.
template <class Run>
const LaneKernels* plannedOnCopy(vxEngine engine, std::int32_t width, std::int32_t height,
                                 const float* input, std::size_t floats, Run run) {
  FloatBlock scratch;
  const PathTrial trial = [&](const LaneKernels& kernels) {
    const SerialScope serial;
    if (scratch.data() == nullptr) scratch.reset(floats, BlockFill::Any);
    copyForTrial(scratch.data(), input, floats);
    run(kernels, scratch.data());
  };
  return plannedLaneKernels(engine, width, height, trial);
}

}  // namespace vx_detail

#endif
