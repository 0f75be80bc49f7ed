// The complex 2-D transform engine: a split-radix transform along every row, a
// transpose, the same along every row of the transposed array, and a transpose
// back. Rows outside the caller's band of kept rows are zero and are skipped by
// the first pass and by the in-place transpose.
//
// The passes and the attention checks are those of the schedule (schedule.h); the
// classes below bring the work of each step on each path. The scalar path is the
// reference. The vector paths (filt/engine/lane_kernels.h) compute the same bits
// another way: the first pass runs `lanes` rows at a time, and the second pass
// transforms panels of adjacent columns straight from the row-major array, `lanes`
// columns per vector, so the data never goes through the two transposes.
#include "filt/engine/engines.h"

#include "filt/common/limits.h"
#include "filt/engine/any_engine.h"
#include "filt/engine/kernels.h"
#include "filt/engine/lane_kernels.h"
#include "filt/engine/plan.h"
#include "filt/engine/schedule.h"
#include "filt/engine/transpose.h"
#include "filt/engine/trial.h"
#include "filt/parallel.h"
#include "filt/simd/planner.h"
#include "filt/threads/rows.h"
#include "platform/memory.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace vx_detail;

// The reference, in place: the rows of each pass transformed one at a time, with the
// transposes between the passes.
class ScalarSteps {
public:
  // All working memory first, before the data is touched.
  ScalarSteps(float* data, std::int32_t width, std::int32_t height, bool inverse, long miny,
              long maxy)
      : data_(data), array_(data), width_(width), height_(height), inverse_(inverse), miny_(miny),
        maxy_(maxy), tables_(log2Exact(std::max(width, height)), 0, false),
        rowSwap_(static_cast<std::size_t>(width), 0),
        columnSwap_(static_cast<std::size_t>(height), 0) {
    if (width != height && width != 1 && height != 1)
      scratch_ = std::make_unique<TransposeScratch>(width, height);
    buildSwapTable(rowSwap_.data(), width);
    buildSwapTable(columnSwap_.data(), height);
  }

  void row(long, std::int32_t r) {
    transformRow(rowAt(data_, width_, r), width_, inverse_, tables_, rowSwap_.data());
  }
  void skipRow(long, std::int32_t) {}
  void endRows(long) {}

  // Without a transpose (W = 1 or H = 1) the array read by the second pass is the
  // same memory, H values in a row or W rows of one value.
  void transpose() {
    if (width_ == 1 || height_ == 1) return;
    if (width_ == height_) {
      transposeSquareInPlace(data_, width_, miny_, maxy_);
    } else {
      transposeOutOfPlace(data_, scratch_->data(), height_, width_);
      array_ = scratch_->data();
    }
  }

  long columnUnits() const { return width_; }
  ColumnUnit columnUnit(long u) const { return ColumnUnit{static_cast<std::int32_t>(u), 1}; }
  // Column c is row c of the transposed array.
  void columns(long, ColumnUnit unit) {
    transformRow(rowAt(array_, height_, unit.c0), height_, inverse_, tables_, columnSwap_.data());
  }

  void transposeBack() {
    if (width_ == 1 || height_ == 1) return;
    if (width_ == height_)
      transposeSquareInPlace(data_, width_, 0, width_);
    else
      transposeOutOfPlace(scratch_->data(), data_, width_, height_);
  }
  void complete() {}

private:
  float* data_;
  float* array_;
  std::int32_t width_;
  std::int32_t height_;
  bool inverse_;
  long miny_;
  long maxy_;
  EngineTables tables_;
  std::vector<std::int32_t> rowSwap_;
  std::vector<std::int32_t> columnSwap_;
  std::unique_ptr<TransposeScratch> scratch_;
};

// The scalar transform straight into the destination rows (which may be the source's):
// the rows of the first pass as ScalarSteps transforms them, then the columns gathered
// into rows of their own, transformed and put back (ColumnGather), which are the rows
// of the transposed array that ScalarSteps transforms.
class ScalarIntoSteps {
public:
  ScalarIntoSteps(const float* source, float* const* destination, std::int32_t width,
                  std::int32_t height, bool inverse, bool accurate, long bands)
      : source_(source), destination_(destination), width_(width), inverse_(inverse),
        tables_(log2Exact(std::max(width, height)), 0, accurate),
        rowSwap_(static_cast<std::size_t>(width), 0),
        columnSwap_(static_cast<std::size_t>(height), 0), gather_(height, bands) {
    buildSwapTable(rowSwap_.data(), width);
    buildSwapTable(columnSwap_.data(), height);
  }

