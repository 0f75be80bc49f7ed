// vxfreq: which vector path the transform engines take, chosen by measurement.
//
// Every vector path of the engines (SSE2, AVX2, AVX-512 on x86-64; NEON on aarch64)
// gives the same bits as every other, so the choice among them only changes speed, and
// the fastest differs by processor, engine and size: AVX-512 is fastest where the cores
// run 512-bit operations at full width, and 10-15 % slower than AVX2 where they split
// them in two. So the first call of an engine at a transform size from 256 x 256 to
// 2048 x 2048 elements (W x H from 65536 to 4194304) times the paths this processor
// runs on a copy of its input (a few runs of each, about a tenth of a second in all at
// 2048 x 2048, less at smaller sizes), keeps the fastest for the process, and every
// later call of that engine at that size and mode takes it. The fixed rule (the widest
// path but AVX-512) stays unless another path is more than 3 % faster, so that
// measurement noise does not move a call off it. Sizes below the range take the fixed
// rule; sizes above it take the choice made at 2048 x 2048 for the engine, once there
// is one. While one thread measures a size, other threads' calls at that size take the
// fixed rule; a call whose attention flag is set stops measuring within one pass of a
// trial transform (a few milliseconds) and keeps the fixed rule, so that the first call
// of a process stops as promptly as later ones. The measuring adds no attention checks
// to the call's own count.
//
// The environment variable VXFREQ_PLANNER=fixed (read once, at the first call), or
// vfSetPathPlanning(false), keeps the fixed rule everywhere.
#ifndef VXFREQ_FILT_PLANNER_H
#define VXFREQ_FILT_PLANNER_H

#include "platform/vx_export.h"

// The engines whose path is planned.
enum class vxEngine {
  ComplexForward = 0,  // complex 2-D forward transform (buffers, complex pictures)
  ComplexInverse = 1,  // complex 2-D inverse transform (every inverse)
  RealForward = 2      // real-input forward transform (pictures)
};

// Whether the engines measure their paths (true unless VXFREQ_PLANNER=fixed), and a way
// to switch it for the process; switching does not forget choices already made.
VX_API bool vfPathPlanning();
VX_API void vfSetPathPlanning(bool measure);

// The path `engine` takes for a W x H transform on this processor in the calling
// thread's mode: "scalar", "sse2", "avx2", "avx512" or "neon". For powers of two, the
// planned path where one was measured, otherwise the path the next call would take
// without measuring; for the extended mode's other sizes, which are not planned, the
// path of the fixed rule (the scalar path for a single row or column). Throws
// InvalidSize "Size must be a power of 2." for a size the mode does not transform.
VX_API const char* vfEnginePath(vxEngine engine, long width, long height);

// Forgets every measured choice; the next calls measure again.
VX_API void vfForgetPathPlans();

#endif
