// The real-input 2-D transform engine. Each row of W real samples is transformed
// as W/2 complex values and unpacked into its W/2 + 1 non-redundant frequencies;
// the column pass then runs over those W/2 + 1 columns only, and the other half of
// the spectrum is filled in from the conjugate symmetry of the transform of real
// data.
//
// The passes and the attention checks are those of the schedule (schedule.h). The
// scalar path is the reference; the vector paths give the same bits, running `lanes`
// rows at a time and then panels of adjacent columns of the row-major array, without
// the transposes, and writing the conjugate half with the columns' results.
#include "filt/engine/engines.h"

#include "filt/common/limits.h"
#include "filt/engine/any_engine.h"
#include "filt/engine/kernels.h"
#include "filt/engine/lane_kernels.h"
#include "filt/engine/plan.h"
#include "filt/engine/schedule.h"
#include "filt/engine/transpose.h"
#include "filt/engine/trial.h"
#include "filt/simd/planner.h"
#include "filt/threads/rows.h"
#include "platform/memory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using namespace vx_detail;

// The scalar path. The compatible mode's reference transposes the array between the
// passes; the extended mode gathers the columns into rows of their own instead
// (ColumnGather), so that its working memory stays a few columns per task.
class ScalarSteps {
public:
  // All working memory first, before the data is touched.
  ScalarSteps(float* data, std::int32_t width, std::int32_t height, bool accurate, long bands)
      : data_(data), array_(data), width_(width), height_(height),
        gather_(accurate && width != 1 && height != 1),
        tables_(log2Exact(std::max(std::max(width / 2, 1), height)), width / 2, accurate),
        rowSwap_(static_cast<std::size_t>(std::max(width / 2, 1)), 0),
        columnSwap_(static_cast<std::size_t>(height), 0),
        columns_(gather_ ? height : 0, gather_ ? bands : 0) {
    if (gather_) {
      rows_.resize(static_cast<std::size_t>(height));
      for (std::int32_t r = 0; r < height; ++r) rows_[r] = rowAt(data, width, r);
    } else if (width != height && width != 1 && height != 1) {
      scratch_ = std::make_unique<TransposeScratch>(width, height);
    }
    buildSwapTable(rowSwap_.data(), width / 2);
    buildSwapTable(columnSwap_.data(), height);
  }

  // Each row's W samples as W/2 complex values, transformed and unpacked into values
  // 0 .. W/2 of the row. (A single column has no row pass: its rows already hold their
  // one complex value.)
  void row(long, std::int32_t r) {
    float* row = rowAt(data_, width_, r);
    transformRow(row, width_ / 2, false, tables_, rowSwap_.data());
    unpackRealRow(row, width_ / 2, tables_);
  }
  void skipRow(long, std::int32_t) {}
  void endRows(long) {}

  void transpose() {
    if (gather_ || width_ == 1 || height_ == 1) return;
    if (width_ == height_) {
      halfTransposeAfterRows(data_, width_);
    } else {
      transposeOutOfPlace(data_, scratch_->data(), height_, width_);
      array_ = scratch_->data();
    }
  }

  // Columns 0 .. W/2, each of length H: the rows of the transposed array, or gathered.
  long columnUnits() const {
    return gather_ ? ColumnGather::units(width_ / 2 + 1) : width_ / 2 + 1;
  }
  ColumnUnit columnUnit(long u) const {
    return gather_ ? ColumnGather::unit(u, width_ / 2 + 1)
                   : ColumnUnit{static_cast<std::int32_t>(u), 1};
  }
  void columns(long band, ColumnUnit unit) {
    if (gather_)
      columns_.transform(rows_.data(), band, unit, false, tables_, columnSwap_.data());
    else
      transformRow(rowAt(array_, height_, unit.c0), height_, false, tables_, columnSwap_.data());
  }

