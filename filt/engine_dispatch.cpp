#include "filt/engine_dispatch.h"

#include "filt/image_kernels.h"

#include <stdexcept>

namespace vx_detail {
namespace {

// -1 while no override is set on the thread, else the forced EnginePath.
thread_local int tOverride = -1;

EnginePath widestSupported() {
  if (enginePathSupported(EnginePath::Avx512)) return EnginePath::Avx512;
  if (enginePathSupported(EnginePath::Avx2)) return EnginePath::Avx2;
  return EnginePath::Sse2;
}

}  // namespace

const char* enginePathName(EnginePath path) {
  switch (path) {
    case EnginePath::Scalar: return "scalar";
    case EnginePath::Sse2: return "sse2";
    case EnginePath::Avx2: return "avx2";
    case EnginePath::Avx512: return "avx512";
    case EnginePath::Avx2Lanes16: return "avx2x16";
  }
  return "unknown";
}

bool enginePathSupported(EnginePath path) {
  switch (path) {
    case EnginePath::Scalar:
    case EnginePath::Sse2:  // part of every x86-64 processor
      return true;
    case EnginePath::Avx2:
    case EnginePath::Avx2Lanes16:
      return __builtin_cpu_supports("avx2") != 0;
    case EnginePath::Avx512:
      return __builtin_cpu_supports("avx512f") != 0;
  }
  return false;
}

EnginePath activeEnginePath() {
  if (tOverride >= 0) return static_cast<EnginePath>(tOverride);
  // Decided once; the processor does not change under a running process.
  static const EnginePath chosen = widestSupported();
  return chosen;
}

EnginePathOverride::EnginePathOverride(EnginePath path) : previous_(tOverride) {
  if (!enginePathSupported(path))
    throw std::invalid_argument("engine path not supported by this processor");
  tOverride = static_cast<int>(path);
}

EnginePathOverride::~EnginePathOverride() { tOverride = previous_; }

const LaneKernels* activeLaneKernels() {
  switch (activeEnginePath()) {
    case EnginePath::Scalar: return nullptr;
    case EnginePath::Sse2: return &kSse2Kernels;
    case EnginePath::Avx2: return &kAvx2Kernels;
    case EnginePath::Avx512: return &kAvx512Kernels;
    case EnginePath::Avx2Lanes16: return &kAvx2Lanes16Kernels;
  }
  return nullptr;
}

const ImageKernels* activeImageKernels() {
  switch (activeEnginePath()) {
    case EnginePath::Scalar: return nullptr;
    case EnginePath::Sse2: return &kSse2ImageKernels;
    case EnginePath::Avx2: return &kAvx2ImageKernels;
    case EnginePath::Avx512: return &kAvx512ImageKernels;
    case EnginePath::Avx2Lanes16: return &kAvx2ImageKernels;
  }
  return nullptr;
}

}  // namespace vx_detail
