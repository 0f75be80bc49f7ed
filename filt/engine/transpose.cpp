#include "filt/engine/transpose.h"

#include "filt/common/limits.h"
#include "filt/engine/arith.h"

#include <cstddef>

namespace vx_detail {
namespace {

constexpr std::int32_t kBlock = 4;

// Address of complex value (row, col) in an array with `stride` values per row.
inline float* at(float* data, std::int32_t stride, std::int32_t row, std::int32_t col) {
  return data + 2 * (static_cast<std::ptrdiff_t>(row) * stride + col);
}
inline const float* at(const float* data, std::int32_t stride, std::int32_t row, std::int32_t col) {
  return data + 2 * (static_cast<std::ptrdiff_t>(row) * stride + col);
}

inline void copyValue(const float* src, float* dst) {
  dst[0] = src[0];
  dst[1] = src[1];
}

// Transposes the 4 x 4 block whose top-left value is (b, b) in place.
void transposeDiagonalBlock(float* data, std::int32_t n, std::int32_t b) {
  for (std::int32_t i = 1; i < kBlock; ++i)
    for (std::int32_t j = 0; j < i; ++j)
      swapComplex(at(data, n, b + i, b + j), at(data, n, b + j, b + i));
}

// Exchanges block (bi, bj) with block (bj, bi), each transposed.
void exchangeBlocks(float* data, std::int32_t n, std::int32_t bi, std::int32_t bj) {
  for (std::int32_t i = 0; i < kBlock; ++i)
    for (std::int32_t j = 0; j < kBlock; ++j)
      swapComplex(at(data, n, bi + i, bj + j), at(data, n, bj + j, bi + i));
}

// Block (bi, bj) receives the transpose of block (bj, bi); the source is unchanged.
void copyBlockTransposed(float* data, std::int32_t n, std::int32_t bi, std::int32_t bj) {
  for (std::int32_t i = 0; i < kBlock; ++i)
    for (std::int32_t j = 0; j < kBlock; ++j)
      copyValue(at(data, n, bj + j, bi + i), at(data, n, bi + i, bj + j));
}

}  // namespace

TransposeScratch::TransposeScratch(std::int32_t width, std::int32_t height) {
  storage_.reset(2 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                 BlockFill::Any);
}

bool rowInBand(std::int32_t r, std::int32_t rows, long miny, long maxy) {
  const long h = rows >> 1;
  const long row = r;
  if (row < h) return miny - h <= row && row <= maxy - h;
  return miny + h <= row && row <= maxy + h;
}

void transposeSquareSimple(float* data, std::int32_t n) {
  for (std::int32_t i = 1; i < n; ++i)
    for (std::int32_t j = 0; j < i; ++j) swapComplex(at(data, n, i, j), at(data, n, j, i));
}

void transposeSquareInPlace(float* data, std::int32_t n, long miny, long maxy) {
  if (!squareTransposeIsBlocked(n)) {
    transposeSquareSimple(data, n);
    return;
  }
  const bool skipping = miny > 0 || maxy < n;
  // A band of four rows is outside when none of its rows is in [miny, maxy].
  auto bandOutside = [&](std::int32_t b) {
    for (std::int32_t r = b; r < b + kBlock; ++r)
      if (rowInBand(r, n, miny, maxy)) return false;
    return true;
  };
  for (std::int32_t bi = 0; bi <= n - kBlock; bi += kBlock) {
    const bool rowsOutside = skipping && bandOutside(bi);
    for (std::int32_t bj = 0; bj <= bi; bj += kBlock) {
      if (rowsOutside && bandOutside(bj)) continue;
      if (bi == bj)
        transposeDiagonalBlock(data, n, bi);
      else
        exchangeBlocks(data, n, bi, bj);
    }
  }
}

void transposeOutOfPlace(const float* src, float* dst, std::int32_t rows, std::int32_t cols) {
  if (!outOfPlaceTransposeIsBlocked(rows, cols)) {
    for (std::int32_t r = 0; r < rows; ++r)
      for (std::int32_t c = 0; c < cols; ++c) copyValue(at(src, cols, r, c), at(dst, rows, c, r));
    return;
  }
  for (std::int32_t br = 0; br < rows; br += kBlock)
    for (std::int32_t bc = 0; bc < cols; bc += kBlock)
      for (std::int32_t i = 0; i < kBlock; ++i)
        for (std::int32_t j = 0; j < kBlock; ++j)
          copyValue(at(src, cols, br + i, bc + j), at(dst, rows, bc + j, br + i));
}

void halfTransposeAfterRows(float* data, std::int32_t n) {
  if (!halfTransposeIsBlocked(n)) {
    transposeSquareSimple(data, n);
    return;
  }
  const std::int32_t m = n / 2 + kBlock;
  for (std::int32_t r = 0; r < m; r += kBlock) {
    for (std::int32_t c = 0; c < n; c += kBlock) {
      if (r == c)
        transposeDiagonalBlock(data, n, r);
      else if (c < m) {
        if (c < r) exchangeBlocks(data, n, r, c);
      } else {
        copyBlockTransposed(data, n, r, c);
      }
    }
  }
}

void halfTransposeAfterColumns(float* data, std::int32_t n) {
  if (!halfTransposeIsBlocked(n)) {
    transposeSquareSimple(data, n);
    return;
  }
  const std::int32_t m = n / 2 + kBlock;
  for (std::int32_t r = 0; r < n; r += kBlock) {
    for (std::int32_t c = 0; c < m; c += kBlock) {
      if (r == c)
        transposeDiagonalBlock(data, n, r);
      else if (r < m) {
        if (c < r) exchangeBlocks(data, n, r, c);
      } else {
        copyBlockTransposed(data, n, r, c);
      }
    }
  }
}

}  // namespace vx_detail
