// vxfreq: which vector path the transform engines take, chosen by measurement.
//
// Every vector path of the engines (SSE2, AVX2, AVX-512 on x86-64; NEON on aarch64)
// gives the same bits as every other, so the choice among them only changes speed, and
// the fastest differs by processor, engine and size: AVX-512 is fastest where the cores
// run 512-bit operations at full width, and 10-15 % slower than AVX2 where they split
// them in two. So the first call of an engine at a power-of-two transform size from
// 256 x 256 to 512 x 512 elements times the fixed rule (the widest path but AVX-512)
// against the wider paths this processor runs (narrower ones never win), on a copy of
// its input, for at most 10 milliseconds, keeps the fastest for the process, and every
// later call of that engine at that size and mode takes it. Larger sizes are decided by
// the same measurement at their sides halved down to 512 x 512 elements, on a fixed
// input; the extended mode's engines of other sizes at the next powers of two of their
// sides, halved likewise. The fixed rule stays unless another path is more than 3 % faster, so that
// measurement noise does not move a call off it. Sizes below the range, and the extended
// mode's other sizes, take the fixed rule. While one thread measures a size, other threads' calls
// at that size take the fixed rule; a call whose attention flag is set stops measuring within one
// pass of a trial transform (a few milliseconds) and keeps the fixed rule, so that the first call
// of a process stops as promptly as later ones. The measuring adds no attention checks
// to the call's own count.
//
// The environment variable VXFREQ_PLANNER=fixed (read once, at the first call), or
// vfSetPathPlanning(false), keeps the fixed rule everywhere.
#ifndef VXFREQ_FILT_PLANNER_H
#define VXFREQ_FILT_PLANNER_H

#include "platform/vx_export.h"

#include <string>

// The engines whose path is planned.
enum class vxEngine {
  ComplexForward = 0,  // complex 2-D forward transform (buffers, complex pictures)
  ComplexInverse = 1,  // complex 2-D inverse transform (every inverse)
  RealForward = 2,     // real-input forward transform (pictures)
  RealInverse = 3      // real-output inverse transform (the extended mode's real parts)
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

// The choices as a small text, as FFTW keeps its wisdom: a header, the processor and
// paths they were measured with, and one line per choice ("real-forward extended
// 512x512 avx512").
VX_API std::string vfExportPathPlans();
// Takes the choices of a text that vfExportPathPlans wrote on this processor and build.
// Text of another processor or build, or damaged anywhere, is refused whole: nothing
// is taken, false is returned and `note` (when given) says why.
VX_API bool vfImportPathPlans(const std::string& text, std::string* note = nullptr);

// The file where programs keep the choices between runs (the command line and the
// Python module do): VXFREQ_PLANS when set ("off": none), else
// $XDG_CACHE_HOME/vxfreq/path-plans, else $HOME/.cache/vxfreq/path-plans; empty for none.
VX_API std::string vfPathPlansFile();
// Imports that file. A missing file gives false and no note; a file that is damaged,
// too large or from another processor is ignored, giving false and a note saying so.
VX_API bool vfLoadPathPlans(std::string* note = nullptr);
// Writes every choice into that file (its folder made if need be) when choices were
// measured since the last load or save; true when written. A file that cannot be
// written gives false and a note; nothing else changes.
VX_API bool vfSavePathPlans(std::string* note = nullptr);

#endif
