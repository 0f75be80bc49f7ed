// The real-input 2-D transform engine. Each row of W real samples is transformed
// as W/2 complex values and unpacked into its W/2 + 1 non-redundant frequencies;
// the column pass then runs over those W/2 + 1 columns only, and the other half of
// the spectrum is filled in from the conjugate symmetry of the transform of real
// data.
//
// The scalar path below is the reference; the vector paths (engine_dispatch.h)
// give the same bits, running `lanes` rows at a time and then panels of adjacent
// columns of the row-major array, without the transposes (whose attention checks
// they still make).
#include "filt/engines.h"

#include "filt/engine_dispatch.h"
#include "filt/engine_kernels.h"
#include "filt/engine_plan.h"
#include "filt/engine_transpose.h"
#include "platform/attention.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using namespace vx_detail;

inline void attentionCheck() { vfThrowExceptionOnFailure(vsys_attention_check()); }

inline float* rowAt(float* array, std::int32_t length, std::int32_t r) {
  return array + 2 * static_cast<std::ptrdiff_t>(length) * r;
}

void realScalar(float* data, std::int32_t width, std::int32_t height) {
  const bool square = width == height;
  const bool degenerate = width == 1 || height == 1;

  // All working memory first, before the data is touched.
  const TwiddleTable twiddles = makeTwiddleTable();
  std::vector<std::int32_t> swapTable(2 * static_cast<std::size_t>(std::max(width, height)), 0);
  std::unique_ptr<TransposeScratch> scratch;
  if (!square && !degenerate) scratch = std::make_unique<TransposeScratch>(width, height);

  // Under a parallel scope both passes run bands of rows as tasks; the tables are
  // only read.
  const long bands = engineBands(width, height);

  // Pass 0: each row's W samples as W/2 complex values, transformed and unpacked
  // into values 0 .. W/2 of the row. A single column has nothing to do here: its
  // rows already hold their one complex value.
  if (width >= 2) {
    const std::int32_t half = width / 2;
    const RealUnpackFactors factors = makeRealUnpackFactors(half);
    buildSwapTable(swapTable.data(), half);
    splitRowBands(height, bands, [&](long, long first, long end) {
      for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
        if (r % 16 == 0) attentionCheck();
        float* row = rowAt(data, width, r);
        transformRow(row, half, false, twiddles, swapTable.data());
        unpackRealRow(row, half, factors);
      }
    });
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
  splitRowBands(columns, bands, [&](long, long first, long end) {
    for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
      if (r % 16 == 0) attentionCheck();
      transformRow(rowAt(array, height, r), height, false, twiddles, swapTable.data());
    }
  });

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

void realLanes(const LaneKernels& kernels, float* data, std::int32_t width, std::int32_t height) {
  const bool square = width == height;
  const std::int32_t lanes = kernels.lanes;
  const std::int32_t half = width / 2;
  LanePlan plan(kernels, half, height, true, engineBands(width, height));
  const LaneTables& tables = plan.tables();

  // Pass 0: `lanes` rows at a time, the dummy row filling the lanes of a last group
  // with fewer rows; under a parallel scope each task takes a band of consecutive
  // rows, with work memory of its own.
  splitRowBands(height, plan.bands(), [&](long band, long first, long end) {
    float* rows[16];
    for (auto r0 = static_cast<std::int32_t>(first); r0 < end; r0 += lanes) {
      const std::int32_t count = std::min(lanes, static_cast<std::int32_t>(end) - r0);
      for (std::int32_t k = 0; k < lanes; ++k) {
        if (k < count) {
          if ((r0 + k) % 16 == 0) attentionCheck();
          rows[k] = rowAt(data, width, r0 + k);
        } else {
          rows[k] = plan.dummyRow(band);
        }
      }
      kernels.realRows(rows, half, tables, plan.work(band));
    }
  });

  // Where the transpose stood.
  if (square ? halfTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(height, width))
    attentionCheck();

  // Pass 1: columns 0 .. W/2, a panel of adjacent ones at a time, each result also
  // written to its conjugate-symmetric place in columns W/2 + 1 .. W - 1.
  const std::int32_t columns = half + 1;
  float** columnRows = plan.rowTable();
  for (std::int32_t r = 0; r < height; ++r) columnRows[r] = rowAt(data, width, r);
  forEachColumnPanel(data, columns, kernels.panelColumns(height), plan.bands(),
                     [&](long band, std::int32_t c0, std::int32_t count) {
                       kernels.realColumns(columnRows, c0, height, count, width, tables, plan.work(band));
                     });

  // Where the transpose back stood.
  if (square ? halfTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(width, height))
    attentionCheck();

  // The completion step: its values were written with the columns' results.
  attentionCheck();
}

}  // namespace

void vf_RealFFT2D(float* data, vxPair<long> size, long direction, long /*miny*/, long /*maxy*/) {
  if (direction < 0)
    throw std::invalid_argument("vf_RealFFT2D: the real-input engine computes forward transforms only");

  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  // A single row or column has no second dimension to spread over the lanes.
  const LaneKernels* kernels = activeLaneKernels();
  if (kernels != nullptr && width >= 2 && height >= 2) {
    realLanes(*kernels, data, width, height);
    return;
  }
  realScalar(data, width, height);
}
