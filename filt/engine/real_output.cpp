// The real-output engine where both sides are powers of two. The engine of any size
// computes the real part of an inverse as the inverse of the spectrum's Hermitian part
// with Stockham stages; at powers of two the split-radix transforms of the extended
// mode's complex inverse do the same work with fewer passes over memory: the columns
// 0 .. W/2 of the Hermitian part go through the complex engine's inverse column pass
// in place, and each row, packed into W/2 complex values, through its inverse row pass,
// whose values are the row's samples two by two.
//
// As in the other engines, the scalar path is the reference and the vector paths give
// its bits: the Hermitian part, the packing and the spreading of the samples are the
// same scalar code on every path, and the lane kernels run the scalar kernels' float
// operations on several rows or columns at once.
#include "filt/engine/any_arith.h"
#include "filt/engine/any_engine.h"
#include "filt/engine/kernels.h"
#include "filt/engine/lane_kernels.h"
#include "filt/engine/plan.h"
#include "filt/engine/schedule.h"
#include "filt/engine/trial.h"
#include "filt/engine/twiddles.h"
#include "filt/simd/planner.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vx_detail {
namespace {

// The Hermitian part of the columns of `unit` of the W x H spectrum at `source`, into
// the same columns of the destination rows. Rows r and H - r go together, both read
// before either is written, so the destination may be the source itself: the mirror of
// a column c >= 1 is column W - c, beyond W/2 and so in no unit, except for c = W/2,
// whose mirror is itself, as column 0's is. With `symmetric` the mirror of a value x in
// the columns 1 .. W/2 - 1 is conj x.
void hermitianUnit(const float* source, float* const* destination, std::int32_t width,
                   std::int32_t height, ColumnUnit unit, bool symmetric) {
  const std::ptrdiff_t rowFloats = 2 * static_cast<std::ptrdiff_t>(width);
  for (std::int32_t r = 0; r <= height / 2; ++r) {
    const std::int32_t p = r == 0 ? 0 : height - r;
    const float* a = source + rowFloats * r;
    const float* b = source + rowFloats * p;
    float* toA = destination[r];
    float* toB = destination[p];
    for (std::int32_t c = unit.c0; c < unit.c0 + unit.count; ++c) {
      const std::int32_t m = c == 0 ? 0 : width - c;
      float ar = a[2 * c], ai = a[2 * c + 1];
      float br = b[2 * c], bi = b[2 * c + 1];
      const bool conjugates = symmetric && c >= 1 && 2 * c < width;
      const float amr = conjugates ? ar : b[2 * m], ami = conjugates ? -ai : b[2 * m + 1];
      const float bmr = conjugates ? br : a[2 * m], bmi = conjugates ? -bi : a[2 * m + 1];
      hermitianPart(ar, ai, amr, ami);
      hermitianPart(br, bi, bmr, bmi);
      toA[2 * c] = ar;
      toA[2 * c + 1] = ai;
      toB[2 * c] = br;
      toB[2 * c + 1] = bi;
    }
  }
}

// What both paths share: the sizes, the packing factors, the sink.
class Common {
protected:
  Common(const float* source, float* const* destination, std::int32_t width, std::int32_t height,
         const RowSink* sink, bool symmetric)
      : source_(source), destination_(destination), width_(width), height_(height), n_(width / 2),
        factors_(packFactors(width / 2)), sink_(sink), symmetric_(symmetric) {}

  void handOver(std::int32_t r, const float* row) const {
    if (sink_ != nullptr) (*sink_)(r, row);
  }

  const float* source_;
  float* const* destination_;
  std::int32_t width_;
  std::int32_t height_;
  std::int32_t n_;
  std::vector<float> factors_;
  const RowSink* sink_;
  bool symmetric_;
};

class ScalarSteps : Common {
public:
  // All working memory first, before the data is touched.
  ScalarSteps(const float* source, float* const* destination, std::int32_t width,
              std::int32_t height, const RowSink* sink, bool symmetric, long bands)
      : Common(source, destination, width, height, sink, symmetric),
        tables_(log2Exact(std::max(width / 2, height)), 0, true),
        rowSwap_(static_cast<std::size_t>(width / 2), 0),
        columnSwap_(static_cast<std::size_t>(height), 0), columns_(height, bands) {
    buildSwapTable(rowSwap_.data(), n_);
    buildSwapTable(columnSwap_.data(), height);
  }

