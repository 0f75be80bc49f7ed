// The vector paths of the library and the choice among them (internal).
//
// A path is an instruction set that the engines' lane kernels (filt/engine/lanes/) and
// the image loops' kernels (filt/image/lanes/) are compiled for. Every path runs the
// same float operations in the same order as the scalar path, so the bits of every
// result do not depend on the path taken; the choice only changes speed.
//
// The paths of a target are listed once, in VXFREQ_VECTOR_PATHS below. The path enum,
// the table of paths (name, lane count, whether this processor runs it, the kernel
// tables of both layers), the dispatch, the tests' every-path runs and the benchmarks'
// path lists are all derived from that list: a new path is one line there and its two
// stub files, filt/engine/lanes/<name>.cpp and filt/image/lanes/<name>.cpp, which
// compile the shared kernel code for its instruction set.
#ifndef VXFREQ_FILT_SIMD_PATHS_H
#define VXFREQ_FILT_SIMD_PATHS_H

#include <cstdint>

// The instruction-set families of the targets with vector paths. A build with
// VXFREQ_SCALAR_ONLY (CMake's VXFREQ_SIMD=OFF), and every other target, has the scalar
// path alone; the stub files of the other targets then compile to nothing.
#if defined(VXFREQ_SCALAR_ONLY)
#define VXFREQ_LANES_X86 0
#define VXFREQ_LANES_NEON 0
#elif defined(__x86_64__)
#define VXFREQ_LANES_X86 1
#define VXFREQ_LANES_NEON 0
#elif defined(__aarch64__)
#define VXFREQ_LANES_X86 0
#define VXFREQ_LANES_NEON 1
#else
#define VXFREQ_LANES_X86 0
#define VXFREQ_LANES_NEON 0
#endif

// The vector paths of this target, in order of preference (the dispatch takes the last
// one that is supported and may be chosen), one line each:
//   X(Name, "name", lanes, supported, chosen)
//   Name       the EnginePath value; the kernel tables are k<Name>Kernels (engines) and
//              k<Name>ImageKernels (image loops)
//   lanes      floats per vector (at most kMaxLanes)
//   supported  an expression: whether the running processor and its operating system
//              run the path
//   chosen     whether the dispatch may choose it; a path that may not stays available
//              to the tests and benchmarks. AVX-512 may not: on the AMD EPYC processors
//              we measured, which split 512-bit operations into two, the 16-lane kernels
//              took 10-15 % longer than the 8-lane ones (0.746 against 0.668 ms for a
//              512 x 512 complex forward transform).
#if VXFREQ_LANES_X86
#define VXFREQ_VECTOR_PATHS(X)                                        \
  X(Sse2, "sse2", 4, true, true) /* part of every x86-64 processor */ \
  X(Avx2, "avx2", 8, __builtin_cpu_supports("avx2") != 0, true)       \
  X(Avx512, "avx512", 16, __builtin_cpu_supports("avx512f") != 0, false)
#elif VXFREQ_LANES_NEON
// NEON is part of every aarch64 processor.
#define VXFREQ_VECTOR_PATHS(X) X(Neon, "neon", 4, true, true)
#else
#define VXFREQ_VECTOR_PATHS(X)
#endif

namespace vx_detail {

// The widest vector of any path, in floats: the size of the per-lane arrays (row
// pointers) the engines fill for one kernel call.
inline constexpr std::int32_t kMaxLanes = 16;

#define VXFREQ_PATH_ENUM(Name, name, lanes, supported, chosen) Name,
enum class EnginePath { Scalar, VXFREQ_VECTOR_PATHS(VXFREQ_PATH_ENUM) };
#undef VXFREQ_PATH_ENUM

struct LaneKernels;   // the engines' kernels of a path (filt/engine/lane_kernels.h)
struct ImageKernels;  // the image loops' kernels of a path (filt/image/kernels.h)

// One row of the table of paths.
struct PathInfo {
  EnginePath path;
  const char* name;  // "scalar", "sse2", "avx2", "avx512", "neon"
  std::int32_t lanes;
  bool (*supported)();
  bool chosen;                // whether the dispatch may choose it
  const LaneKernels* engine;  // null for the scalar path, whose engines need none
  const ImageKernels* image;
};

// Every path of this build, the scalar one first, as a range for `for`.
struct PathTable {
  const PathInfo* first;
  const PathInfo* last;
  const PathInfo* begin() const { return first; }
  const PathInfo* end() const { return last; }
};
PathTable allPaths();
const PathInfo& pathInfo(EnginePath path);

// The path's name; whether this build has it and this processor can run it.
const char* enginePathName(EnginePath path);
bool enginePathSupported(EnginePath path);

// The path the engines and the image loops take on the calling thread: the override
// when one is set, otherwise the path chosen for this processor on first use.
EnginePath activeEnginePath();
// The fixed rule: the last path of the table that this processor runs and the dispatch
// may choose. Whether the calling thread has a forced path (EnginePathOverride).
EnginePath fixedRulePath();
bool enginePathForced();

// The lane kernels of the calling thread's path (null for the scalar path), and the
// image kernels (never null): the forced path's, else the widest path's.
const LaneKernels* activeLaneKernels();
const ImageKernels& activeImageKernels();

// Forces `path` on the calling thread for the guard's lifetime (tests and benchmarks);
// the path must be supported (std::invalid_argument otherwise). The second form also
// replaces the engines' lane kernels by `kernels` (a lane width the dispatch never
// chooses, built by the tests), whose own `path` must be supported and names the path
// everything else follows.
class EnginePathOverride {
public:
  explicit EnginePathOverride(EnginePath path);
  explicit EnginePathOverride(const LaneKernels& kernels, EnginePath path);
  ~EnginePathOverride();
  EnginePathOverride(const EnginePathOverride&) = delete;
  EnginePathOverride& operator=(const EnginePathOverride&) = delete;

private:
  int previousPath_;
  const LaneKernels* previousKernels_;
};

}  // namespace vx_detail

#endif