  void row(long band, std::int32_t r) {
    skipRow(band, r);
    transformRow(destination_[r], width_, inverse_, tables_, rowSwap_.data());
  }
  void skipRow(long, std::int32_t r) {
    const float* from = source_ + 2 * static_cast<std::ptrdiff_t>(width_) * r;
    if (from != destination_[r])
      std::memcpy(destination_[r], from, 2 * static_cast<std::size_t>(width_) * sizeof(float));
  }
  void endRows(long) {}
  void transpose() {}

  long columnUnits() const { return ColumnGather::units(width_); }
  ColumnUnit columnUnit(long u) const { return ColumnGather::unit(u, width_); }
  void columns(long band, ColumnUnit unit) {
    gather_.transform(destination_, band, unit, inverse_, tables_, columnSwap_.data());
  }
  void transposeBack() {}
  void complete() {}

private:
  const float* source_;
  float* const* destination_;
  std::int32_t width_;
  bool inverse_;
  EngineTables tables_;
  std::vector<std::int32_t> rowSwap_;
  std::vector<std::int32_t> columnSwap_;
  ColumnGather gather_;
};

// The lane kernels: rows `lanes` at a time, then panels of columns. Row r of the
// input is read at source + 2 W r; row r of the result is written to destination[r]
// (which is that same address for an in-place transform, and which `destination` may
// be the plan's own row table for).
class LaneSteps {
public:
  LaneSteps(const LaneKernels& kernels, LanePlan& plan, const float* source,
            float* const* destination, std::int32_t width, std::int32_t height, bool inverse)
      : kernels_(kernels), plan_(plan), source_(source), destination_(destination), width_(width),
        height_(height), inverse_(inverse), groups_(static_cast<std::size_t>(plan.bands())),
        panels_(destination[0], width, kernels.panelColumns(height)) {}

  // The rows kept by the band, `lanes` at a time; the dummy row fills the lanes of
  // the last group of a band that no row claims. Rows outside the band are left as
  // they are (copied when the result goes elsewhere).
  void row(long band, std::int32_t r) {
    Group& g = groups_[static_cast<std::size_t>(band)];
    g.sources[g.filled] = source_ + 2 * static_cast<std::ptrdiff_t>(width_) * r;
    g.rows[g.filled++] = destination_[r];
    if (g.filled == kernels_.lanes) run(band, g);
  }
  void skipRow(long, std::int32_t r) {
    const float* from = source_ + 2 * static_cast<std::ptrdiff_t>(width_) * r;
    if (from != destination_[r])
      std::memcpy(destination_[r], from, 2 * static_cast<std::size_t>(width_) * sizeof(float));
  }
  void endRows(long band) {
    Group& g = groups_[static_cast<std::size_t>(band)];
    if (g.filled == 0) return;
    for (std::int32_t k = g.filled; k < kernels_.lanes; ++k)
      g.sources[k] = g.rows[k] = plan_.dummyRow(band);
    run(band, g);
  }
  void transpose() {}

  long columnUnits() const { return panels_.count(); }
  ColumnUnit columnUnit(long u) const { return panels_.unit(u); }
  void columns(long band, ColumnUnit unit) {
    kernels_.complexColumns(destination_, unit.c0, height_, unit.count, inverse_, plan_.tables(),
                            plan_.work(band));
  }
  void transposeBack() {}
  void complete() {}

private:
  struct Group {
    const float* sources[kMaxLanes];
    float* rows[kMaxLanes];
    std::int32_t filled = 0;
  };
  void run(long band, Group& g) {
    kernels_.complexRows(g.sources, g.rows, width_, inverse_, plan_.tables(), plan_.work(band));
    g.filled = 0;
  }

  const LaneKernels& kernels_;
  LanePlan& plan_;
  const float* source_;
  float* const* destination_;
  std::int32_t width_;
  std::int32_t height_;
  bool inverse_;
  std::vector<Group> groups_;
  ColumnPanels panels_;
};

