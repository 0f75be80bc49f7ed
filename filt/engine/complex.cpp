// The complex 2-D transform engine: a split-radix transform along every row, a
// transpose, the same along every row of the transposed array, and a transpose
// back. Rows outside the caller's band of kept rows are zero and are skipped by
// the first pass and by the in-place transpose.
//
// The scalar path below is the reference. The vector paths (engine_dispatch.h)
// compute the same bits another way: the first pass runs `lanes` rows at a time,
// and the second pass transforms panels of adjacent columns straight from the
// row-major array, `lanes` columns per vector, so the data never goes through the
// two transposes; the attention checks that stood for them are still made.
#include "filt/engines.h"

#include "filt/engine_dispatch.h"
#include "filt/engine_kernels.h"
#include "filt/engine_plan.h"
#include "filt/engine_transpose.h"
#include "platform/attention.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace vx_detail;

inline void attentionCheck() { vfThrowExceptionOnFailure(vsys_attention_check()); }

inline float* rowAt(float* array, std::int32_t length, std::int32_t r) {
  return array + 2 * static_cast<std::ptrdiff_t>(length) * r;
}

void complexScalar(float* data, std::int32_t width, std::int32_t height, bool inverse, long miny,
                   long maxy) {
  const bool square = width == height;
  const bool degenerate = width == 1 || height == 1;

  // All working memory first, before the data is touched.
  const TwiddleTable twiddles = makeTwiddleTable();
  std::vector<std::int32_t> swapTable(2 * static_cast<std::size_t>(std::max(width, height)), 0);
  std::unique_ptr<TransposeScratch> scratch;
  if (!square && !degenerate) scratch = std::make_unique<TransposeScratch>(width, height);

  // Pass 0: rows of length W, skipping those outside the band. Under a parallel
  // scope both passes run bands of rows as tasks; the tables are only read.
  const long bands = engineBands(width, height);
  buildSwapTable(swapTable.data(), width);
  splitRowBands(height, bands, [&](long, long first, long end) {
    for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
      if (!rowInBand(r, height, miny, maxy)) continue;
      if (r % 16 == 0) attentionCheck();
      transformRow(rowAt(data, width, r), width, inverse, twiddles, swapTable.data());
    }
  });

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
  splitRowBands(width, bands, [&](long, long first, long end) {
    for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
      if (r % 16 == 0) attentionCheck();
      transformRow(rowAt(array, height, r), height, inverse, twiddles, swapTable.data());
    }
  });

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

// The scalar transform out of place, straight into the destination rows: the rows
// of the first pass as complexScalar transforms them, then each column gathered
// into a row of its own, transformed and put back, which are the rows of the
// transposed array that complexScalar transforms. The transposes only move values,
// so the bits are complexScalar's; the attention checks are its checks too.
void complexScalarInto(const float* source, float* const* destination, std::int32_t width,
                       std::int32_t height, bool inverse, long miny, long maxy) {
  const bool square = width == height;
  const bool degenerate = width == 1 || height == 1;
  const TwiddleTable twiddles = makeTwiddleTable();
  std::vector<std::int32_t> rowSwap(static_cast<std::size_t>(width), 0);
  std::vector<std::int32_t> columnSwap(static_cast<std::size_t>(height), 0);
  // One gathered column for each task of a parallel scope.
  const long bands = engineBands(width, height);
  const std::size_t columnFloats = 2 * static_cast<std::size_t>(height);
  std::vector<float> columns(columnFloats * static_cast<std::size_t>(bands));
  buildSwapTable(rowSwap.data(), width);
  buildSwapTable(columnSwap.data(), height);

  const std::size_t rowBytes = 2 * static_cast<std::size_t>(width) * sizeof(float);
  splitRowBands(height, bands, [&](long, long first, long end) {
    for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
      const float* from = source + 2 * static_cast<std::ptrdiff_t>(width) * r;
      if (from != destination[r]) std::memcpy(destination[r], from, rowBytes);
      if (!rowInBand(r, height, miny, maxy)) continue;
      if (r % 16 == 0) attentionCheck();
      transformRow(destination[r], width, inverse, twiddles, rowSwap.data());
    }
  });
  if (!degenerate && (square ? squareTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(height, width)))
    attentionCheck();
  splitRowBands(width, bands, [&](long band, long first, long end) {
    float* column = columns.data() + columnFloats * static_cast<std::size_t>(band);
    for (auto c = static_cast<std::int32_t>(first); c < end; ++c) {
      if (c % 16 == 0) attentionCheck();
      for (std::int32_t r = 0; r < height; ++r) {
        column[2 * r] = destination[r][2 * c];
        column[2 * r + 1] = destination[r][2 * c + 1];
      }
      transformRow(column, height, inverse, twiddles, columnSwap.data());
      for (std::int32_t r = 0; r < height; ++r) {
        destination[r][2 * c] = column[2 * r];
        destination[r][2 * c + 1] = column[2 * r + 1];
      }
    }
  });
  if (!degenerate && (square ? squareTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(width, height)))
    attentionCheck();
}

// Whether the square transpose after the first pass leaves a block pair alone
// whose values are not all +0. The skipped pairs hold rows outside the band, which
// the caller promises to be zero; only when they are +0 bit for bit is leaving
// them in place the same as transposing them, which the vector paths rely on.
bool skippedBlocksHoldOtherThanPlusZero(const float* data, std::int32_t n, long miny, long maxy) {
  if (!squareTransposeIsBlocked(n) || !(miny > 0 || maxy < n)) return false;
  // Four whole rows at a time, as 64-bit words ORed together: any set bit (-0
  // included) counts. (A loop that stops at the first nonzero byte would not be
  // vectorized, and a band keeps most rows outside.)
  const std::size_t words = 4 * 2 * static_cast<std::size_t>(n) * sizeof(float) / sizeof(std::uint64_t);
  for (std::int32_t b = 0; b < n; b += 4) {
    bool outside = true;
    for (std::int32_t r = b; r < b + 4; ++r)
      if (rowInBand(r, n, miny, maxy)) outside = false;
    if (!outside) continue;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data + 2 * static_cast<std::ptrdiff_t>(n) * b);
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < words; ++i) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i * sizeof word, sizeof word);
      bits |= word;
    }
    if (bits != 0) return true;
  }
  return false;
}

