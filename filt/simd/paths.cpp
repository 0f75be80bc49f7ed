#include "filt/engine_dispatch.h"

#include <stdexcept>

namespace vx_detail {
namespace {

// -1 while no override is set on the thread, else the forced EnginePath; and the
// lane kernels forced with it, if any.
thread_local int tOverride = -1;
thread_local const LaneKernels* tKernels = nullptr;

// The path the dispatch picks for this processor. On x86-64 that is AVX2 wherever
// the processor has it, AVX-512 hosts included: on the AMD EPYC processors we
// measured, which split 512-bit operations into two, the 16-lane kernels took
// 10-15 % longer than the 8-lane ones (0.746 against 0.668 ms for a 512 x 512
// complex forward transform). The AVX-512 path stays available to the tests.
EnginePath chosenPath() {
#if VXFREQ_LANES_X86
  if (enginePathSupported(EnginePath::Avx2)) return EnginePath::Avx2;
  return EnginePath::Sse2;
#elif VXFREQ_LANES_NEON
  return EnginePath::Neon;
#else
  return EnginePath::Scalar;
#endif
}

}  // namespace

const char* enginePathName(EnginePath path) {
  switch (path) {
    case EnginePath::Scalar: return "scalar";
    case EnginePath::Sse2: return "sse2";
    case EnginePath::Avx2: return "avx2";
    case EnginePath::Avx512: return "avx512";
    case EnginePath::Neon: return "neon";
  }
  return "unknown";
}

bool enginePathSupported(EnginePath path) {
  switch (path) {
#if VXFREQ_LANES_X86
    case EnginePath::Sse2:  // part of every x86-64 processor
#endif
#if VXFREQ_LANES_NEON
    case EnginePath::Neon:  // part of every aarch64 processor
#endif
    case EnginePath::Scalar: return true;
#if VXFREQ_LANES_X86
    case EnginePath::Avx2: return __builtin_cpu_supports("avx2") != 0;
    case EnginePath::Avx512: return __builtin_cpu_supports("avx512f") != 0;
#endif
    default: return false;
  }
}

EnginePath activeEnginePath() {
  if (tOverride >= 0) return static_cast<EnginePath>(tOverride);
  // Decided once; the processor does not change under a running process.
  static const EnginePath chosen = chosenPath();
  return chosen;
}

EnginePathOverride::EnginePathOverride(EnginePath path)
    : previousPath_(tOverride), previousKernels_(tKernels) {
  if (!enginePathSupported(path)) throw std::invalid_argument("engine path not supported here");
  tOverride = static_cast<int>(path);
  tKernels = nullptr;
}

EnginePathOverride::EnginePathOverride(const LaneKernels& kernels)
    : previousPath_(tOverride), previousKernels_(tKernels) {
  if (!enginePathSupported(kernels.path)) throw std::invalid_argument("engine path not supported here");
  tOverride = static_cast<int>(kernels.path);
  tKernels = &kernels;
}

EnginePathOverride::~EnginePathOverride() {
  tOverride = previousPath_;
  tKernels = previousKernels_;
}

const LaneKernels* activeLaneKernels() {
  if (tKernels != nullptr) return tKernels;
  switch (activeEnginePath()) {
#if VXFREQ_LANES_X86
    case EnginePath::Sse2: return &kSse2Kernels;
    case EnginePath::Avx2: return &kAvx2Kernels;
    case EnginePath::Avx512: return &kAvx512Kernels;
#endif
#if VXFREQ_LANES_NEON
    case EnginePath::Neon: return &kNeonKernels;
#endif
    default: return nullptr;
  }
}

}  // namespace vx_detail
