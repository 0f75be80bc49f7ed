// Scalar building blocks of the transform engines (internal).
//
// These are the reference kernels: plain code whose float operations, and their
// order, define the engines' output bit for bit. A faster variant may replace any
// one of them, provided it produces the same bits.
//
// Positions inside a row follow the classic 1-based convention where the code
// says so: value i is the complex value at 0-based position i - 1, its real part
// at float 2(i - 1) and its imaginary part at float 2(i - 1) + 1.
#ifndef VXFREQ_FILT_ENGINE_KERNELS_H
#define VXFREQ_FILT_ENGINE_KERNELS_H

#include "filt/engine/arith.h"
#include "filt/engine/schedule.h"
#include "filt/engine/twiddles.h"

#include <cstdint>
#include <vector>

namespace vx_detail {

// The rotations of the compatible mode's twiddle factors (twiddles.h). Level k = 0 ..
// 15 holds, at v[4k] .. v[4k + 3], cos a, sin a, cos 3a and sin 3a of a = 2 pi / 2^k,
// each computed in double and rounded to float (2 pi = 6.283185307179586, 3a = a * 3.0).
// A row of length N uses the levels log2 N down to 2.
struct TwiddleTable {
  static constexpr int kLevels = 16;
  float v[4 * kLevels];
};
TwiddleTable makeTwiddleTable();

// Builds the bit-reversal swap table for rows of length n (a power of two) in
// table[1 .. n - 1]: entry i is 2 * (the 1-based partner of value i) when value i
// is exchanged with a later value, and -1 otherwise. `table` must hold at least n
// entries; entry 0 and entries from n on are left as they are.
void buildSwapTable(std::int32_t* table, std::int32_t n);

// Negates the imaginary part of each of the n complex values at `row`.
void negateImaginary(float* row, std::int32_t n);

// The radix-2/4 split-radix decimation-in-frequency stages of the forward row
// transform: log2(n) - 1 stages, each with the twiddle factors of its level.
void splitRadixStages(float* row, std::int32_t n, const EngineTables& tables);

// The final length-2 butterflies of the split-radix transform.
void lengthTwoButterflies(float* row, std::int32_t n);

// Bit-reversal permutation of the n values at `row`, driven by a swap table built
// for n.
void bitReverse(float* row, std::int32_t n, const std::int32_t* swapTable);

// The complete 1-D transform of the n complex values at `row`, in place and
// unscaled: forward (e^(-2 pi i nk/N)) or, with `inverse`, the inverse, done as the
// forward transform between two negations of the imaginary parts. Rows of length
// 1 are left as they are.
void transformRow(float* row, std::int32_t n, bool inverse, const EngineTables& tables,
                  const std::int32_t* swapTable);

// Constants of the compatible mode's real-row unpacking for half-length n = W/2 >= 1,
// from which twiddles.h advances its factors.
struct RealUnpackFactors {
  float c1;   // 0.5
  float c2;   // -0.5
  float wpr;  // (s * -2) * s with s = sinf(theta * 0.5)
  float wpi;  // -sinf(theta)
};
// theta is the float nearest to pi / n, computed in double with pi = 3.141592653589793.
RealUnpackFactors makeRealUnpackFactors(std::int32_t n);

// Turns the n-point complex transform of a row's 2n real samples (the row's first
// 2n floats) into that row's spectrum X[u], u = 0 .. n, as n + 1 complex values:
// the row must have room for 2n + 2 floats. Values 0 and n come out with zero
// imaginary parts.
// The factors of each step come from `tables` (built for n); c1 = 0.5, c2 = -0.5.
void unpackRealRow(float* row, std::int32_t n, const EngineTables& tables);
// The same for any n >= 1 with the factors (wr, wi) of steps i = 2 .. (n + 1)/2 at
// factors[2 (i - 2)]: an odd n has no value n/2, which an even n only conjugates.
void unpackRealRow(float* row, std::int32_t n, const float* factors);

// The column pass of the scalar path without a transpose: a panel of up to kPanel
// adjacent columns of n values is copied into rows of its own, each transformed by
// transformRow, and copied back. The transposes only move values, so the bits are those
// of transforming the rows of the transposed array.
class ColumnGather {
public:
  static constexpr std::int32_t kPanel = 8;
  // For columns of n values, with room for `bands` tasks at once.
  ColumnGather(std::int32_t n, long bands);
  // The panels of `columns` columns.
  static long units(std::int32_t columns) { return (columns + kPanel - 1) / kPanel; }
  static ColumnUnit unit(long u, std::int32_t columns) {
    const auto c0 = static_cast<std::int32_t>(u * kPanel);
    return ColumnUnit{c0, columns - c0 < kPanel ? columns - c0 : kPanel};
  }
  // Transforms the columns of `unit`, whose values of row r lie at rows[r].
  void transform(float* const* rows, long band, ColumnUnit unit, bool inverse,
                 const EngineTables& tables, const std::int32_t* swapTable);

private:
  std::int32_t n_;
  std::vector<float> panels_;
};

// Fills columns W/2 + 1 .. W - 1 of a W x H spectrum from columns 1 .. (W - 1)/2 by
// the symmetry of the transform of real data: value (W - u, v) becomes the
// conjugate of value (u, (H - v) mod H).
void completeConjugateHalf(float* data, std::int32_t width, std::int32_t height);

}  // namespace vx_detail

#endif
