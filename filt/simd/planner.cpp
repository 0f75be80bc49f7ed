// The planner of the engines' vector paths: one choice per engine, transform size and
// mode, measured on the first call that needs it and kept for the process.
#include "filt/simd/planner.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/fft.h"
#include "platform/attention.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

namespace vx_detail {

namespace {

// The sizes measured (elements W x H), and the sides' largest power of two.
constexpr long kFewestElements = 256L * 256L;
constexpr long kMostElements = 2048L * 2048L;
constexpr int kSideBits = 15;  // sides 1 .. 16384
// The time the measuring of one size may take, roughly, and the runs per path.
constexpr double kBudgetSeconds = 0.1;
constexpr int kMostRuns = 3;
// Another path replaces the fixed rule only when it is faster by more than this.
constexpr double kMargin = 0.97;

// A slot's state: a path's index, or one of these.
constexpr int kUndecided = -1;
constexpr int kMeasuring = -2;

// The engines of vxEngine, ComplexForward .. RealForward.
constexpr int kEngines = static_cast<int>(vxEngine::RealForward) + 1;

std::atomic<int> gSlots[kEngines][2][kSideBits][kSideBits];
std::atomic<int> gPlanning{-1};  // -1: not yet read from the environment

struct SlotsInit {
  SlotsInit() {
    for (auto& engine : gSlots)
      for (auto& mode : engine)
        for (auto& row : mode)
          for (auto& slot : row) slot.store(kUndecided, std::memory_order_relaxed);
  }
} gSlotsInit;

int log2Of(long n) {
  int bits = 0;
  while ((1L << bits) < n) ++bits;
  return bits;
}

std::atomic<int>& slotOf(vxEngine engine, long width, long height, bool accurate) {
  return gSlots[static_cast<int>(engine)][accurate ? 1 : 0][log2Of(width)][log2Of(height)];
}

bool planning() { return environmentSwitch(gPlanning, "VXFREQ_PLANNER", "fixed", false); }

// Whether the caller asks for attention, read without making an attention check (which
// would count as one of the call's).
bool attentionAsked() {
  const std::atomic<bool>* flag = attentionFlag();
  return flag != nullptr && flag->load(std::memory_order_relaxed);
}

double secondsOf(const PathTrial& trial, const LaneKernels& kernels) {
  const auto start = std::chrono::steady_clock::now();
  trial(kernels);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fastest path for the trial, or the fixed rule (also when the caller's attention
// is asked for, or a trial fails).
EnginePath measure(const PathTrial& trial) {
  const EnginePath fixed = fixedRulePath();
  if (attentionAsked()) return fixed;
  std::vector<const PathInfo*> candidates;
  for (const PathInfo& p : allPaths())
    if (p.engine != nullptr && p.supported()) candidates.push_back(&p);
  if (candidates.size() < 2) return fixed;
  try {
    const QuietAttention quiet;
    // A first run of the fixed rule warms the memory and sizes the runs to the budget.
    const double first = secondsOf(trial, *pathInfo(fixed).engine);
    const double perRound = first * static_cast<double>(candidates.size());
    const int runs = std::max(
        1, std::min(kMostRuns, static_cast<int>(kBudgetSeconds / std::max(perRound, 1e-9))));
    std::vector<double> best(candidates.size(), 1e300);
    for (int run = 0; run < runs; ++run)
      for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (quiet.callerAttention()) return fixed;
        best[i] = std::min(best[i], secondsOf(trial, *candidates[i]->engine));
      }
    std::size_t fastest = 0, fixedAt = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (best[i] < best[fastest]) fastest = i;
      if (candidates[i]->path == fixed) fixedAt = i;
    }
    return best[fastest] < kMargin * best[fixedAt] ? candidates[fastest]->path : fixed;
  } catch (...) {
    return fixed;
  }
}

EnginePath plannedPath(vxEngine engine, long width, long height, bool accurate,
                       const PathTrial* trial) {
  const EnginePath fixed = fixedRulePath();
  const long elements = width * height;
  if (!planning() || elements < kFewestElements) return fixed;
  if (elements > kMostElements) {
    const int decided = slotOf(engine, 2048, 2048, accurate).load(std::memory_order_acquire);
    return decided >= 0 ? static_cast<EnginePath>(decided) : fixed;
  }
  std::atomic<int>& slot = slotOf(engine, width, height, accurate);
  int state = slot.load(std::memory_order_acquire);
  if (state >= 0) return static_cast<EnginePath>(state);
  if (trial == nullptr || state == kMeasuring ||
      !slot.compare_exchange_strong(state, kMeasuring, std::memory_order_acq_rel))
    return fixed;
  const EnginePath chosen = measure(*trial);
  // An interrupted measuring decides nothing: the next call measures again.
  slot.store(attentionAsked() ? kUndecided : static_cast<int>(chosen), std::memory_order_release);
  return chosen;
}

void checkSize(long width, long height) {
  if (!isTransformSide(width) || !isTransformSide(height) || width > kMaxExtendedSide ||
      height > kMaxExtendedSide)
    throw vxFrequencyDefs::InvalidSize(msg::kPowerOfTwo);
}

}  // namespace

void copyForTrial(float* to, const float* from, std::size_t floats) {
  constexpr std::size_t kPart = std::size_t{1} << 18;
  for (std::size_t done = 0; done < floats; done += kPart) {
    vfThrowExceptionOnFailure(vsys_attention_check());
    std::copy(from + done, from + std::min(floats, done + kPart), to + done);
  }
}

const LaneKernels* plannedLaneKernels(vxEngine engine, std::int32_t width, std::int32_t height,
                                      const PathTrial& trial) {
  if (enginePathForced()) return activeLaneKernels();
  return pathInfo(plannedPath(engine, width, height, extendedMode(), &trial)).engine;
}

void setPlannedPath(vxEngine engine, std::int32_t width, std::int32_t height, EnginePath path) {
  if (!enginePathSupported(path)) throw std::invalid_argument("engine path not supported here");
  slotOf(engine, width, height, extendedMode()).store(static_cast<int>(path));
}

bool pathPlanned(vxEngine engine, std::int32_t width, std::int32_t height) {
  return slotOf(engine, width, height, extendedMode()).load() >= 0;
}

}  // namespace vx_detail

