// The table of paths, built from VXFREQ_VECTOR_PATHS, and the dispatch.
#include "filt/simd/paths.h"

#include <stdexcept>

namespace vx_detail {

// The kernel tables, each defined by its path's stub file (the types stay opaque here).
extern const ImageKernels kScalarImageKernels;
#define VXFREQ_PATH_KERNELS(Name, name, lanes, supported, chosen) \
  extern const LaneKernels k##Name##Kernels;                      \
  extern const ImageKernels k##Name##ImageKernels;
VXFREQ_VECTOR_PATHS(VXFREQ_PATH_KERNELS)
#undef VXFREQ_PATH_KERNELS

namespace {

#define VXFREQ_PATH_ROW(Name, name, lanes, supported, chosen)             \
  {EnginePath::Name,      name, lanes, [] { return supported; }, chosen, &k##Name##Kernels, \
   &k##Name##ImageKernels},
const PathInfo kPaths[] = {
    {EnginePath::Scalar, "scalar", 1, [] { return true; }, true, nullptr, &kScalarImageKernels},
    VXFREQ_VECTOR_PATHS(VXFREQ_PATH_ROW)};
#undef VXFREQ_PATH_ROW

constexpr int kPathCount = static_cast<int>(sizeof kPaths / sizeof kPaths[0]);

// -1 while no override is set on the thread, else the forced EnginePath; and the lane
// kernels forced with it, if any.
thread_local int tOverride = -1;
thread_local const LaneKernels* tKernels = nullptr;

// The last path in the table that this processor runs and the dispatch may choose.
EnginePath chosenPath() {
  EnginePath chosen = EnginePath::Scalar;
  for (const PathInfo& p : kPaths)
    if (p.chosen && p.supported()) chosen = p.path;
  return chosen;
}

void requireSupported(EnginePath path) {
  if (!enginePathSupported(path)) throw std::invalid_argument("engine path not supported here");
}

}  // namespace

PathTable allPaths() { return PathTable{kPaths, kPaths + kPathCount}; }

// The enum follows the table's order, both coming from the same list.
const PathInfo& pathInfo(EnginePath path) { return kPaths[static_cast<int>(path)]; }

const char* enginePathName(EnginePath path) { return pathInfo(path).name; }

bool enginePathSupported(EnginePath path) {
  const int i = static_cast<int>(path);
  return i >= 0 && i < kPathCount && kPaths[i].supported();
}

EnginePath fixedRulePath() {
  // Decided once; the processor does not change under a running process.
  static const EnginePath chosen = chosenPath();
  return chosen;
}

bool enginePathForced() { return tOverride >= 0; }

EnginePath activeEnginePath() {
  if (tOverride >= 0) return static_cast<EnginePath>(tOverride);
  return fixedRulePath();
}

const LaneKernels* activeLaneKernels() {
  if (tKernels != nullptr) return tKernels;
  return pathInfo(activeEnginePath()).engine;
}

// The image kernels take the widest path this processor runs unless a path is forced:
// they stream pixels and values once, and measured on every path the widest was the
// fastest or as fast (magnitudes to 8 bits at 2048 x 2048: 1.4 ms with AVX-512, 2.8 ms
// with AVX2, docs/performance.md), so they are not planned.
const ImageKernels& activeImageKernels() {
  if (tOverride >= 0) return *pathInfo(activeEnginePath()).image;
  static const EnginePath widest = [] {
    EnginePath best = EnginePath::Scalar;
    for (const PathInfo& p : allPaths())
      if (p.supported() && p.lanes > pathInfo(best).lanes) best = p.path;
    return best;
  }();
  return *pathInfo(widest).image;
}

EnginePathOverride::EnginePathOverride(EnginePath path)
    : previousPath_(tOverride), previousKernels_(tKernels) {
  requireSupported(path);
  tOverride = static_cast<int>(path);
  tKernels = nullptr;
}

EnginePathOverride::EnginePathOverride(const LaneKernels& kernels, EnginePath path)
    : previousPath_(tOverride), previousKernels_(tKernels) {
  requireSupported(path);
  tOverride = static_cast<int>(path);
  tKernels = &kernels;
}

EnginePathOverride::~EnginePathOverride() {
  tOverride = previousPath_;
  tKernels = previousKernels_;
}

}  // namespace vx_detail