// Row r of the input is read at source + 2 W r; row r of the result is written to
// `destination[r]` (which is that same address for an in-place transform, and which
// `destination` may be the plan's own row table for).
void complexLanes(const LaneKernels& kernels, LanePlan& plan, const float* source,
                  float* const* destination, std::int32_t width, std::int32_t height, bool inverse,
                  long miny, long maxy) {
  const bool square = width == height;
  const std::int32_t lanes = kernels.lanes;
  const LaneTables& tables = plan.tables();
  const std::size_t rowBytes = 2 * static_cast<std::size_t>(width) * sizeof(float);

  // Pass 0: the rows kept by the band, `lanes` at a time; the dummy row fills the
  // lanes of the last group that no row claims. Rows outside the band are left as
  // they are (copied when the result goes elsewhere). Under a parallel scope each
  // task takes a band of consecutive rows, with work memory of its own.
  splitRowBands(height, plan.bands(), [&](long band, long first, long end) {
    const float* sources[16];
    float* rows[16];
    std::int32_t filled = 0;
    float* work = plan.work(band);
    for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
      const float* from = source + 2 * static_cast<std::ptrdiff_t>(width) * r;
      if (!rowInBand(r, height, miny, maxy)) {
        if (from != destination[r]) std::memcpy(destination[r], from, rowBytes);
        continue;
      }
      if (r % 16 == 0) attentionCheck();
      sources[filled] = from;
      rows[filled++] = destination[r];
      if (filled == lanes) {
        kernels.complexRows(sources, rows, width, inverse, tables, work);
        filled = 0;
      }
    }
    if (filled > 0) {
      for (std::int32_t k = filled; k < lanes; ++k) sources[k] = rows[k] = plan.dummyRow(band);
      kernels.complexRows(sources, rows, width, inverse, tables, work);
    }
  });

  // Where the transpose stood.
  if (square ? squareTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(height, width))
    attentionCheck();

  // Pass 1: the columns, a panel of adjacent ones at a time.
  forEachColumnPanel(destination[0], width, kernels.panelColumns(height), plan.bands(),
                     [&](long band, std::int32_t c0, std::int32_t count) {
                       kernels.complexColumns(destination, c0, height, count, inverse, tables,
                                              plan.work(band));
                     });

  // Where the transpose back stood.
  if (square ? squareTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(width, height))
    attentionCheck();
}

// The vector kernels, when the calling thread's path has them and they give the
// reference bits for this call; otherwise null. A single row or column has no
// second dimension to spread over the lanes.
const LaneKernels* lanesFor(const float* source, std::int32_t width, std::int32_t height, long miny,
                            long maxy) {
  const LaneKernels* kernels = activeLaneKernels();
  if (kernels == nullptr || width < 2 || height < 2) return nullptr;
  if (width == height && skippedBlocksHoldOtherThanPlusZero(source, width, miny, maxy)) return nullptr;
  return kernels;
}

}  // namespace

void vf_ComplexFFT2D(float* data, vxPair<long> size, long direction, long miny, long maxy) {
  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  const bool inverse = direction < 0;
  if (const LaneKernels* kernels = lanesFor(data, width, height, miny, maxy)) {
    LanePlan plan(*kernels, width, height, false, engineBands(width, height));
    float** rows = plan.rowTable();
    for (std::int32_t r = 0; r < height; ++r) rows[r] = rowAt(data, width, r);
    complexLanes(*kernels, plan, data, rows, width, height, inverse, miny, maxy);
    return;
  }
  complexScalar(data, width, height, inverse, miny, maxy);
}

void vf_ComplexFFT2DInto(const float* source, float* const* destination, vxPair<long> size,
                         long direction, long miny, long maxy) {
  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  const bool inverse = direction < 0;
  if (const LaneKernels* kernels = lanesFor(source, width, height, miny, maxy)) {
    LanePlan plan(*kernels, width, height, false, engineBands(width, height));
    complexLanes(*kernels, plan, source, destination, width, height, inverse, miny, maxy);
    return;
  }
  if (width == height && skippedBlocksHoldOtherThanPlusZero(source, width, miny, maxy)) {
    // The reference itself, on a contiguous copy: its transpose leaves the rows
    // outside the band where they are, which only equals transposing them when they
    // hold +0 alone.
    const std::size_t rowFloats = 2 * static_cast<std::size_t>(width);
    std::vector<float> copy(source, source + rowFloats * static_cast<std::size_t>(height));
    complexScalar(copy.data(), width, height, inverse, miny, maxy);
    for (std::int32_t r = 0; r < height; ++r)
      std::memcpy(destination[r], copy.data() + rowFloats * r, rowFloats * sizeof(float));
    return;
  }
  complexScalarInto(source, destination, width, height, inverse, miny, maxy);
}

void vf_ComplexFFT2DInto(const float* source, float* destination, vxPair<long> size,
                         long direction, long miny, long maxy) {
  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  std::vector<float*> rows(static_cast<std::size_t>(height));
  for (std::int32_t r = 0; r < height; ++r) rows[r] = rowAt(destination, width, r);
  vf_ComplexFFT2DInto(source, rows.data(), size, direction, miny, maxy);
}
