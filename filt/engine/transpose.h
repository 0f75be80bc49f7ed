// Transposes of complex arrays between the passes of the transform engines
// (internal). Arrays hold rows of complex values (two floats, real part first)
// with no gap between rows. The transposes only move values, so every one of them
// gives the same bits whatever order it moves them in; the block structure
// matters only for the attention checks, which the engines make once before each
// blocked transpose (see the *IsBlocked predicates).
#ifndef VXFREQ_FILT_ENGINE_TRANSPOSE_H
#define VXFREQ_FILT_ENGINE_TRANSPOSE_H

#include "platform/memory.h"

#include <cstdint>

namespace vx_detail {

// Working array that receives the out-of-place transpose of a W x H array (2 W H floats,
// every one written by the transpose before it is read).
class TransposeScratch {
public:
  TransposeScratch(std::int32_t width, std::int32_t height);
  float* data() const { return storage_.data(); }

private:
  FloatBlock storage_;
};

// Whether row r of an array of `rows` rows lies in the band [miny, maxy] of
// centred row indices, i.e. whether its centred index (r + rows/2) mod rows does.
bool rowInBand(std::int32_t r, std::int32_t rows, long miny, long maxy);

// Square in-place transposes of an n x n array: value (i, j) and value (j, i)
// change places.
inline bool squareTransposeIsBlocked(std::int32_t n) { return n >= 4; }
// Exchanges (i, j) and (j, i) value by value, for every j < i.
void transposeSquareSimple(float* data, std::int32_t n);
// The transpose after a pass of the complex engine: value by value for n < 4,
// otherwise in 4 x 4 blocks. When the band [miny, maxy] is narrower than the array
// (miny > 0 or maxy < n), a pair of blocks is left alone when all eight of its rows
// lie outside the band; such rows hold only zeros, so the result is unchanged.
void transposeSquareInPlace(float* data, std::int32_t n, long miny, long maxy);

// Out-of-place transpose: value (r, c) of `src` (rows x cols) goes to (c, r) of
// `dst` (cols x rows). Blocked (4 x 4) when both sides are at least 4.
inline bool outOfPlaceTransposeIsBlocked(std::int32_t rows, std::int32_t cols) {
  return rows >= 4 && cols >= 4;
}
void transposeOutOfPlace(const float* src, float* dst, std::int32_t rows, std::int32_t cols);

// Half transposes of the real engine on an n x n array, which only produce the
// part of the transpose that is read afterwards. With m = n/2 + 4:
// - after the row pass, result rows 0 .. m - 1 equal those of the full transpose;
// - after the column pass, result columns 0 .. m - 1 do.
// For n < 8 both are the full value-by-value transpose; from n = 8 on they work
// in 4 x 4 blocks.
inline bool halfTransposeIsBlocked(std::int32_t n) { return n >= 8; }
void halfTransposeAfterRows(float* data, std::int32_t n);
void halfTransposeAfterColumns(float* data, std::int32_t n);

}  // namespace vx_detail

#endif
