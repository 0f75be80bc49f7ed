// The lane kernels of the transform engines, written once for every vector width.
//
// Each stub file of this folder (one per path of filt/simd/paths.h) defines VX_PATH
// (the path's name in VXFREQ_VECTOR_PATHS), VX_LANES (floats per vector: 4, 8 or 16)
// and VX_LANES_TARGET (the function attribute that selects the instruction set, empty
// where the baseline has it), and then includes this file. It defines the path's
// kernel table k<VX_PATH>Kernels (or VX_KERNELS_TABLE when that is defined, for the
// tests' own widths) and puts everything else in an unnamed namespace: each
// translation unit gets its own copy, compiled for its own instruction set, and no code
// compiled for a wider set can be shared with a narrower path by the linker.
//
// Layout of the work memory: each lane of a vector belongs to one row (or column);
// complex value i of the transformed rows is the vector pair x[2i] (real parts) and
// x[2i + 1] (imaginary parts). Every lane then runs the float operations of
// filt/engine/arith.h that the scalar kernels run, in their order, with the same twiddle
// factors (broadcast from the per-call tables), so each lane's bits equal those of
// the scalar transform of its row.
//
// The butterflies of one split-radix stage touch disjoint values, so they may run
// in any order; only the data flow between stages counts. The stages are therefore
// run depth first over the blocks of the split-radix decomposition (a block of L
// values splits into one of L/2 and two of L/4), which keeps the values a block
// works on in the first-level cache; the stage of a block and that of its first
// child run together while their values are in registers, and blocks of 8 and 4
// values run entirely in registers. The bit reversal is folded into the loop that
// writes the results back.
#ifndef VX_LANES
#error "define VX_PATH, VX_LANES and VX_LANES_TARGET before including filt/engine/lanes/impl.h"
#endif

#include "filt/engine/any_arith.h"
#include "filt/engine/arith.h"
#include "filt/engine/lane_kernels.h"

#include <cstddef>
#include <cstdint>

