// The complex 2-D transform engine: a split-radix transform along every row, a
// transpose, the same along every row of the transposed array, and a transpose
// back. Rows outside the caller's band of kept rows are zero and are skipped by
// the first pass and by the in-place transpose.
#include "filt/engines.h"

#include "filt/engine_kernels.h"
#include "filt/engine_transpose.h"
#include "platform/attention.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

inline void attentionCheck() { vfThrowExceptionOnFailure(vsys_attention_check()); }

inline float* rowAt(float* array, std::int32_t length, std::int32_t r) {
  return array + 2 * static_cast<std::ptrdiff_t>(length) * r;
}

}  // namespace

void vf_ComplexFFT2D(float* data, vxPair<long> size, long direction, long miny, long maxy) {
  using namespace vx_detail;
  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  const bool inverse = direction < 0;
  const bool square = width == height;
  const bool degenerate = width == 1 || height == 1;

  // All working memory first, before the data is touched.
  const TwiddleTable twiddles = makeTwiddleTable();
  std::vector<std::int32_t> swapTable(2 * static_cast<std::size_t>(std::max(width, height)), 0);
  std::unique_ptr<TransposeScratch> scratch;
  if (!square && !degenerate) scratch = std::make_unique<TransposeScratch>(width, height);

  // Pass 0: rows of length W, skipping those outside the band.
  buildSwapTable(swapTable.data(), width);
  for (std::int32_t r = 0; r < height; ++r) {
    if (!rowInBand(r, height, miny, maxy)) continue;
    if (r % 16 == 0) attentionCheck();
    transformRow(rowAt(data, width, r), width, inverse, twiddles, swapTable.data());
  }

  float* array = data;
  if (!degenerate) {
    if (square) {
      if (squareTransposeIsBlocked(width)) attentionCheck();
      transposeSquareInPlace(data, width, miny, maxy);
    } else {
      if (outOfPlaceTransposeIsBlocked(height, width)) attentionCheck();
      transposeOutOfPlace(data, scratch->data(), height, width);
      array = scratch->data();
    }
  }

  // Pass 1: the W transposed columns, each of length H. Without a transpose
  // (W = 1 or H = 1) the array read this way is the same memory.
  if (!square) buildSwapTable(swapTable.data(), height);
  for (std::int32_t r = 0; r < width; ++r) {
    if (r % 16 == 0) attentionCheck();
    transformRow(rowAt(array, height, r), height, inverse, twiddles, swapTable.data());
  }

  if (!degenerate) {
    if (square) {
      if (squareTransposeIsBlocked(width)) attentionCheck();
      transposeSquareInPlace(data, width, 0, width);
    } else {
      if (outOfPlaceTransposeIsBlocked(width, height)) attentionCheck();
      transposeOutOfPlace(scratch->data(), data, width, height);
    }
  }
}