  void row(long, std::int32_t r) {
    float* row = destination_[r];
    packOutputRow(row, n_, factors_.data());
    transformRow(row, n_, true, tables_, rowSwap_.data());
    spreadOutputRow(row, n_);
    handOver(r, row);
  }
  void skipRow(long, std::int32_t) {}
  void endRows(long) {}
  void transpose() {}

  long columnUnits() const { return ColumnGather::units(n_ + 1); }
  ColumnUnit columnUnit(long u) const { return ColumnGather::unit(u, n_ + 1); }
  void columns(long band, ColumnUnit unit) {
    hermitianUnit(source_, destination_, width_, height_, unit, symmetric_);
    columns_.transform(destination_, band, unit, true, tables_, columnSwap_.data());
  }
  void transposeBack() {}
  void complete() {}

private:
  EngineTables tables_;
  std::vector<std::int32_t> rowSwap_;
  std::vector<std::int32_t> columnSwap_;
  ColumnGather columns_;
};

class LaneSteps : Common {
public:
  LaneSteps(const LaneKernels& kernels, LanePlan& plan, const float* source,
            float* const* destination, std::int32_t width, std::int32_t height, const RowSink* sink,
            bool symmetric)
      : Common(source, destination, width, height, sink, symmetric), kernels_(kernels), plan_(plan),
        groups_(static_cast<std::size_t>(plan.bands())),
        panels_(destination[0], width / 2 + 1, kernels.panelColumns(height)) {}

  // `lanes` rows at a time, the dummy row filling the lanes of a band's last group.
  void row(long band, std::int32_t r) {
    Group& g = groups_[static_cast<std::size_t>(band)];
    g.index[g.filled] = r;
    g.rows[g.filled++] = destination_[r];
    if (g.filled == kernels_.lanes) run(band, g);
  }
  void skipRow(long, std::int32_t) {}
  void endRows(long band) {
    Group& g = groups_[static_cast<std::size_t>(band)];
    if (g.filled == 0) return;
    for (std::int32_t k = g.filled; k < kernels_.lanes; ++k) g.rows[k] = plan_.dummyRow(band);
    run(band, g);
  }
  void transpose() {}

  long columnUnits() const { return panels_.count(); }
  ColumnUnit columnUnit(long u) const { return panels_.unit(u); }
  void columns(long band, ColumnUnit unit) {
    kernels_.hermitianColumns(source_, destination_, unit.c0, height_, unit.count, width_,
                              symmetric_, plan_.tables(), plan_.work(band));
  }
  void transposeBack() {}
  void complete() {}

private:
  struct Group {
    float* rows[kMaxLanes];
    std::int32_t index[kMaxLanes];
    std::int32_t filled = 0;
  };
  void run(long band, Group& g) {
    kernels_.realOutputRows(g.rows, n_, factors_.data(), plan_.tables(), plan_.work(band));
    for (std::int32_t k = 0; k < g.filled; ++k) handOver(g.index[k], g.rows[k]);
    g.filled = 0;
  }

  const LaneKernels& kernels_;
  LanePlan& plan_;
  std::vector<Group> groups_;
  ColumnPanels panels_;
};

}  // namespace

void pow2RealOutputFFT2D(const float* source, float* const* destination, std::int32_t width,
                         std::int32_t height, const RowSink* sink, bool symmetric) {
  const PassSchedule schedule = PassSchedule::realOutput(width, height);
  const long bands = engineBands(width, height);
  const LaneKernels* kernels = nullptr;
  if (activeLaneKernels() != nullptr) {
    kernels = plannedOnCopy(
        vxEngine::RealInverse, width, height, source,
        [&](const LaneKernels& k, float* copy, std::int32_t w, std::int32_t h) {
          // The bands of a trial's one thread, in place on the copy.
          std::vector<float*> rows(static_cast<std::size_t>(h));
          for (std::int32_t r = 0; r < h; ++r) rows[r] = rowAt(copy, w, r);
          LanePlan plan(k, w / 2, h, false, true, engineBands(w, h));
          LaneSteps steps(k, plan, copy, rows.data(), w, h, nullptr, symmetric);
          runPasses(PassSchedule::realOutput(w, h), plan.bands(), steps);
        },
        true);
  }
  if (kernels != nullptr) {
    LanePlan plan(*kernels, width / 2, height, false, true, bands);
    LaneSteps steps(*kernels, plan, source, destination, width, height, sink, symmetric);
    runPasses(schedule, plan.bands(), steps);
    return;
  }
  ScalarSteps steps(source, destination, width, height, sink, symmetric, bands);
  runPasses(schedule, bands, steps);
}

}  // namespace vx_detail