bool vfPathPlanning() { return vx_detail::planning(); }

void vfSetPathPlanning(bool measure) {
  vx_detail::planning();  // the environment is read first, so that it cannot override this
  vx_detail::gPlanning.store(measure ? 1 : 0, std::memory_order_release);
}

const char* vfEnginePath(vxEngine engine, long width, long height) {
  if (static_cast<int>(engine) < 0 || static_cast<int>(engine) >= vx_detail::kEngines)
    throw vxFrequencyDefs::InvalidArgument(vx_detail::msg::kUnknownEngine);
  vx_detail::checkSize(width, height);
  // Sizes that are not powers of two along both axes take the path the dispatch gives,
  // unplanned (a single row or column the scalar path).
  if (!vx_detail::isPowerOfTwo(width) || !vx_detail::isPowerOfTwo(height))
    return vx_detail::enginePathName(width < 2 || height < 2 ? vx_detail::EnginePath::Scalar
                                                             : vx_detail::activeEnginePath());
  if (vx_detail::enginePathForced())
    return vx_detail::enginePathName(vx_detail::activeEnginePath());
  return vx_detail::enginePathName(
      vx_detail::plannedPath(engine, width, height, vx_detail::extendedMode(), nullptr));
}

void vfForgetPathPlans() {
  for (auto& engine : vx_detail::gSlots)
    for (auto& mode : engine)
      for (auto& row : mode)
        for (auto& slot : row) {
          int state = slot.load();
          // A slot being measured is left to its measuring thread.
          if (state >= 0) slot.compare_exchange_strong(state, vx_detail::kUndecided);
        }
}