namespace vx_detail {
namespace {

typedef float Vec __attribute__((vector_size(4 * VX_LANES)));
typedef std::int32_t IVec __attribute__((vector_size(4 * VX_LANES)));

constexpr std::int32_t kLanes = VX_LANES;
constexpr std::int32_t kChunk = kLanes / 2;  // complex values in one vector of a row

#define VX_FLATTEN VX_LANES_TARGET inline __attribute__((always_inline))

// ---------------------------------------------------------------------------
// What depends on the width, in one section per width: the lists of blocks and
// lanes, and the last step of the square transpose, which puts the 4 x 4 transposes
// of the 128-bit blocks in their places (u[c][m] block b holds column 4b + c of rows
// 4m .. 4m + 3; r[k] receives column k).

#if VX_LANES == 4
#define VX_BLOCKS(f) f(0)
#define VX_EVERY_LANE(s) s, s, s, s
VX_FLATTEN void joinBlocks(Vec (&u)[4][kLanes / 4], Vec* r) {
  for (std::int32_t c = 0; c < 4; ++c) r[c] = u[c][0];
}
#elif VX_LANES == 8
#define VX_BLOCKS(f) f(0), f(1)
#define VX_EVERY_LANE(s) s, s, s, s, s, s, s, s
VX_FLATTEN void joinBlocks(Vec (&u)[4][kLanes / 4], Vec* r) {
  for (std::int32_t c = 0; c < 4; ++c) {
    r[c] = __builtin_shufflevector(u[c][0], u[c][1], 0, 1, 2, 3, 8, 9, 10, 11);
    r[4 + c] = __builtin_shufflevector(u[c][0], u[c][1], 4, 5, 6, 7, 12, 13, 14, 15);
  }
}
#elif VX_LANES == 16
#define VX_BLOCKS(f) f(0), f(1), f(2), f(3)
#define VX_EVERY_LANE(s) s, s, s, s, s, s, s, s, s, s, s, s, s, s, s, s
VX_FLATTEN void joinBlocks(Vec (&u)[4][kLanes / 4], Vec* r) {
  for (std::int32_t c = 0; c < 4; ++c) {
    const Vec s0 = __builtin_shufflevector(u[c][0], u[c][1], 0, 1, 2, 3, 8, 9, 10, 11, 16, 17, 18,
                                           19, 24, 25, 26, 27);
    const Vec s1 = __builtin_shufflevector(u[c][0], u[c][1], 4, 5, 6, 7, 12, 13, 14, 15, 20, 21, 22,
                                           23, 28, 29, 30, 31);
    const Vec s2 = __builtin_shufflevector(u[c][2], u[c][3], 0, 1, 2, 3, 8, 9, 10, 11, 16, 17, 18,
                                           19, 24, 25, 26, 27);
    const Vec s3 = __builtin_shufflevector(u[c][2], u[c][3], 4, 5, 6, 7, 12, 13, 14, 15, 20, 21, 22,
                                           23, 28, 29, 30, 31);
    r[c] =
        __builtin_shufflevector(s0, s2, 0, 1, 2, 3, 8, 9, 10, 11, 16, 17, 18, 19, 24, 25, 26, 27);
    r[4 + c] =
        __builtin_shufflevector(s1, s3, 0, 1, 2, 3, 8, 9, 10, 11, 16, 17, 18, 19, 24, 25, 26, 27);
    r[8 + c] =
        __builtin_shufflevector(s0, s2, 4, 5, 6, 7, 12, 13, 14, 15, 20, 21, 22, 23, 28, 29, 30, 31);
    r[12 + c] =
        __builtin_shufflevector(s1, s3, 4, 5, 6, 7, 12, 13, 14, 15, 20, 21, 22, 23, 28, 29, 30, 31);
  }
}
#else
#error "VX_LANES must be 4, 8 or 16"
#endif

static_assert(kLanes <= kMaxLanes, "the engines' per-lane arrays hold kMaxLanes rows");

// Shuffle patterns that work inside each 128-bit block of a vector, so that every
// one of them is a single instruction on every path (all but the last, which
// reverses the order of the complex values of a whole vector). VX_BLOCKS(f) lists
// f(b) for each block b.
#define VX_EVEN(b) 4 * b, 4 * b + 2, VX_LANES + 4 * b, VX_LANES + 4 * b + 2
#define VX_ODD(b) 4 * b + 1, 4 * b + 3, VX_LANES + 4 * b + 1, VX_LANES + 4 * b + 3
#define VX_UNPACKLO(b) 4 * b, VX_LANES + 4 * b, 4 * b + 1, VX_LANES + 4 * b + 1
#define VX_UNPACKHI(b) 4 * b + 2, VX_LANES + 4 * b + 2, 4 * b + 3, VX_LANES + 4 * b + 3
#define VX_LO64(b) 4 * b, 4 * b + 1, VX_LANES + 4 * b, VX_LANES + 4 * b + 1
#define VX_HI64(b) 4 * b + 2, 4 * b + 3, VX_LANES + 4 * b + 2, VX_LANES + 4 * b + 3
#define VX_REVERSE_PAIRS(b) \
  VX_LANES - 4 * b - 2, VX_LANES - 4 * b - 1, VX_LANES - 4 * b - 4, VX_LANES - 4 * b - 3

VX_FLATTEN Vec load(const float* p) {
  Vec v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

VX_FLATTEN void store(float* p, Vec v) { __builtin_memcpy(p, &v, sizeof v); }

// Flips the sign bits selected by `mask`.
VX_FLATTEN Vec flipSign(Vec v, IVec mask) {
  IVec bits;
  __builtin_memcpy(&bits, &v, sizeof v);
  bits ^= mask;
  __builtin_memcpy(&v, &bits, sizeof v);
  return v;
}

// The imaginary parts as the row transform sees them: negated (-x, exactly) before
// and after the stages of an inverse transform.
template <bool Inverse>
VX_FLATTEN Vec imaginary(Vec v) {
  if (Inverse) return -v;
  return v;
}

// ---------------------------------------------------------------------------
// The split-radix stages on lanes.

// A vector with every lane equal to *p (a broadcast straight from memory).
VX_FLATTEN Vec splat(const float* p) {
  const float s = *p;
  const Vec v = {VX_EVERY_LANE(s)};
  return v;
}

// The split-radix butterfly on four complex values held in registers, with the
// twiddles w = (wr1, wi1, wr3, wi3) broadcast to every lane.
VX_FLATTEN void butterflyValues(Vec& re0, Vec& im0, Vec& re1, Vec& im1, Vec& re2, Vec& im2,
                                Vec& re3, Vec& im3, const float* __restrict w) {
  const Vec wr1 = splat(w);
  const Vec wi1 = splat(w + 1);
  const Vec wr3 = splat(w + 2);
  const Vec wi3 = splat(w + 3);
  splitRadixButterfly(re0, im0, re1, im1, re2, im2, re3, im3, wr1, wi1, wr3, wi3);
}

// The stage of a block of 4q values fused with the stage of its first child (the
// block of its first 2q values, quarter q/2): the butterflies j and j + q/2 of the
// block leave in registers the four values that butterfly j of the child combines.
// Each butterfly still sees exactly the inputs it sees in the scalar order.
VX_FLATTEN void fusedStages(Vec* __restrict x, std::int32_t q, const float* __restrict w,
                            const float* __restrict wChild) {
  const std::int32_t h = q / 2;
  for (std::int32_t j = 0; j < h; ++j) {
    Vec* a0 = x + 2 * j;   // block values j, j + q, j + 2q, j + 3q
    Vec* b0 = a0 + 2 * h;  // block values j + h, ...
    Vec* a1 = a0 + 2 * q;
    Vec* b1 = b0 + 2 * q;
    Vec* a2 = a1 + 2 * q;
    Vec* b2 = b1 + 2 * q;
    Vec* a3 = a2 + 2 * q;
    Vec* b3 = b2 + 2 * q;

    Vec are0 = a0[0], aim0 = a0[1], are1 = a1[0], aim1 = a1[1];
    Vec are2 = a2[0], aim2 = a2[1], are3 = a3[0], aim3 = a3[1];
    butterflyValues(are0, aim0, are1, aim1, are2, aim2, are3, aim3, w + 4 * j);
    a2[0] = are2;
    a2[1] = aim2;
    a3[0] = are3;
    a3[1] = aim3;

    Vec bre0 = b0[0], bim0 = b0[1], bre1 = b1[0], bim1 = b1[1];
    Vec bre2 = b2[0], bim2 = b2[1], bre3 = b3[0], bim3 = b3[1];
    butterflyValues(bre0, bim0, bre1, bim1, bre2, bim2, bre3, bim3, w + 4 * (j + h));
    b2[0] = bre2;
    b2[1] = bim2;
    b3[0] = bre3;
    b3[1] = bim3;

    // The child's values j, j + h, j + 2h, j + 3h are the block's j, j + h, j + q,
    // j + q + h.
    butterflyValues(are0, aim0, bre0, bim0, are1, aim1, bre1, bim1, wChild + 4 * j);
    a0[0] = are0;
    a0[1] = aim0;
    b0[0] = bre0;
    b0[1] = bim0;
    a1[0] = are1;
    a1[1] = aim1;
    b1[0] = bre1;
    b1[1] = bim1;
  }
}

// The length-2 butterfly on values 0 and 1 of x.
VX_FLATTEN void lengthTwo(Vec* x) { lengthTwoButterfly(x[0], x[1], x[2], x[3]); }

// A block of 4 values: its butterfly and the length-2 butterfly of its first two.
// The values are named locals, not an array, so that they stay in registers.
VX_FLATTEN void block4(Vec* __restrict x, const LaneTables& t) {
  Vec re0 = x[0], im0 = x[1], re1 = x[2], im1 = x[3];
  Vec re2 = x[4], im2 = x[5], re3 = x[6], im3 = x[7];
  butterflyValues(re0, im0, re1, im1, re2, im2, re3, im3, t.twiddles + t.levelOffset[2]);
  lengthTwoButterfly(re0, im0, re1, im1);
  x[0] = re0, x[1] = im0, x[2] = re1, x[3] = im1;
  x[4] = re2, x[5] = im2, x[6] = re3, x[7] = im3;
}

// A block of 8 values, all of its stages with the values in registers: the two
// butterflies of the block, then those of its children (a block of 4, two of 2).
VX_FLATTEN void block8(Vec* __restrict x, const LaneTables& t) {
  const float* w = t.twiddles + t.levelOffset[3];
  Vec re0 = x[0], im0 = x[1], re1 = x[2], im1 = x[3], re2 = x[4], im2 = x[5], re3 = x[6],
      im3 = x[7];
  Vec re4 = x[8], im4 = x[9], re5 = x[10], im5 = x[11], re6 = x[12], im6 = x[13], re7 = x[14],
      im7 = x[15];
  butterflyValues(re0, im0, re2, im2, re4, im4, re6, im6, w);
  butterflyValues(re1, im1, re3, im3, re5, im5, re7, im7, w + 4);
  butterflyValues(re0, im0, re1, im1, re2, im2, re3, im3, t.twiddles + t.levelOffset[2]);
  lengthTwoButterfly(re0, im0, re1, im1);
  lengthTwoButterfly(re4, im4, re5, im5);
  lengthTwoButterfly(re6, im6, re7, im7);
  x[0] = re0, x[1] = im0, x[2] = re1, x[3] = im1, x[4] = re2, x[5] = im2, x[6] = re3, x[7] = im3;
  x[8] = re4, x[9] = im4, x[10] = re5, x[11] = im5, x[12] = re6, x[13] = im6, x[14] = re7,
  x[15] = im7;
}

// All stages of a block of `length` values (a power of two) at x, whose top stage
// uses twiddle level `level` = log2(length).
VX_LANES_TARGET void splitRadix(Vec* x, std::int32_t length, int level, const LaneTables& t) {
  if (length == 8) return block8(x, t);
  if (length == 4) return block4(x, t);
  if (length == 2) return lengthTwo(x);
  if (length < 2) return;
  const std::int32_t q = length / 4;
  fusedStages(x, q, t.twiddles + t.levelOffset[level], t.twiddles + t.levelOffset[level - 1]);
  // The rest of the first child (values 0 .. 2q - 1): its own three children.
  splitRadix(x, q, level - 2, t);
  splitRadix(x + 2 * q, q / 2, level - 3, t);
  splitRadix(x + 3 * q, q / 2, level - 3, t);
  // The block's other two children.
  splitRadix(x + 4 * q, q, level - 2, t);
  splitRadix(x + 6 * q, q, level - 2, t);
}

// ---------------------------------------------------------------------------
// Moving rows in and out of the lanes.

// Transposes the kLanes x kLanes floats held in r[0 .. kLanes-1] (r[i] lane j
// becomes r[j] lane i): 4 x 4 transposes inside each 128-bit block, then the
// blocks themselves.
VX_FLATTEN void transposeSquare(Vec* r) {
  Vec u[4][kLanes / 4];
  for (std::int32_t m = 0; m < kLanes / 4; ++m) {
    const Vec t0 = __builtin_shufflevector(r[4 * m], r[4 * m + 1], VX_BLOCKS(VX_UNPACKLO));
    const Vec t1 = __builtin_shufflevector(r[4 * m], r[4 * m + 1], VX_BLOCKS(VX_UNPACKHI));
    const Vec t2 = __builtin_shufflevector(r[4 * m + 2], r[4 * m + 3], VX_BLOCKS(VX_UNPACKLO));
    const Vec t3 = __builtin_shufflevector(r[4 * m + 2], r[4 * m + 3], VX_BLOCKS(VX_UNPACKHI));
    u[0][m] = __builtin_shufflevector(t0, t2, VX_BLOCKS(VX_LO64));
    u[1][m] = __builtin_shufflevector(t0, t2, VX_BLOCKS(VX_HI64));
    u[2][m] = __builtin_shufflevector(t1, t3, VX_BLOCKS(VX_LO64));
    u[3][m] = __builtin_shufflevector(t1, t3, VX_BLOCKS(VX_HI64));
  }
  // u[c][m] block b holds column 4b + c of rows 4m .. 4m + 3.
  joinBlocks(u, r);
}

// Loads values 0 .. n-1 of the rows into the lanes: x[2i] and x[2i + 1] get the real
// and imaginary parts of value i of every row.
// Whole vectors of the rows go through the square transposes; a length that is not
// a multiple of kChunk leaves its last values to the loop value by value.
template <bool Inverse>
VX_LANES_TARGET void gatherRows(const float* const* rows, std::int32_t n, Vec* x) {
  const std::int32_t whole = n / kChunk * kChunk;
  if (whole > 0) {
    for (std::int32_t e = 0; e < whole; e += kChunk) {
      Vec r[kLanes];
      for (std::int32_t k = 0; k < kLanes; ++k) r[k] = load(rows[k] + 2 * e);
      transposeSquare(r);
      for (std::int32_t m = 0; m < kChunk; ++m) {
        x[2 * (e + m)] = r[2 * m];
        x[2 * (e + m) + 1] = imaginary<Inverse>(r[2 * m + 1]);
      }
    }
  }
  for (std::int32_t e = whole; e < n; ++e) {
    Vec re = {};
    Vec im = {};
    for (std::int32_t k = 0; k < kLanes; ++k) {
      re[k] = rows[k][2 * e];
      im[k] = rows[k][2 * e + 1];
    }
    x[2 * e] = re;
    x[2 * e + 1] = imaginary<Inverse>(im);
  }
}

// Stores values 0 .. n-1 of the lanes into the rows: value i of row k is lane k of
// x[2 order[i]] and x[2 order[i] + 1] (order null: of x[2i] and x[2i + 1]).
template <bool Inverse>
VX_LANES_TARGET void scatterRows(float* const* rows, std::int32_t n, const Vec* x,
                                 const std::int32_t* order) {
  const std::int32_t whole = n / kChunk * kChunk;
  if (whole > 0) {
    for (std::int32_t e = 0; e < whole; e += kChunk) {
      Vec r[kLanes];
      for (std::int32_t m = 0; m < kChunk; ++m) {
        const std::int32_t s = order != nullptr ? order[e + m] : e + m;
        r[2 * m] = x[2 * s];
        r[2 * m + 1] = imaginary<Inverse>(x[2 * s + 1]);
      }
      transposeSquare(r);
      for (std::int32_t k = 0; k < kLanes; ++k) store(rows[k] + 2 * e, r[k]);
    }
  }
  for (std::int32_t e = whole; e < n; ++e) {
    const std::int32_t s = order != nullptr ? order[e] : e;
    const Vec re = x[2 * s];
    const Vec im = imaginary<Inverse>(x[2 * s + 1]);
    for (std::int32_t k = 0; k < kLanes; ++k) {
      rows[k][2 * e] = re[k];
      rows[k][2 * e + 1] = im[k];
    }
  }
}

// The end of the real-input rows' unpacking: values 0 and n of the rows' spectra
// (unpackEnds) from value 0 = (d0, d1) of their transforms, then values 0 .. n of v
// into the rows.
VX_FLATTEN void finishRealRows(float* const* rows, std::int32_t n, const Vec& d0, const Vec& d1,
                               Vec* v) {
  const Vec zero = {};
  unpackEnds(d0, d1, v[0], v[2 * n]);
  v[1] = zero;
  v[2 * n + 1] = zero;
  scatterRows<false>(rows, n, v, nullptr);
  for (std::int32_t k = 0; k < kLanes; ++k) {
    rows[k][2 * n] = v[2 * n][k];
    rows[k][2 * n + 1] = v[2 * n + 1][k];
  }
}

// ---------------------------------------------------------------------------
// The kernels.

std::int32_t panelColumns(std::int32_t n);
std::ptrdiff_t columnBlockVectors(std::int32_t n);

std::size_t workFloats(std::int32_t n) {
  // Rows: the transformed values (2n vectors) and, for the real-input rows, the
  // same values in natural order plus value n (2n + 2 vectors), or for the real-output
  // rows their 2n samples spread out as values (4n vectors). Columns: 2n vectors for
  // each block of a panel.
  const std::size_t rows = 6 * static_cast<std::size_t>(n) + 2;
  const std::size_t columns =
      static_cast<std::size_t>(columnBlockVectors(n)) * (panelColumns(n) / kLanes);
  return (rows > columns ? rows : columns) * kLanes;
}

template <bool Inverse>
VX_LANES_TARGET void complexRowsIn(const float* const* sources, float* const* rows, std::int32_t n,
                                   const LaneTables& t, float* work) {
  Vec* x = reinterpret_cast<Vec*>(work);
  gatherRows<Inverse>(sources, n, x);
  splitRadix(x, n, log2Exact(n), t);
  scatterRows<Inverse>(rows, n, x, t.reverseRows);
}

VX_LANES_TARGET void complexRows(const float* const* sources, float* const* rows, std::int32_t n,
                                 bool inverse, const LaneTables& t, float* work) {
  if (inverse)
    complexRowsIn<true>(sources, rows, n, t, work);
  else
    complexRowsIn<false>(sources, rows, n, t, work);
}

// Columns of a panel, kLanes per block of the work memory. The 2 kLanes floats of
// a row of one block hold kLanes complex values; the in-block shuffles give the
// lanes in the order 0 1 4 5 | 2 3 6 7 (and so on), which the write-back undoes.
VX_FLATTEN void loadColumns(const float* p, std::int32_t count, Vec& a, Vec& b) {
  if (count == kLanes) {
    a = load(p);
    b = load(p + kLanes);
  } else {
    float part[2 * kLanes] = {};
    for (std::int32_t f = 0; f < 2 * count; ++f) part[f] = p[f];
    a = load(part);
    b = load(part + kLanes);
  }
}

template <bool Inverse>
VX_FLATTEN void splitColumns(const float* p, std::int32_t count, Vec* x) {
  Vec a;
  Vec b;
  loadColumns(p, count, a, b);
  x[0] = __builtin_shufflevector(a, b, VX_BLOCKS(VX_EVEN));
  x[1] = imaginary<Inverse>(__builtin_shufflevector(a, b, VX_BLOCKS(VX_ODD)));
}

// The values of columns (W - c - k) mod W of a row, k < inBlock, in the places where
// loadColumns puts columns c + k (zeros past inBlock): the mirrors of a block of columns.
VX_FLATTEN void loadMirrorColumns(const float* mirror, std::int32_t c, std::int32_t inBlock,
                                  std::int32_t width, Vec& a, Vec& b) {
  if (inBlock == kLanes && c >= 1) {
    const Vec low = load(mirror + 2 * (width - c - kLanes + 1));
    const Vec high = load(mirror + 2 * (width - c - kChunk + 1));
    a = __builtin_shufflevector(high, high, VX_BLOCKS(VX_REVERSE_PAIRS));
    b = __builtin_shufflevector(low, low, VX_BLOCKS(VX_REVERSE_PAIRS));
    return;
  }
  float part[2 * kLanes] = {};
  for (std::int32_t k = 0; k < inBlock; ++k) {
    const std::int32_t m = c + k == 0 ? 0 : width - c - k;
    part[2 * k] = mirror[2 * m];
    part[2 * k + 1] = mirror[2 * m + 1];
  }
  a = load(part);
  b = load(part + kLanes);
}

// The mirrors of a block of columns c .. c + inBlock - 1 (their values at `p`, their
// mirrors' row at `mirror`) in a spectrum known to be conjugate-symmetric: conj x for
// the columns 1 <= c < W/2, whose mirrors are then not read; the mirrors themselves,
// read as loadMirrorColumns does, for columns 0 and W/2, each its own mirror.
VX_FLATTEN void symmetricMirrors(const float* p, const float* mirror, std::int32_t c,
                                 std::int32_t inBlock, std::int32_t width, Vec& a, Vec& b) {
  float part[2 * kLanes] = {};
  for (std::int32_t k = 0; k < inBlock; ++k) {
    const std::int32_t u = c + k;
    if (u == 0 || 2 * u == width) {
      part[2 * k] = mirror[2 * u];
      part[2 * k + 1] = mirror[2 * u + 1];
    } else {
      part[2 * k] = p[2 * k];
      part[2 * k + 1] = -p[2 * k + 1];
    }
  }
  a = load(part);
  b = load(part + kLanes);
}

// The Hermitian parts (x + conj m) / 2 of a block of columns c .. c + inBlock - 1 of a
// row, their values at `p` and their mirrors' row at `mirror` (the real-output engines'
// columns), as real and imaginary parts in the lanes. With `symmetric`, symmetricMirrors.
VX_FLATTEN void hermitianColumnsBlock(const float* p, const float* mirror, std::int32_t c,
                                      std::int32_t inBlock, std::int32_t width, bool symmetric,
                                      Vec& re, Vec& im) {
  Vec va, vb;
  loadColumns(p, inBlock, va, vb);
  re = __builtin_shufflevector(va, vb, VX_BLOCKS(VX_EVEN));
  im = __builtin_shufflevector(va, vb, VX_BLOCKS(VX_ODD));
  if (symmetric && c >= 1 && 2 * (c + inBlock - 1) < width) {
    hermitianPart(re, im, re, -im);
    return;
  }
  Vec ma, mb;
  if (symmetric)
    symmetricMirrors(p, mirror, c, inBlock, width, ma, mb);
  else
    loadMirrorColumns(mirror, c, inBlock, width, ma, mb);
  hermitianPart(re, im, __builtin_shufflevector(ma, mb, VX_BLOCKS(VX_EVEN)),
                __builtin_shufflevector(ma, mb, VX_BLOCKS(VX_ODD)));
}

template <bool Inverse>
VX_FLATTEN void joinColumns(float* p, std::int32_t count, const Vec* x, Vec& a, Vec& b) {
  const Vec re = x[0];
  const Vec im = imaginary<Inverse>(x[1]);
  a = __builtin_shufflevector(re, im, VX_BLOCKS(VX_UNPACKLO));
  b = __builtin_shufflevector(re, im, VX_BLOCKS(VX_UNPACKHI));
  if (count == kLanes) {
    store(p, a);
    store(p + kLanes, b);
  } else {
    float part[2 * kLanes];
    store(part, a);
    store(part + kLanes, b);
    for (std::int32_t f = 0; f < 2 * count; ++f) p[f] = part[f];
  }
}

// The conjugates of the inBlock values of columns c .. c + inBlock - 1 of a row (a
// and b as joinColumns leaves them, in column order) into columns W - c, W - c - 1, ...
// of the row `mirror`: completeConjugateHalf for the columns c with 1 <= c <= W/2 - 1.
VX_FLATTEN void mirrorColumns(float* mirror, std::int32_t c, std::int32_t inBlock,
                              std::int32_t width, Vec a, Vec b) {
  IVec imagSign = {};
  for (std::int32_t k = 1; k < kLanes; k += 2) imagSign[k] = -0x7fffffff - 1;
  // Columns 1 .. (W - 1)/2 have mirrors: (W + 1)/2 is W/2 for the even widths.
  const std::int32_t half = (width + 1) / 2;
  // Only the block's own columns: the places of the others belong to the panel that
  // holds them, which may be running at the same time on another thread.
  if (inBlock == kLanes && c >= 1 && c + kLanes - 1 <= half - 1) {
    store(mirror + 2 * (width - c - kLanes + 1),
          flipSign(__builtin_shufflevector(b, b, VX_BLOCKS(VX_REVERSE_PAIRS)), imagSign));
    store(mirror + 2 * (width - c - kChunk + 1),
          flipSign(__builtin_shufflevector(a, a, VX_BLOCKS(VX_REVERSE_PAIRS)), imagSign));
    return;
  }
  float part[2 * kLanes];
  store(part, a);
  store(part + kLanes, b);
  for (std::int32_t k = 0; k < inBlock; ++k) {
    const std::int32_t u = c + k;
    if (u < 1 || u > half - 1) continue;
    mirror[2 * (width - u)] = part[2 * k];
    mirror[2 * (width - u) + 1] = -part[2 * k + 1];
  }
}

// Vectors between the work blocks of a panel: the 2n vectors of a block and a cache
// line more, so that value i of the different blocks, which the loops over a row
// visit together, does not always fall into the same cache set.
std::ptrdiff_t columnBlockVectors(std::int32_t n) {
  return 2 * static_cast<std::ptrdiff_t>(n) + (64 + sizeof(Vec) - 1) / sizeof(Vec);
}

// The widest panel of columns (up to 8 blocks) whose work memory is about the size
// of a second-level cache: each visit of a row of the array then moves several cache
// lines of it at once, each page of the array is visited fewer times, and the
// array's power-of-two row stride no longer makes the columns fight over the same
// cache sets (the blocks themselves are worked on one at a time).
std::int32_t panelColumns(std::int32_t n) {
  constexpr std::size_t kBudget = 512 * 1024;  // bytes of work memory
  std::int32_t blocks =
      static_cast<std::int32_t>(kBudget / (2 * sizeof(Vec) * static_cast<std::size_t>(n)));
  blocks = blocks < 1 ? 1 : (blocks > 8 ? 8 : blocks);
  return blocks * kLanes;
}

// Columns column0 .. column0 + count - 1, in place. With `mirrorWidth` W > 0 (the
// real-input engine) every result row r also goes, conjugated, into columns W - c of
// row (H - r) mod H for 1 <= c <= W/2 - 1: the completion of the spectrum, done
// while the values are at hand.
// With `Hermitian` (the real-output engine, inverse only) the columns are read from the
// W x n array at `source` instead, as the Hermitian part (x + conj m) / 2 of each value
// x and its mirror m at (W - c, (n - r) mod n), W = mirrorWidth; the results go to the
// rows, which may be those of the source. With `symmetric` the mirror of a column c
// with 1 <= c < W/2 is taken to be conj x and not read (symmetricMirrors).
template <bool Inverse, bool Mirror, bool Hermitian = false>
VX_LANES_TARGET void complexColumnsIn(float* const* rows, std::int32_t column0, std::int32_t n,
                                      std::int32_t count, std::int32_t mirrorWidth,
                                      const LaneTables& t, float* work,
                                      const float* source = nullptr, bool symmetric = false) {
  Vec* x = reinterpret_cast<Vec*>(work);
  const std::int32_t blocks = (count + kLanes - 1) / kLanes;
  const std::ptrdiff_t blockSize = columnBlockVectors(n);
  const std::ptrdiff_t first = 2 * static_cast<std::ptrdiff_t>(column0);

  // Rows lie a power of two apart, too far for the hardware to fetch them ahead;
  // ask for the panel's part of a row a few rows before it is needed.
  constexpr std::int32_t kAhead = 8;
  const std::int32_t panelFloats = 2 * count;
  const std::ptrdiff_t sourceRow = 2 * static_cast<std::ptrdiff_t>(mirrorWidth);
  for (std::int32_t r = 0; r < n; ++r) {
    if (Hermitian) {
      const float* p = source + sourceRow * r + first;
      const float* mirror = source + sourceRow * (r == 0 ? 0 : n - r);
      if (r + kAhead < n) {
        for (std::int32_t f = 0; f < panelFloats; f += 16) {
          __builtin_prefetch(p + kAhead * sourceRow + f);
          if (column0 >= 1 && !symmetric)
            __builtin_prefetch(source + sourceRow * (n - r - kAhead) +
                               2 * (mirrorWidth - column0 - count + 1) + f);
        }
      }
      for (std::int32_t b = 0; b < blocks; ++b) {
        const std::int32_t c = column0 + kLanes * b;
        const std::int32_t inBlock = count - b * kLanes < kLanes ? count - b * kLanes : kLanes;
        Vec re, im;
        hermitianColumnsBlock(p + 2 * kLanes * b, mirror, c, inBlock, mirrorWidth, symmetric, re,
                              im);
        x[b * blockSize + 2 * r] = re;
        x[b * blockSize + 2 * r + 1] = imaginary<Inverse>(im);
      }
      continue;
    }
    const float* p = rows[r] + first;
    if (r + kAhead < n)
      for (std::int32_t f = 0; f < panelFloats; f += 16)
        __builtin_prefetch(rows[r + kAhead] + first + f);
    for (std::int32_t b = 0; b < blocks; ++b) {
      const std::int32_t inBlock = count - b * kLanes < kLanes ? count - b * kLanes : kLanes;
      splitColumns<Inverse>(p + 2 * kLanes * b, inBlock, x + b * blockSize + 2 * r);
    }
  }

  const int level = log2Exact(n);
  for (std::int32_t b = 0; b < blocks; ++b) splitRadix(x + b * blockSize, n, level, t);

  const std::int32_t* reverse = t.reverseColumns;
  for (std::int32_t r = 0; r < n; ++r) {
    float* p = rows[r] + first;
    if (r + kAhead < n)
      for (std::int32_t f = 0; f < panelFloats; f += 16)
        __builtin_prefetch(rows[r + kAhead] + first + f, 1);
    float* mirror = Mirror ? rows[r == 0 ? 0 : n - r] : nullptr;
    const std::int32_t s = reverse[r];
    for (std::int32_t b = 0; b < blocks; ++b) {
      const std::int32_t inBlock = count - b * kLanes < kLanes ? count - b * kLanes : kLanes;
      Vec va, vb;
      joinColumns<Inverse>(p + 2 * kLanes * b, inBlock, x + b * blockSize + 2 * s, va, vb);
      if (Mirror) mirrorColumns(mirror, column0 + kLanes * b, inBlock, mirrorWidth, va, vb);
    }
  }
}

VX_LANES_TARGET void complexColumns(float* const* rows, std::int32_t column0, std::int32_t n,
                                    std::int32_t count, bool inverse, const LaneTables& t,
                                    float* work) {
  if (inverse)
    complexColumnsIn<true, false>(rows, column0, n, count, 0, t, work);
  else
    complexColumnsIn<false, false>(rows, column0, n, count, 0, t, work);
}

VX_LANES_TARGET void realColumns(float* const* rows, std::int32_t column0, std::int32_t n,
                                 std::int32_t count, std::int32_t width, const LaneTables& t,
                                 float* work) {
  complexColumnsIn<false, true>(rows, column0, n, count, width, t, work);
}

VX_LANES_TARGET void hermitianColumns(const float* source, float* const* rows, std::int32_t column0,
                                      std::int32_t n, std::int32_t count, std::int32_t width,
                                      bool symmetric, const LaneTables& t, float* work) {
  complexColumnsIn<true, false, true>(rows, column0, n, count, width, t, work, source, symmetric);
}

VX_LANES_TARGET void realOutputRows(float* const* rows, std::int32_t n, const float* factors,
                                    const LaneTables& t, float* work) {
  Vec* x = reinterpret_cast<Vec*>(work);
  gatherRows<false>(rows, n + 1, x);
  packOutputValues(x, n, factors);
  for (std::int32_t k = 0; k < n; ++k) x[2 * k + 1] = imaginary<true>(x[2 * k + 1]);
  splitRadix(x, n, log2Exact(n), t);
  // Value j of the inverse, at x[2 reverse[j]], holds samples 2j and 2j + 1: both go
  // out as values (sample, 0).
  Vec* spread = x + 2 * n + 2;
  const Vec zero = {};
  const std::int32_t* reverse = t.reverseRows;
  for (std::int32_t j = 0; j < n; ++j) {
    const std::int32_t s = reverse[j];
    spread[4 * j] = x[2 * s];
    spread[4 * j + 1] = zero;
    spread[4 * j + 2] = imaginary<true>(x[2 * s + 1]);
    spread[4 * j + 3] = zero;
  }
  scatterRows<false>(rows, 2 * n, spread, nullptr);
}

VX_LANES_TARGET void realRows(float* const* rows, std::int32_t n, const LaneTables& t,
                              float* work) {
  Vec* x = reinterpret_cast<Vec*>(work);
  Vec* v = x + 2 * n;  // values 0 .. n of the unpacked rows, in natural order
  gatherRows<false>(rows, n, x);
  splitRadix(x, n, log2Exact(n), t);
  // Value i of the row transform is x[2 reverse[i]], x[2 reverse[i] + 1].
  const std::int32_t* reverse = t.reverseRows;

  // unpackRealRow on every lane; value a = i - 1 and its mirror b = n - i + 1.
  const float c1 = t.c1;
  const float c2 = t.c2;
  for (std::int32_t i = 2; i <= n / 2; ++i) {
    const float wr = t.unpack[2 * (i - 2)];
    const float wi = t.unpack[2 * (i - 2) + 1];
    const Vec* a = x + 2 * reverse[i - 1];
    const Vec* b = x + 2 * reverse[n - i + 1];
    Vec* outA = v + 2 * (i - 1);
    Vec* outB = v + 2 * (n - i + 1);
    unpackPair(a[0], a[1], b[0], b[1], wr, wi, c1, c2, outA[0], outA[1], outB[0], outB[1]);
  }
  // Value n/2 is only conjugated. For n = 1 the scalar code negates the real part of
  // value 1, which it then overwrites; the overwrite is all that shows.
  if (n >= 2) {
    v[n] = x[2 * reverse[n / 2]];
    v[n + 1] = -x[2 * reverse[n / 2] + 1];
  }
  // Value 0 stays in place under the bit reversal.
  finishRealRows(rows, n, x[0], x[1], v);
}

// ---------------------------------------------------------------------------
// Transforms of any length (any_arith.h), kLanes rows or columns at once.

// The stages of a transform of any length, compiled once for the path's every caller.
__attribute__((noinline)) VX_LANES_TARGET Vec* laneStages(Vec* x, Vec* y,
                                                          const AnyStages<float>& stages) {
  return anyStages(x, y, stages);
}

VX_LANES_TARGET Vec* laneForward(Vec* x, Vec* scratch, const AnyPlan& plan) {
  return anyForward(x, scratch, plan, laneStages);
}

// Vectors of work memory one lane kernel call takes per block of columns (or per group
// of rows): the values themselves and the plan's scratch, each with one value more for
// the unpacked real rows (n + 1 values), and the second row of separated pairs.
std::ptrdiff_t anyBlockVectors(const AnyPlan& plan) {
  return 4 * static_cast<std::ptrdiff_t>(plan.length()) +
         2 * static_cast<std::ptrdiff_t>(plan.scratchValues()) + 6;
}

std::size_t anyWorkFloats(const AnyPlan& plan) {
  return static_cast<std::size_t>(anyBlockVectors(plan)) * kAnyColumnBlocks * kLanes;
}

// Samples 0 .. n-1 of the 2 kLanes real rows into the lanes as complex values: lane k
// takes row 2k as its real parts and row 2k + 1 as its imaginary parts.
VX_LANES_TARGET void gatherRealPairs(const float* const* rows, std::int32_t n, Vec* x) {
  const std::int32_t whole = n / kLanes * kLanes;
  for (std::int32_t part = 0; part < 2; ++part) {
    for (std::int32_t e = 0; e < whole; e += kLanes) {
      Vec r[kLanes];
      for (std::int32_t k = 0; k < kLanes; ++k) r[k] = load(rows[2 * k + part] + e);
      transposeSquare(r);
      for (std::int32_t i = 0; i < kLanes; ++i) x[2 * (e + i) + part] = r[i];
    }
    for (std::int32_t e = whole; e < n; ++e) {
      Vec v = {};
      for (std::int32_t k = 0; k < kLanes; ++k) v[k] = rows[2 * k + part][e];
      x[2 * e + part] = v;
    }
  }
}

VX_LANES_TARGET void anyRealPairs(float* const* rows, const AnyPlan& plan, float* work) {
  const std::int32_t n = plan.length();
  Vec* x = reinterpret_cast<Vec*>(work);
  Vec* second = x + 2 * n + 2 + 2 * static_cast<std::ptrdiff_t>(plan.scratchValues()) + 2;
  gatherRealPairs(rows, n, x);
  Vec* z = laneForward(x, x + 2 * n + 2, plan);
  // Value k of the first rows in place (its mirror lies beyond (n - 1)/2, never
  // overwritten), of the second rows beside.
  const std::int32_t kept = (n + 1) / 2;
  for (std::int32_t k = 0; k < kept; ++k) {
    const std::int32_t m = k == 0 ? 0 : n - k;
    const Vec kr = z[2 * k], ki = z[2 * k + 1], mr = z[2 * m], mi = z[2 * m + 1];
    separatePair(kr, ki, mr, mi, z[2 * k], z[2 * k + 1], second[2 * k], second[2 * k + 1]);
  }
  float* first[kLanes];
  float* other[kLanes];
  for (std::int32_t k = 0; k < kLanes; ++k) {
    first[k] = rows[2 * k];
    other[k] = rows[2 * k + 1];
  }
  scatterRows<false>(first, kept, z, nullptr);
  scatterRows<false>(other, kept, second, nullptr);
}

template <bool Inverse>
VX_LANES_TARGET void anyRowsIn(const float* const* sources, float* const* rows, const AnyPlan& plan,
                               float* work) {
  const std::int32_t n = plan.length();
  Vec* x = reinterpret_cast<Vec*>(work);
  gatherRows<Inverse>(sources, n, x);
  scatterRows<Inverse>(rows, n, laneForward(x, x + 2 * n + 2, plan), nullptr);
}

// The real-input rows: each row's 2n samples as n complex values, transformed and
// unpacked into values 0 .. n as unpackRealRow does, with its factors.
VX_LANES_TARGET void anyRealRows(float* const* rows, const AnyPlan& plan, const float* factors,
                                 float* work) {
  const std::int32_t n = plan.length();
  Vec* x = reinterpret_cast<Vec*>(work);
  gatherRows<false>(rows, n, x);
  Vec* v = laneForward(x, x + 2 * n + 2, plan);
  const float c1 = 0.5f;
  const float c2 = -0.5f;
  for (std::int32_t i = 2; i <= (n + 1) / 2; ++i) {
    Vec* a = v + 2 * (i - 1);
    Vec* b = v + 2 * (n - i + 1);
    unpackPair(a[0], a[1], b[0], b[1], factors[2 * (i - 2)], factors[2 * (i - 2) + 1], c1, c2, a[0],
               a[1], b[0], b[1]);
  }
  if (n % 2 == 0) v[n + 1] = -v[n + 1];
  const Vec d0 = v[0];
  const Vec d1 = v[1];
  finishRealRows(rows, n, d0, d1, v);
}

VX_LANES_TARGET void anyRows(const float* const* sources, float* const* rows, const AnyPlan& plan,
                             bool inverse, float* work) {
  if (inverse)
    anyRowsIn<true>(sources, rows, plan, work);
  else
    anyRowsIn<false>(sources, rows, plan, work);
}

// With `mirrorWidth` W > 0 (the real-input engine, forward) every result row r also
// goes, conjugated, into columns W - c of row (H - r) mod H for 1 <= c <= (W - 1)/2,
// as completeConjugateHalf would afterwards. Up to kAnyColumnBlocks vectors of columns
// go through at once, so that each visit of a row moves a whole cache line or more;
// rows are asked for a few rows ahead, as the rows of a large picture lie too far apart
// for the hardware to fetch them unasked.
template <bool Inverse>
VX_LANES_TARGET void anyColumnsIn(float* const* rows, std::int32_t column0, std::int32_t count,
                                  std::int32_t mirrorWidth, const AnyPlan& plan, float* work) {
  const std::int32_t n = plan.length();
  const std::ptrdiff_t block = anyBlockVectors(plan);
  const std::int32_t blocks = (count + kLanes - 1) / kLanes;
  Vec* x = reinterpret_cast<Vec*>(work);
  const std::ptrdiff_t first = 2 * static_cast<std::ptrdiff_t>(column0);
  // The first float of the mirrored columns' part of a row, when they have one.
  const std::ptrdiff_t mirror =
      mirrorWidth > 0 ? 2 * static_cast<std::ptrdiff_t>(mirrorWidth - column0 - count + 1) : -1;
  constexpr std::int32_t kAhead = 8;
  for (std::int32_t r = 0; r < n; ++r) {
    if (r + kAhead < n) __builtin_prefetch(rows[r + kAhead] + first);
    for (std::int32_t b = 0; b < blocks; ++b) {
      const std::int32_t inBlock = count - b * kLanes < kLanes ? count - b * kLanes : kLanes;
      splitColumns<Inverse>(rows[r] + first + 2 * kLanes * b, inBlock, x + b * block + 2 * r);
    }
  }
  const Vec* y[kAnyColumnBlocks];
  for (std::int32_t b = 0; b < blocks; ++b)
    y[b] = laneForward(x + b * block, x + b * block + 2 * n + 2, plan);
  for (std::int32_t r = 0; r < n; ++r) {
    if (r + kAhead < n) {
      __builtin_prefetch(rows[r + kAhead] + first, 1);
      if (mirror >= 0) __builtin_prefetch(rows[n - r - kAhead] + mirror, 1);
    }
    float* mirrorRow = rows[r == 0 ? 0 : n - r];
    for (std::int32_t b = 0; b < blocks; ++b) {
      const std::int32_t inBlock = count - b * kLanes < kLanes ? count - b * kLanes : kLanes;
      Vec va, vb;
      joinColumns<Inverse>(rows[r] + first + 2 * kLanes * b, inBlock, y[b] + 2 * r, va, vb);
      if (mirrorWidth > 0)
        mirrorColumns(mirrorRow, column0 + kLanes * b, inBlock, mirrorWidth, va, vb);
    }
  }
}

VX_LANES_TARGET void anyColumns(float* const* rows, std::int32_t column0, std::int32_t count,
                                std::int32_t mirrorWidth, const AnyPlan& plan, bool inverse,
                                float* work) {
  if (inverse)
    anyColumnsIn<true>(rows, column0, count, mirrorWidth, plan, work);
  else
    anyColumnsIn<false>(rows, column0, count, mirrorWidth, plan, work);
}

// The real-output engine's columns (see LaneKernels::anyHermitianColumns).
VX_LANES_TARGET void anyHermitianColumns(const float* source, float* const* rows,
                                         std::int32_t column0, std::int32_t count,
                                         std::int32_t width, bool symmetric, const AnyPlan& plan,
                                         float* work) {
  const std::int32_t n = plan.length();
  const std::ptrdiff_t block = anyBlockVectors(plan);
  const std::int32_t blocks = (count + kLanes - 1) / kLanes;
  const std::ptrdiff_t rowFloats = 2 * static_cast<std::ptrdiff_t>(width);
  Vec* x = reinterpret_cast<Vec*>(work);
  // The first float of the mirror columns' part of a row (rows are asked for a few
  // ahead, as anyColumns does, the mirrors going down from the last row).
  const std::ptrdiff_t mirrorFloat =
      column0 + count <= width ? 2 * static_cast<std::ptrdiff_t>(width - column0 - count) : 0;
  constexpr std::int32_t kAhead = 8;
  for (std::int32_t r = 0; r < n; ++r) {
    const float* row = source + rowFloats * r;
    const float* mirror = source + rowFloats * (r == 0 ? 0 : n - r);
    if (r + kAhead < n) {
      __builtin_prefetch(row + kAhead * rowFloats + 2 * column0);
      if (!symmetric) __builtin_prefetch(source + rowFloats * (n - r - kAhead) + mirrorFloat);
    }
    for (std::int32_t b = 0; b < blocks; ++b) {
      const std::int32_t c = column0 + kLanes * b;
      const std::int32_t inBlock = count - b * kLanes < kLanes ? count - b * kLanes : kLanes;
      Vec re, im;
      hermitianColumnsBlock(row + 2 * c, mirror, c, inBlock, width, symmetric, re, im);
      x[b * block + 2 * r] = re;
      x[b * block + 2 * r + 1] = imaginary<true>(im);
    }
  }
  const Vec* y[kAnyColumnBlocks];
  for (std::int32_t b = 0; b < blocks; ++b)
    y[b] = laneForward(x + b * block, x + b * block + 2 * n + 2, plan);
  for (std::int32_t r = 0; r < n; ++r) {
    if (r + kAhead < n) __builtin_prefetch(rows[r + kAhead] + 2 * column0, 1);
    for (std::int32_t b = 0; b < blocks; ++b) {
      const std::int32_t inBlock = count - b * kLanes < kLanes ? count - b * kLanes : kLanes;
      Vec va, vb;
      joinColumns<true>(rows[r] + 2 * (column0 + kLanes * b), inBlock, y[b] + 2 * r, va, vb);
    }
  }
}

// The W values (v[x], 0) of the lanes' rows, with v[x] lane k of sample x of row k.
VX_LANES_TARGET void scatterSamples(float* const* rows, std::int32_t width, const Vec* samples,
                                    Vec* spread) {
  const Vec zero = {};
  for (std::int32_t x = 0; x < width; ++x) {
    spread[2 * x] = samples[x];
    spread[2 * x + 1] = zero;
  }
  scatterRows<false>(rows, width, spread, nullptr);
}

VX_LANES_TARGET void anyOutputRows(float* const* rows, const AnyPlan& plan, const float* factors,
                                   float* work) {
  const std::int32_t n = plan.length();
  Vec* x = reinterpret_cast<Vec*>(work);
  gatherRows<false>(rows, n + 1, x);
  packOutputValues(x, n, factors);
  for (std::int32_t k = 0; k < n; ++k) x[2 * k + 1] = imaginary<true>(x[2 * k + 1]);
  Vec* z = laneForward(x, x + 2 * n + 2, plan);
  // Value j of the inverse holds samples 2j and 2j + 1.
  for (std::int32_t k = 0; k < n; ++k) z[2 * k + 1] = imaginary<true>(z[2 * k + 1]);
  scatterSamples(rows, 2 * n, z, x + anyBlockVectors(plan));
}

VX_LANES_TARGET void anyOutputPairs(float* const* rows, const AnyPlan& plan, float* work) {
  const std::int32_t n = plan.length();
  const std::int32_t kept = (n + 1) / 2;
  const std::ptrdiff_t block = anyBlockVectors(plan);
  Vec* z = reinterpret_cast<Vec*>(work);
  Vec* a = z + 2 * n + 2 + 2 * static_cast<std::ptrdiff_t>(plan.scratchValues());
  Vec* b = z + block;
  float* first[kLanes];
  float* second[kLanes];
  for (std::int32_t k = 0; k < kLanes; ++k) {
    first[k] = rows[2 * k];
    second[k] = rows[2 * k + 1];
  }
  gatherRows<false>(first, kept, a);
  gatherRows<false>(second, kept, b);
  z[0] = a[0];
  z[1] = b[0];
  for (std::int32_t k = 1; k < kept; ++k)
    joinPair(a[2 * k], a[2 * k + 1], b[2 * k], b[2 * k + 1], z[2 * k], z[2 * k + 1], z[2 * (n - k)],
             z[2 * (n - k) + 1]);
  for (std::int32_t k = 0; k < n; ++k) z[2 * k + 1] = imaginary<true>(z[2 * k + 1]);
  Vec* y = laneForward(z, z + 2 * n + 2, plan);
  // The samples of the first rows are the real parts, of the second the imaginary ones.
  Vec* re = z + block;
  Vec* im = re + n;
  for (std::int32_t x = 0; x < n; ++x) {
    re[x] = y[2 * x];
    im[x] = imaginary<true>(y[2 * x + 1]);
  }
  Vec* spread = re + 2 * n;
  scatterSamples(first, n, re, spread);
  scatterSamples(second, n, im, spread);
}

#undef VX_FLATTEN
#undef VX_BLOCKS
#undef VX_EVERY_LANE
#undef VX_EVEN
#undef VX_ODD
#undef VX_UNPACKLO
#undef VX_UNPACKHI
#undef VX_LO64
#undef VX_HI64
#undef VX_REVERSE_PAIRS

}  // namespace

// The kernel table of this path (declared extern first: a const object would otherwise
// have internal linkage).
#ifndef VX_KERNELS_TABLE
#define VX_KERNELS_NAME(path) VX_KERNELS_PASTE(path)
#define VX_KERNELS_PASTE(path) k##path##Kernels
#define VX_KERNELS_TABLE VX_KERNELS_NAME(VX_PATH)
#endif
extern const LaneKernels VX_KERNELS_TABLE;
const LaneKernels VX_KERNELS_TABLE = {
    EnginePath::VX_PATH, kLanes,        workFloats,    panelColumns,     complexRows,
    complexColumns,      realRows,      realColumns,   hermitianColumns, realOutputRows,
    anyWorkFloats,       anyRows,       anyRealRows,   anyRealPairs,     anyColumns,
    anyHermitianColumns, anyOutputRows, anyOutputPairs};
#undef VX_KERNELS_TABLE
#undef VX_KERNELS_NAME
#undef VX_KERNELS_PASTE

}  // namespace vx_detail
