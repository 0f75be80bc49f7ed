// The planner of the engines' vector paths (internal; filt/planner.h says what it does).
#ifndef VXFREQ_FILT_SIMD_PLANNER_H
#define VXFREQ_FILT_SIMD_PLANNER_H

#include "filt/planner.h"
#include "filt/simd/paths.h"
#include "platform/attention.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vx_detail {

// Runs the engine once at the size being planned with the given lane kernels, on
// memory of its own (a copy of the caller's input), giving its bits to nobody.
using PathTrial = std::function<void(const LaneKernels&)>;

// The lane kernels `engine` uses for a W x H transform on the calling thread: the
// thread's forced path when there is one (tests, benchmarks), otherwise the planned
// path (measured now with `trial` when this size has none yet), or the fixed rule.
// Null for the scalar path.
const LaneKernels* plannedLaneKernels(vxEngine engine, std::int32_t width, std::int32_t height,
                                      const PathTrial& trial, bool anySize = false);

// While a trial runs, the call's attention checks do not count as the call's own (the
// test probe is set aside), but they still read the caller's flag: a trial stops as
// soon as the caller asks for attention, with vxAttentionInterrupted, which the
// measuring takes as "keep the fixed rule". The caller's next own check then stops the
// call, so the first call of a process stops as promptly as any other.
class QuietAttention {
public:
  QuietAttention() : probe_(setAttentionProbe(nullptr)), callerFlag_(attentionFlag()) {}
  ~QuietAttention() { setAttentionProbe(probe_); }
  QuietAttention(const QuietAttention&) = delete;
  QuietAttention& operator=(const QuietAttention&) = delete;
  bool callerAttention() const {
    return callerFlag_ != nullptr && callerFlag_->load(std::memory_order_relaxed);
  }

private:
  AttentionProbe* probe_;
  const std::atomic<bool>* callerFlag_;
};

// The size whose measurement decides the path of a W x H transform: the size itself up
// to 512 x 512 elements; beyond, the sides halved (the longer first) until they are
// that small, so that measuring costs the same few milliseconds at every size. The
// engines give a trial of that size, on the first values of their input.
// The engines of any size (`anySize`) are decided at the next powers of two of the sides
// (so halved from there), by trials of their own at that size.
void planningSize(std::int32_t& width, std::int32_t& height, bool anySize = false);

// Copies a trial's input (`floats` floats) in parts, reading the caller's attention
// between them: the first copy touches fresh pages, which takes as long as a pass.
void copyForTrial(float* to, const float* from, std::size_t floats);

// The paths a measurement compares, the fixed rule first (none when it is the scalar
// path): the fixed rule and the wider paths this processor runs.
std::vector<EnginePath> measuredPaths();

// Tests: sets the choice for an engine and size in the calling thread's mode, as if it
// had been measured (the path must be supported); whether a choice was made there.
void setPlannedPath(vxEngine engine, std::int32_t width, std::int32_t height, EnginePath path,
                    bool anySize = false);
bool pathPlanned(vxEngine engine, std::int32_t width, std::int32_t height, bool anySize = false);

}  // namespace vx_detail

#endif
