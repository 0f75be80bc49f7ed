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
// trial runs `run(kernels, copy, w, h)`: this call's transform at the planning size
// w x h (planningSize: the call's own size up to 512 x 512 elements, smaller beyond)
// of a copy of the `input` (or, at a smaller planning size, of a fixed pattern, which
// holds no subnormal value to slow a path down), made in memory allocated at the first
// trial and refreshed before every one, on one thread and without runs of the caller's
// executor, so that the input stays untouched and the trials compare like with like.
template <class Run>
const LaneKernels* plannedOnCopy(vxEngine engine, std::int32_t width, std::int32_t height,
                                 const float* input, Run run, bool anySize = false) {
  std::int32_t w = width, h = height;
  planningSize(w, h, anySize);
  const std::size_t floats = 2 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  FloatBlock scratch;
  const PathTrial trial = [&](const LaneKernels& kernels) {
    const SerialScope serial;
    if (scratch.data() == nullptr) scratch.reset(floats, BlockFill::Any);
    if (w == width && h == height) {
      copyForTrial(scratch.data(), input, floats);
    } else {
      float* to = scratch.data();
      for (std::size_t i = 0; i < floats; ++i) to[i] = static_cast<float>(i % 251);
    }
    run(kernels, scratch.data(), w, h);
  };
  return plannedLaneKernels(engine, width, height, trial, anySize);
}

}  // namespace vx_detail

#endif
