// The real-input 2-D transform engine. Each row of W real samples is transformed
// as W/2 complex values and unpacked into its W/2 + 1 non-redundant frequencies;
// the column pass then runs over those W/2 + 1 columns only, and the other half of
// the spectrum is filled in from the conjugate symmetry of the transform of real
// data.
#include "filt/engines.h"

#include "filt/engine_kernels.h"
#include "filt/engine_transpose.h"
#include "platform/attention.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

inline void attentionCheck() { vfThrowExceptionOnFailure(vsys_attention_check()); }

inline float* rowAt(float* array, std::int32_t length, std::int32_t r) {
  return array + 2 * static_cast<std::ptrdiff_t>(length) * r;
}

}  // namespace

void vf_RealFFT2D(float* data, vxPair<long> size, long direction, long /*miny*/, long /*maxy*/) {
  using namespace vx_detail;
  if (direction < 0)
    throw std::invalid_argument("vf_RealFFT2D: the real-input engine computes forward transforms only");

  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  const bool square = width == height;
  const bool degenerate = width == 1 || height == 1;

  // All working memory first, before the data is touched.
  const TwiddleTable twiddles = makeTwiddleTable();
  std::vector<std::int32_t> swapTable(2 * static_cast<std::size_t>(std::max(width, height)), 0);
  std::unique_ptr<TransposeScratch> scratch;
  if (!square && !degenerate) scratch = std::make_unique<TransposeScratch>(width, height);

  // Pass 0: each row's W samples as W/2 complex values, transformed and unpacked
  // into values 0 .. W/2 of the row. A single column has nothing to do here: its
  // rows already hold their one complex value.
  if (width >= 2) {
    const std::int32_t half = width / 2;
    const RealUnpackFactors factors = makeRealUnpackFactors(half);
    buildSwapTable(swapTable.data(), half);
    for (std::int32_t r = 0; r < height; ++r) {
      if (r % 16 == 0) attentionCheck();
      float* row = rowAt(data, width, r);
      transformRow(row, half, false, twiddles, swapTable.data());
      unpackRealRow(row, half, factors);
    }
  }

  float* array = data;
  if (!degenerate) {
    if (square) {
      if (halfTransposeIsBlocked(width)) attentionCheck();
      halfTransposeAfterRows(data, width);
    } else {
      if (outOfPlaceTransposeIsBlocked(height, width)) attentionCheck();
      transposeOutOfPlace(data, scratch->data(), height, width);
      array = scratch->data();
    }
  }

  // Pass 1: the transposed columns 0 .. W/2, each of length H.
  buildSwapTable(swapTable.data(), height);
  const std::int32_t columns = width / 2 + 1;
  for (std::int32_t r = 0; r < columns; ++r) {
    if (r % 16 == 0) attentionCheck();
    transformRow(rowAt(array, height, r), height, false, twiddles, swapTable.data());
  }

  if (!degenerate) {
    if (square) {
      if (halfTransposeIsBlocked(width)) attentionCheck();
      halfTransposeAfterColumns(data, width);
    } else {
      if (outOfPlaceTransposeIsBlocked(width, height)) attentionCheck();
      transposeOutOfPlace(scratch->data(), data, width, height);
    }
  }

  // Columns W/2 + 1 .. W - 1 from the symmetry X(W - u, H - v) = conj X(u, v).
  attentionCheck();
  completeConjugateHalf(data, width, height);
}