  void transposeBack() {
    if (gather_ || width_ == 1 || height_ == 1) return;
    if (width_ == height_)
      halfTransposeAfterColumns(data_, width_);
    else
      transposeOutOfPlace(scratch_->data(), data_, width_, height_);
  }
  // Columns W/2 + 1 .. W - 1 from the symmetry X(W - u, H - v) = conj X(u, v).
  void complete() { completeConjugateHalf(data_, width_, height_); }

private:
  float* data_;
  float* array_;
  std::int32_t width_;
  std::int32_t height_;
  bool gather_;
  EngineTables tables_;
  std::vector<std::int32_t> rowSwap_;
  std::vector<std::int32_t> columnSwap_;
  ColumnGather columns_;
  std::vector<float*> rows_;
  std::unique_ptr<TransposeScratch> scratch_;
};

class LaneSteps {
public:
  LaneSteps(const LaneKernels& kernels, LanePlan& plan, float* data, std::int32_t width,
            std::int32_t height)
      : kernels_(kernels), plan_(plan), data_(data), width_(width), height_(height),
        groups_(static_cast<std::size_t>(plan.bands())),
        panels_(data, width / 2 + 1, kernels.panelColumns(height)) {
    float** columnRows = plan.rowTable();
    for (std::int32_t r = 0; r < height; ++r) columnRows[r] = rowAt(data, width, r);
  }

  // `lanes` rows at a time, the dummy row filling the lanes of a band's last group.
  void row(long band, std::int32_t r) {
    Group& g = groups_[static_cast<std::size_t>(band)];
    g.rows[g.filled++] = rowAt(data_, width_, r);
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

  // Columns 0 .. W/2, a panel of adjacent ones at a time, each result also written to
  // its conjugate-symmetric place in columns W/2 + 1 .. W - 1.
  long columnUnits() const { return panels_.count(); }
  ColumnUnit columnUnit(long u) const { return panels_.unit(u); }
  void columns(long band, ColumnUnit unit) {
    kernels_.realColumns(plan_.rowTable(), unit.c0, height_, unit.count, width_, plan_.tables(),
                         plan_.work(band));
  }
  void transposeBack() {}
  // Its values were written with the columns' results.
  void complete() {}

private:
  struct Group {
    float* rows[kMaxLanes];
    std::int32_t filled = 0;
  };
  void run(long band, Group& g) {
    kernels_.realRows(g.rows, width_ / 2, plan_.tables(), plan_.work(band));
    g.filled = 0;
  }

  const LaneKernels& kernels_;
  LanePlan& plan_;
  float* data_;
  std::int32_t width_;
  std::int32_t height_;
  std::vector<Group> groups_;
  ColumnPanels panels_;
};

}  // namespace

void vf_RealFFT2D(float* data, vxPair<long> size, long direction, long /*miny*/, long /*maxy*/) {
  if (direction < 0)
    throw std::invalid_argument(
        "vf_RealFFT2D: the real-input engine computes forward transforms only");

  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  const bool accurate = extendedMode();
  if (accurate && anySizeEngine(width, height)) {
    anyRealFFT2D(data, width, height);
    return;
  }
  const PassSchedule schedule = PassSchedule::real(width, height);
  const long bands = engineBands(width, height);
  // A single row or column has no second dimension to spread over the lanes.
  const LaneKernels* kernels = nullptr;
  if (activeLaneKernels() != nullptr && width >= 2 && height >= 2) {
    kernels = plannedOnCopy(vxEngine::RealForward, width, height, data,
                            [&](const LaneKernels& k, float* copy, std::int32_t w, std::int32_t h) {
                              // The bands of a trial's one thread.
                              LanePlan plan(k, w / 2, h, true, accurate, engineBands(w, h));
                              LaneSteps steps(k, plan, copy, w, h);
                              runPasses(PassSchedule::real(w, h), plan.bands(), steps);
                            });
  }
  if (kernels != nullptr) {
    LanePlan plan(*kernels, width / 2, height, true, accurate, bands);
    LaneSteps steps(*kernels, plan, data, width, height);
    runPasses(schedule, plan.bands(), steps);
    return;
  }
  ScalarSteps steps(data, width, height, accurate, bands);
  runPasses(schedule, bands, steps);
}
