// Choice of the instruction set that runs the transform engines (internal).
//
// The scalar kernels of engine_kernels.h define the engines' output bit for bit.
// The lane kernels run the very same float operations, in the same order, on
// several rows or columns at once: lane k of every vector operation carries row
// (or column) k, and the twiddle factors, which do not depend on the data, are the
// same in every lane. Bits therefore do not depend on the path taken.
//
// The path is chosen once per process from what the processor supports. Tests can
// force another path on their own thread (EnginePathOverride); nothing else changes
// it, and the library reads no configuration.
#ifndef VXFREQ_FILT_ENGINE_DISPATCH_H
#define VXFREQ_FILT_ENGINE_DISPATCH_H

#include <cstddef>
#include <cstdint>

namespace vx_detail {

enum class EnginePath { Scalar, Sse2, Avx2, Avx512 };

// Readable name of a path ("scalar", "sse2", "avx2", "avx512").
const char* enginePathName(EnginePath path);

// Whether this processor (and its operating system) can run the path.
bool enginePathSupported(EnginePath path);

// The path the engines take on the calling thread: the override when one is set,
// otherwise the widest supported path, determined on first use.
EnginePath activeEnginePath();

// Forces `path` on the calling thread for the guard's lifetime (tests and
// benchmarks). The path must be supported.
class EnginePathOverride {
public:
  explicit EnginePathOverride(EnginePath path);
  ~EnginePathOverride();
  EnginePathOverride(const EnginePathOverride&) = delete;
  EnginePathOverride& operator=(const EnginePathOverride&) = delete;

private:
  int previous_;
};

// Per-call tables that the lane kernels read. All of them are built by the scalar
// code of engine_plan.cpp with the same float operations the scalar kernels use.
struct LaneTables {
  // For each level k (rows of length L = 2^k use levels k, k-1, ..., 2): the
  // L/4 twiddle quadruples (wr1, wi1, wr3, wi3) of that level's stage, j = 1 .. L/4,
  // as the scalar stage reaches them by float rotation from (1, 0, 1, 0).
  const float* twiddles;
  std::int32_t levelOffset[16];  // index of level k's first float in `twiddles`
  // Bit reversal of the row length of each pass: output value i of a transformed
  // row is the value the stages left at position reverse[i].
  const std::int32_t* reverseRows;  // for the first pass
  const std::int32_t* reverseColumns;  // for the second pass
  // Real-input unpacking of rows of n = W/2 complex values: (wr, wi) for
  // i = 2 .. n/2 at unpack[2 (i - 2)], and the constants c1, c2.
  const float* unpack;
  float c1;
  float c2;
};

// The kernels of one vector path. `lanes` rows or columns go through one call.
// `work` is scratch of workFloats(n) floats, 64-byte aligned, owned by the caller.
struct LaneKernels {
  EnginePath path;
  std::int32_t lanes;

  // Floats of work memory that the kernels below need for rows of up to n values.
  std::size_t (*workFloats)(std::int32_t n);

  // Transforms `lanes` complex rows of n values (n >= 2) in place, forward or
  // inverse. rows[k] points at row k; rows that stand in for missing lanes may
  // point at the same dummy row of 2n floats.
  void (*complexRows)(float* const* rows, std::int32_t n, bool inverse, const LaneTables& tables,
                      float* work);

  // Transforms `count` (1 .. lanes) adjacent columns of n values (n >= 2) in place.
  // `top` points at the first column's value in row 0; consecutive rows are
  // `rowStride` floats apart.
  void (*complexColumns)(float* top, std::ptrdiff_t rowStride, std::int32_t n, std::int32_t count,
                         bool inverse, const LaneTables& tables, float* work);

  // The first pass of the real-input engine on `lanes` rows: each row's 2n real
  // samples (n >= 1) as n complex values, transformed and unpacked into values
  // 0 .. n of the row (2n + 2 floats).
  void (*realRows)(float* const* rows, std::int32_t n, const LaneTables& tables, float* work);

  // Fills columns W/2 + 1 .. W - 1 of rows [rowBegin, rowEnd) of a W x H spectrum
  // from the conjugate symmetry (see completeConjugateHalf).
  void (*completeRows)(float* data, std::int32_t width, std::int32_t height, std::int32_t rowBegin,
                       std::int32_t rowEnd);
};

// The kernels of the calling thread's active path; null for the scalar path.
const LaneKernels* activeLaneKernels();

// Kernel tables of the individual vector paths, each in its own translation unit.
extern const LaneKernels kSse2Kernels;
extern const LaneKernels kAvx2Kernels;
extern const LaneKernels kAvx512Kernels;

}  // namespace vx_detail

#endif
