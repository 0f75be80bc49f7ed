// The kernels of one vector path of the engines, and the per-call tables they read
// (internal).
//
// The scalar kernels of filt/engine/kernels.h define the engines' output bit for bit.
// The lane kernels run the very same float operations (filt/engine/arith.h), in the
// same order, on several rows or columns at once: each lane of a vector operation
// carries one row (or column), and the twiddle factors, which do not depend on the
// data, are the same in every lane. Bits therefore do not depend on the path taken.
// filt/engine/lanes/impl.h holds the kernels, written once for every lane count; each
// path's stub file there compiles them for its instruction set.
#ifndef VXFREQ_FILT_ENGINE_LANE_KERNELS_H
#define VXFREQ_FILT_ENGINE_LANE_KERNELS_H

#include "filt/simd/paths.h"

#include <cstddef>
#include <cstdint>

namespace vx_detail {

class AnyPlan;

// The most vectors of columns one anyColumns call takes.
inline constexpr std::int32_t kAnyColumnBlocks = 2;

// Per-call tables that the lane kernels read. All of them are built by the scalar
// code of filt/engine/plan.cpp with the same float operations the scalar kernels use.
struct LaneTables {
  // For each level k (rows of length L = 2^k use levels k, k-1, ..., 2): the
  // L/4 twiddle quadruples (wr1, wi1, wr3, wi3) of that level's stage, j = 1 .. L/4,
  // as the scalar stage reaches them by float rotation from (1, 0, 1, 0).
  const float* twiddles;
  std::int32_t levelOffset[16];  // index of level k's first float in `twiddles`
  // Bit reversal of the row length of each pass: output value i of a transformed
  // row is the value the stages left at position reverse[i].
  const std::int32_t* reverseRows;     // for the first pass
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

  // How many adjacent columns of length n one complexColumns call takes at most
  // (a multiple of `lanes`).
  std::int32_t (*panelColumns)(std::int32_t n);

  // Transforms `lanes` complex rows of n values (n >= 2), forward or inverse: row k
  // is read at sources[k] and its transform written to rows[k] (the same pointer
  // for an in-place transform). Rows that stand in for missing lanes may point at
  // the same dummy row of 2n floats.
  void (*complexRows)(const float* const* sources, float* const* rows, std::int32_t n, bool inverse,
                      const LaneTables& tables, float* work);

  // Transforms `count` (1 .. panelColumns(n)) adjacent columns of n values (n >= 2)
  // in place, starting at column `column0`; the values of row r lie at rows[r].
  void (*complexColumns)(float* const* rows, std::int32_t column0, std::int32_t n,
                         std::int32_t count, bool inverse, const LaneTables& tables, float* work);

  // The first pass of the real-input engine on `lanes` rows: each row's 2n real
  // samples (n >= 1) as n complex values, transformed and unpacked into values
  // 0 .. n of the row (2n + 2 floats).
  void (*realRows)(float* const* rows, std::int32_t n, const LaneTables& tables, float* work);

  // The second pass of the real-input engine on columns column0 .. column0 + count - 1
  // (forward), which also completes the spectrum of a W x n array (`width` = W):
  // each result value (c, r) with 1 <= c <= W/2 - 1 is written, conjugated, to
  // (W - c, (n - r) mod n), as completeConjugateHalf does afterwards.
  void (*realColumns)(float* const* rows, std::int32_t column0, std::int32_t n, std::int32_t count,
                      std::int32_t width, const LaneTables& tables, float* work);

  // The real-output engine at powers of two (real_output.cpp). Its columns column0 ..
  // column0 + count - 1 (count as for complexColumns, all at most W/2) of the W x n
  // spectrum at `source` (`width` = W): the Hermitian part of each value, then the
  // inverse transform along the column, into rows[r] (which may be the source's rows).
  // With `symmetric` the mirror of a value in the columns 1 .. W/2 - 1 is taken to be
  // its conjugate, as pow2RealOutputFFT2D says.
  void (*hermitianColumns)(const float* source, float* const* rows, std::int32_t column0,
                           std::int32_t n, std::int32_t count, std::int32_t width, bool symmetric,
                           const LaneTables& tables, float* work);
  // Its rows, in place: each row's values 0 .. n packed with the factors of
  // packOutputRow (any_engine.h), inverse transformed (n >= 2) and spread out as the
  // row's W = 2n values (sample, 0).
  void (*realOutputRows)(float* const* rows, std::int32_t n, const float* factors,
                         const LaneTables& tables, float* work);

  // The transforms of any length of the extended mode (any_plan.h), `lanes` at a time.
  // Floats of work memory (64-byte aligned) that the two kernels below need for `plan`.
  std::size_t (*anyWorkFloats)(const AnyPlan& plan);
  // Rows of plan.length() values, read at sources[k] and written to rows[k], as
  // complexRows.
  void (*anyRows)(const float* const* sources, float* const* rows, const AnyPlan& plan,
                  bool inverse, float* work);
  // The real-input engine's rows, in place: each row's 2n samples (n = plan.length())
  // as n complex values, transformed and unpacked into values 0 .. n with the factors
  // of unpackRealRow (kernels.h).
  void (*anyRealRows)(float* const* rows, const AnyPlan& plan, const float* factors, float* work);
  // The real-input engine's rows of an odd length n = plan.length(), 2 lanes at a time
  // and in place: rows[2k] and rows[2k + 1] (k < lanes) hold n samples each, taken as
  // one complex row rows[2k] + i rows[2k + 1], transformed and separated (separatePair)
  // into values 0 .. (n - 1)/2 of each row.
  void (*anyRealPairs)(float* const* rows, const AnyPlan& plan, float* work);
  // Columns column0 .. column0 + count - 1 (count <= kAnyColumnBlocks lanes) of
  // plan.length() rows, in
  // place; the values of row r lie at rows[r]. With mirrorWidth W > 0 (forward only)
  // the conjugate of each result (c, r) with 1 <= c <= (W - 1)/2 also goes to
  // (W - c, (n - r) mod n), as completeConjugateHalf does.
  void (*anyColumns)(float* const* rows, std::int32_t column0, std::int32_t count,
                     std::int32_t mirrorWidth, const AnyPlan& plan, bool inverse, float* work);

  // The real-output engine (any_arith.h). Its columns column0 .. column0 + count - 1
  // (count <= kAnyColumnBlocks lanes, all at most W/2) of the W x plan.length() spectrum
  // at `source`: the Hermitian part of each value, then the inverse transform along the
  // column, into rows[r]. `source` may be the array the rows point into. `symmetric`
  // as for hermitianColumns.
  void (*anyHermitianColumns)(const float* source, float* const* rows, std::int32_t column0,
                              std::int32_t count, std::int32_t width, bool symmetric,
                              const AnyPlan& plan, float* work);
  // Its rows of W = 2n samples (n = plan.length()), in place: values 0 .. n of each row's
  // half spectrum into the W values (sample, 0), with the packing factors.
  void (*anyOutputRows)(float* const* rows, const AnyPlan& plan, const float* factors, float* work);
  // Its rows of an odd width W = plan.length(), 2 lanes at a time and in place: the half
  // spectra of rows[2k] and rows[2k + 1] joined into one complex row, whose inverse's
  // real and imaginary parts become the two rows' W values (sample, 0).
  void (*anyOutputPairs)(float* const* rows, const AnyPlan& plan, float* work);
};

}  // namespace vx_detail

#endif