// Whether the square transpose after the first pass leaves a block pair alone
// whose values are not all +0. The skipped pairs hold rows outside the band, which
// the caller promises to be zero; only when they are +0 bit for bit is leaving
// them in place the same as transposing them, which the vector paths rely on.
bool skippedBlocksHoldOtherThanPlusZero(const float* data, std::int32_t n, long miny, long maxy) {
  if (!squareTransposeIsBlocked(n) || !(miny > 0 || maxy < n)) return false;
  // Four whole rows at a time, as 64-bit words ORed together: any set bit (-0
  // included) counts. (A loop that stops at the first nonzero byte would not be
  // vectorized, and a band keeps most rows outside.)
  const std::size_t words =
      4 * 2 * static_cast<std::size_t>(n) * sizeof(float) / sizeof(std::uint64_t);
  for (std::int32_t b = 0; b < n; b += 4) {
    bool outside = true;
    for (std::int32_t r = b; r < b + 4; ++r)
      if (rowInBand(r, n, miny, maxy)) outside = false;
    if (!outside) continue;
    const auto* bytes =
        reinterpret_cast<const unsigned char*>(data + 2 * static_cast<std::ptrdiff_t>(n) * b);
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

// The vector kernels, when the calling thread's path has them and they give this
// call's bits; otherwise null. A single row or column has no second dimension to
// spread over the lanes. In the compatible mode the reference leaves a square array's
// skipped block pairs in place, which the vector kernels match only where those
// pairs hold +0 alone; in the extended mode every path reads the columns where they
// lie (as a transpose would put them), whatever the rows outside the band hold.
void runLanes(const LaneKernels& kernels, LanePlan& plan, const float* source,
              float* const* destination, std::int32_t width, std::int32_t height, bool inverse,
              long miny, long maxy) {
  LaneSteps steps(kernels, plan, source, destination, width, height, inverse);
  runPasses(PassSchedule::complex(width, height, miny, maxy), plan.bands(), steps);
}

// The planned path's kernels: the planner's trial runs this call's transform on a copy
// of its input with each path's kernels.
const LaneKernels* plannedKernels(const float* source, std::int32_t width, std::int32_t height,
                                  bool inverse, long miny, long maxy, bool accurate) {
  return plannedOnCopy(
      inverse ? vxEngine::ComplexInverse : vxEngine::ComplexForward, width, height, source,
      [&](const LaneKernels& kernels, float* copy, std::int32_t w, std::int32_t h) {
        std::vector<float*> rows(static_cast<std::size_t>(h));
        for (std::int32_t r = 0; r < h; ++r) rows[r] = rowAt(copy, w, r);
        LanePlan plan(kernels, w, h, false, accurate, engineBands(w, h));
        // A smaller trial keeps every row.
        const bool own = w == width && h == height;
        runLanes(kernels, plan, copy, rows.data(), w, h, inverse, own ? miny : 0, own ? maxy : h);
      });
}

const LaneKernels* lanesFor(const float* source, std::int32_t width, std::int32_t height, long miny,
                            long maxy, bool accurate, bool inverse) {
  if (activeLaneKernels() == nullptr || width < 2 || height < 2) return nullptr;
  if (!accurate && width == height && skippedBlocksHoldOtherThanPlusZero(source, width, miny, maxy))
    return nullptr;
  return plannedKernels(source, width, height, inverse, miny, maxy, accurate);
}

// The compatible mode's reference, in place with its transposes.
void runScalar(float* data, std::int32_t width, std::int32_t height, bool inverse, long miny,
               long maxy) {
  ScalarSteps steps(data, width, height, inverse, miny, maxy);
  runPasses(PassSchedule::complex(width, height, miny, maxy), engineBands(width, height), steps);
}

// The scalar path from `source` into `destination` (which may be the source's own rows):
// columns gathered one at a time, so the working memory stays a column per task.
void runScalarInto(const float* source, float* const* destination, std::int32_t width,
                   std::int32_t height, bool inverse, long miny, long maxy, bool accurate) {
  const long bands = engineBands(width, height);
  ScalarIntoSteps steps(source, destination, width, height, inverse, accurate, bands);
  runPasses(PassSchedule::complex(width, height, miny, maxy), bands, steps);
}

// Runs the tasks one after the other on the calling thread: the lone side of the split
// trial, with the same working memory and parts as the split side.
class InlineExecutor : public vxExecutor {
public:
  void run(long count, const std::function<void(long)>& task) override {
    for (long i = 0; i < count; ++i) task(i);
  }
};

// The measurement behind the threads' size rule (setSplitTrial): the real-input forward
// transform of a side x side picture of its own (of the engines' calls the one with the
// least arithmetic per byte, so the last to gain from a second core), split into the
// same parts on the caller alone and over the caller's executor: the best of three runs
// each, after one that touches the memory and wakes the threads. On the path the
// caller's calls take now (the planner's own trials left out); its attention checks
// are not counted as the call's, but the caller's flag stops it.
void splitTrial(long side, double* lone, double* split) {
  const std::size_t rowFloats = 2 * static_cast<std::size_t>(side);
  // The library's own blocks: fresh pages are touched first by the filling below, which
  // reads the caller's attention row by row (the engine's passes read it too).
  FloatBlock data;
  data.reset(rowFloats * static_cast<std::size_t>(side), BlockFill::Any);
  const QuietAttention quiet;
  const EnginePathOverride path(activeEnginePath());
  const SplitAlways always;
  const auto best = [&](double* seconds) {
    *seconds = 1e30;
    for (int run = 0; run < 4; ++run) {
      for (long r = 0; r < side; ++r) {
        if (r % 64 == 0) vfThrowExceptionOnFailure(vsys_attention_check());
        float* row = data.data() + rowFloats * static_cast<std::size_t>(r);
        for (std::size_t i = 0; i < rowFloats; ++i)
          row[i] = static_cast<float>((rowFloats * static_cast<std::size_t>(r) + i) % 13) - 6.0f;
      }
      const auto start = std::chrono::steady_clock::now();
      vf_RealFFT2D(data.data(), vxPair<long>(side, side), +1, 0, side);
      const double t =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (run > 0) *seconds = std::min(*seconds, t);
    }
  };
  best(split);
  InlineExecutor inlineExecutor;
  const vxParallelScope alone(inlineExecutor);
  best(lone);
}

const bool kSplitTrialRegistered = [] {
  setSplitTrial(&splitTrial);
  return true;
}();

}  // namespace

void vf_ComplexFFT2D(float* data, vxPair<long> size, long direction, long miny, long maxy) {
  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  const bool inverse = direction < 0;
  const bool accurate = extendedMode();
  if (accurate && anySizeEngine(width, height)) {
    std::vector<float*> rows(static_cast<std::size_t>(height));
    for (std::int32_t r = 0; r < height; ++r) rows[r] = rowAt(data, width, r);
    anyComplexFFT2D(data, rows.data(), width, height, inverse, miny, maxy);
    return;
  }
  if (const LaneKernels* kernels = lanesFor(data, width, height, miny, maxy, accurate, inverse)) {
    LanePlan plan(*kernels, width, height, false, accurate, engineBands(width, height));
    float** rows = plan.rowTable();
    for (std::int32_t r = 0; r < height; ++r) rows[r] = rowAt(data, width, r);
    runLanes(*kernels, plan, data, rows, width, height, inverse, miny, maxy);
    return;
  }
  if (!accurate) {
    runScalar(data, width, height, inverse, miny, maxy);
    return;
  }
  std::vector<float*> rows(static_cast<std::size_t>(height));
  for (std::int32_t r = 0; r < height; ++r) rows[r] = rowAt(data, width, r);
  runScalarInto(data, rows.data(), width, height, inverse, miny, maxy, true);
}

void vf_ComplexFFT2DInto(const float* source, float* const* destination, vxPair<long> size,
                         long direction, long miny, long maxy) {
  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  const bool inverse = direction < 0;
  const bool accurate = extendedMode();
  if (accurate && anySizeEngine(width, height)) {
    anyComplexFFT2D(source, destination, width, height, inverse, miny, maxy);
    return;
  }
  if (const LaneKernels* kernels = lanesFor(source, width, height, miny, maxy, accurate, inverse)) {
    LanePlan plan(*kernels, width, height, false, accurate, engineBands(width, height));
    runLanes(*kernels, plan, source, destination, width, height, inverse, miny, maxy);
    return;
  }
  if (!accurate && width == height &&
      skippedBlocksHoldOtherThanPlusZero(source, width, miny, maxy)) {
    // The reference itself, on a contiguous copy: its transpose leaves the rows
    // outside the band where they are, which only equals transposing them when they
    // hold +0 alone.
    const std::size_t rowFloats = 2 * static_cast<std::size_t>(width);
    std::vector<float> copy(source, source + rowFloats * static_cast<std::size_t>(height));
    runScalar(copy.data(), width, height, inverse, miny, maxy);
    for (std::int32_t r = 0; r < height; ++r)
      std::memcpy(destination[r], copy.data() + rowFloats * r, rowFloats * sizeof(float));
    return;
  }
  runScalarInto(source, destination, width, height, inverse, miny, maxy, accurate);
}

void vf_ComplexFFT2DInto(const float* source, float* destination, vxPair<long> size, long direction,
                         long miny, long maxy) {
  const auto width = static_cast<std::int32_t>(size.x);
  const auto height = static_cast<std::int32_t>(size.y);
  std::vector<float*> rows(static_cast<std::size_t>(height));
  for (std::int32_t r = 0; r < height; ++r) rows[r] = rowAt(destination, width, r);
  vf_ComplexFFT2DInto(source, rows.data(), size, direction, miny, maxy);
}
