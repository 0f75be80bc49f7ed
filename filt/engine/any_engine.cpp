// The engines at any size. Rows of the complex engine are transformed at their length W;
// rows of the real-input engine as W/2 complex values unpacked into W/2 + 1 (W even), or
// two at a time as one complex row of W values, separated into their halves (W odd);
// then the columns (all W, or 0 .. W/2) at their length H, and the real-input engine
// completes its spectrum from the conjugate symmetry as the columns come out.
//
// The scalar path transforms one row or gathered column at a time; a vector path's
// lanes each carry one row, or one of `lanes` adjacent columns read where they lie. Both
// run the arithmetic of any_arith.h, so their bits are the same.
#include "filt/engine/any_engine.h"

#include "filt/common/limits.h"
#include "filt/engine/any_arith.h"
#include "filt/engine/any_plan.h"
#include "filt/engine/kernels.h"
#include "filt/engine/lane_kernels.h"
#include "filt/engine/plan.h"
#include "filt/engine/schedule.h"
#include "filt/engine/trial.h"
#include "filt/engine/twiddles.h"
#include "filt/simd/planner.h"
#include "platform/memory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace vx_detail {
namespace {

// The complex engine; the real-input engine (forward) at even and odd widths; the
// real-output engine (the inverse of the Hermitian part) at even and odd widths.
enum class AnyKind { Complex, RealEven, RealOdd, OutputEven, OutputOdd };

bool realOutput(AnyKind kind) { return kind == AnyKind::OutputEven || kind == AnyKind::OutputOdd; }

// Columns a scalar task gathers at once.
constexpr std::int32_t kScalarPanel = 8;

std::size_t roundUp16(std::size_t floats) { return (floats + 15) / 16 * 16; }

// The unpacking factors of real rows of W = 2n samples: (cos, -sin)(2 pi (i - 1) / W)
// for steps i = 2 .. (n + 1)/2.
std::vector<float> unpackFactors(std::int32_t n) {
  std::vector<float> f;
  for (std::int32_t i = 2; i <= (n + 1) / 2; ++i) {
    double c = 0.0, s = 0.0;
    cosSinTwoPi(i - 1, 2 * static_cast<std::int64_t>(n), c, s);
    f.push_back(static_cast<float>(c));
    f.push_back(static_cast<float>(-s + 0.0));
  }
  return f;
}

// Row r of a W x H array.
const float* arrayRow(const float* data, std::int32_t width, std::int32_t r) {
  return data + 2 * static_cast<std::ptrdiff_t>(width) * r;
}

class AnySteps {
public:
  // All working memory first, before the data is touched.
  AnySteps(const LaneKernels* kernels, const float* source, float* const* destination,
           std::int32_t width, std::int32_t height, bool inverse, AnyKind kind, long bands,
           const RowSink* sink = nullptr, bool symmetric = false)
      : sink_(sink), symmetric_(symmetric), kernels_(kernels), source_(source),
        destination_(destination), width_(width), height_(height), inverse_(inverse), kind_(kind),
        rowLength_(kind == AnyKind::RealEven || kind == AnyKind::OutputEven ? width / 2 : width),
        columns_(kind == AnyKind::Complex ? width : width / 2 + 1),
        rowPlan_(anyPlan(std::max(rowLength_, 1))), columnPlan_(anyPlan(height)),
        groups_(static_cast<std::size_t>(bands)), held_(static_cast<std::size_t>(bands), nullptr) {
    if (kind == AnyKind::RealEven) unpack_ = unpackFactors(rowLength_);
    if (kind == AnyKind::OutputEven) unpack_ = packFactors(rowLength_);
    std::size_t work = 0;
    if (kernels_ != nullptr) {
      work = std::max(kernels_->anyWorkFloats(*rowPlan_), kernels_->anyWorkFloats(*columnPlan_));
      // A row of the real-input rows' n + 1 unpacked values at least, or a whole row of
      // the real-output engine's W values.
      dummyFloats_ =
          roundUp16(2 * static_cast<std::size_t>(realOutput(kind) ? width : rowLength_) + 2);
    } else {
      // A row's scratch, after the pair of real rows taken as one complex row.
      work = std::max(
          2 * (rowPlan_->scratchValues() + static_cast<std::size_t>(width)),
          2 * (kScalarPanel * static_cast<std::size_t>(height) + columnPlan_->scratchValues()));
    }
    stride_ = roundUp16(work) + dummyFloats_;
    memory_.reset(stride_ * static_cast<std::size_t>(bands), BlockFill::Any);
    for (long band = 0; band < bands; ++band)
      std::memset(dummy(band), 0, dummyFloats_ * sizeof(float));
  }

  // Rows of odd real samples go in pairs, 2j with 2j + 1, taken as one complex row (the
  // parts of a band start at even rows, so a pair never straddles two); a last row of an
  // odd height goes alone, with zeros as its partner.
  void row(long band, std::int32_t r) {
    // The real-output engine's rows hold its columns' results already.
    if (!realOutput(kind_)) skipRow(band, r);
    float* row = destination_[r];
    if ((kind_ == AnyKind::RealOdd || kind_ == AnyKind::OutputOdd) && kernels_ == nullptr) {
      float*& held = held_[static_cast<std::size_t>(band)];
      if (r % 2 == 0 && r + 1 < height_) {
        held = row;
      } else if (r % 2 == 0) {
        pair(row, nullptr, work(band));
        handOver(r, row);
      } else {
        pair(held, row, work(band));
        handOver(r - 1, held);
        handOver(r, row);
        held = nullptr;
      }
      return;
    }
    if (kind_ == AnyKind::OutputEven && kernels_ == nullptr) {
      outputRow(row, work(band));
      handOver(r, row);
      return;
    }
    if (kernels_ == nullptr) {
      if (inverse_) negateImaginary(row, rowLength_);
      anyTransformRow(row, *rowPlan_, work(band));
      if (inverse_) negateImaginary(row, rowLength_);
      if (kind_ == AnyKind::RealEven) unpackRealRow(row, rowLength_, unpack_.data());
      return;
    }
    Group& g = groups_[static_cast<std::size_t>(band)];
    g.index[g.filled] = r;
    g.rows[g.filled++] = row;
    if (g.filled == groupSize()) run(band, g);
  }
  // A row outside the kept band is copied where the result goes.
  void skipRow(long, std::int32_t r) {
    const float* from = source_ + 2 * static_cast<std::ptrdiff_t>(width_) * r;
    if (from != destination_[r])
      std::memcpy(destination_[r], from, 2 * static_cast<std::size_t>(width_) * sizeof(float));
  }
  void endRows(long band) {
    if (kernels_ == nullptr) return;
    Group& g = groups_[static_cast<std::size_t>(band)];
    if (g.filled == 0) return;
    // The dummy row stands in for missing rows, and for the partner of a lone last row,
    // whose samples must then be zeros: earlier groups may have written into it.
    std::memset(dummy(band), 0, dummyFloats_ * sizeof(float));
    for (std::int32_t k = g.filled; k < groupSize(); ++k) {
      g.rows[k] = dummy(band);
      g.index[k] = -1;
    }
    run(band, g);
  }
  void transpose() {}

  long columnUnits() const {
    const std::int32_t unit = columnUnitWidth();
    return (columns_ + unit - 1) / unit;
  }
  ColumnUnit columnUnit(long u) const {
    const std::int32_t unit = columnUnitWidth();
    const auto c0 = static_cast<std::int32_t>(u * unit);
    return ColumnUnit{c0, std::min(unit, columns_ - c0)};
  }
  void columns(long band, ColumnUnit unit) {
    if (realOutput(kind_)) return hermitianColumns(band, unit);
    // The real-input engine completes its spectrum here, while the unit's results are at
    // hand: each mirror column belongs to no unit, so tasks never share one.
    const std::int32_t mirror = kind_ == AnyKind::Complex ? 0 : width_;
    if (kernels_ != nullptr) {
      kernels_->anyColumns(destination_, unit.c0, unit.count, mirror, *columnPlan_, inverse_,
                           work(band));
      return;
    }
    // The columns gathered into rows of their own, transformed one by one, put back.
    const std::size_t column = 2 * static_cast<std::size_t>(height_);
    float* panel = work(band);
    float* scratch = panel + kScalarPanel * column;
    for (std::int32_t r = 0; r < height_; ++r) {
      const float* from = destination_[r] + 2 * unit.c0;
      for (std::int32_t k = 0; k < unit.count; ++k) {
        panel[k * column + 2 * r] = from[2 * k];
        panel[k * column + 2 * r + 1] = from[2 * k + 1];
      }
    }
    for (std::int32_t k = 0; k < unit.count; ++k) {
      float* c = panel + k * column;
      if (inverse_) negateImaginary(c, height_);
      anyTransformRow(c, *columnPlan_, scratch);
      if (inverse_) negateImaginary(c, height_);
    }
    for (std::int32_t r = 0; r < height_; ++r) {
      float* to = destination_[r] + 2 * unit.c0;
      float* mirrored = destination_[r == 0 ? 0 : height_ - r];
      for (std::int32_t k = 0; k < unit.count; ++k) {
        to[2 * k] = panel[k * column + 2 * r];
        to[2 * k + 1] = panel[k * column + 2 * r + 1];
        const std::int32_t c = unit.c0 + k;
        if (c >= 1 && 2 * c < mirror) {
          mirrored[2 * (mirror - c)] = to[2 * k];
          mirrored[2 * (mirror - c) + 1] = -to[2 * k + 1];
        }
      }
    }
  }
  void transposeBack() {}
  // The real-input spectrum is complete already (columns()).
  void complete() {}

private:
  struct Group {
    float* rows[2 * kMaxLanes];
    std::int32_t index[2 * kMaxLanes];  // the rows' numbers, -1 for the dummy row
    std::int32_t filled = 0;
  };
  std::int32_t columnUnitWidth() const {
    return kernels_ != nullptr ? kAnyColumnBlocks * kernels_->lanes : kScalarPanel;
  }
  // Rows per kernel call: two per lane for the pairs of odd real rows.
  std::int32_t groupSize() const {
    return kind_ == AnyKind::RealOdd || kind_ == AnyKind::OutputOdd ? 2 * kernels_->lanes
                                                                    : kernels_->lanes;
  }
  // A finished row of the real-output engine, to the caller's sink.
  void handOver(std::int32_t r, const float* row) const {
    if (sink_ != nullptr) (*sink_)(r, row);
  }
  void pair(float* a, float* b, float* work) const {
    if (kind_ == AnyKind::OutputOdd)
      outputPair(a, b, work);
    else
      transformPair(a, b, work);
  }
  // The real-output engine's columns 0 .. W/2 of the caller's spectrum: the Hermitian
  // part of their values, transformed (inverse) along the columns, into the rows of the
  // result. Their mirrors, columns W - c, lie beyond W/2 (or are the columns themselves,
  // read whole before anything is written), so the result may replace the spectrum.
  void hermitianColumns(long band, ColumnUnit unit) {
    if (kernels_ != nullptr) {
      kernels_->anyHermitianColumns(source_, destination_, unit.c0, unit.count, width_, symmetric_,
                                    *columnPlan_, work(band));
      return;
    }
    const std::size_t column = 2 * static_cast<std::size_t>(height_);
    float* panel = work(band);
    float* scratch = panel + kScalarPanel * column;
    for (std::int32_t r = 0; r < height_; ++r) {
      const float* from = arrayRow(source_, width_, r);
      const float* mirror = arrayRow(source_, width_, r == 0 ? 0 : height_ - r);
      for (std::int32_t k = 0; k < unit.count; ++k) {
        const std::int32_t c = unit.c0 + k;
        const std::int32_t m = c == 0 ? 0 : width_ - c;
        float re = from[2 * c];
        float im = from[2 * c + 1];
        if (symmetric_ && c >= 1 && 2 * c < width_)
          hermitianPart(re, im, re, -im);
        else
          hermitianPart(re, im, mirror[2 * m], mirror[2 * m + 1]);
        panel[k * column + 2 * r] = re;
        panel[k * column + 2 * r + 1] = im;
      }
    }
    for (std::int32_t k = 0; k < unit.count; ++k) {
      float* c = panel + k * column;
      negateImaginary(c, height_);
      anyTransformRow(c, *columnPlan_, scratch);
      negateImaginary(c, height_);
    }
    for (std::int32_t r = 0; r < height_; ++r) {
      float* to = destination_[r] + 2 * unit.c0;
      for (std::int32_t k = 0; k < unit.count; ++k) {
        to[2 * k] = panel[k * column + 2 * r];
        to[2 * k + 1] = panel[k * column + 2 * r + 1];
      }
    }
  }
  // A real-output row of W = 2n samples from its half spectrum (values 0 .. n): the
  // n-point transform Z packed in place, its inverse, whose values are the samples
  // 2j and 2j + 1, then the samples spread out as values (sample, 0) of the row.
  void outputRow(float* row, float* scratch) const {
    const std::int32_t n = rowLength_;
    packOutputRow(row, n, unpack_.data());
    negateImaginary(row, n);
    anyTransformRow(row, *rowPlan_, scratch);
    negateImaginary(row, n);
    spreadOutputRow(row, n);
  }
  // Two real-output rows of an odd width W from their half spectra (values 0 ..
  // (W - 1)/2) a and b (null: zeros): one complex row a + i b of W values, its inverse,
  // whose real and imaginary parts are the two rows' samples.
  void outputPair(float* a, float* b, float* work) const {
    const std::int32_t n = width_;
    float* z = work;
    const float none[2] = {0.0f, 0.0f};
    z[0] = a[0];
    z[1] = b != nullptr ? b[0] : 0.0f;
    for (std::int32_t k = 1; k <= (n - 1) / 2; ++k) {
      const float* bk = b != nullptr ? b + 2 * k : none;
      joinPair(a[2 * k], a[2 * k + 1], bk[0], bk[1], z[2 * k], z[2 * k + 1], z[2 * (n - k)],
               z[2 * (n - k) + 1]);
    }
    negateImaginary(z, n);
    anyTransformRow(z, *rowPlan_, z + 2 * n);
    negateImaginary(z, n);
    for (std::int32_t x = 0; x < n; ++x) {
      a[2 * x] = z[2 * x];
      a[2 * x + 1] = 0.0f;
      if (b == nullptr) continue;
      b[2 * x] = z[2 * x + 1];
      b[2 * x + 1] = 0.0f;
    }
  }
  // The scalar path's pair: rows a and b (null: zeros) as one complex row a + i b,
  // transformed and separated into values 0 .. (W - 1)/2 of each.
  void transformPair(float* a, float* b, float* work) const {
    const std::int32_t n = width_;
    float* z = work;
    for (std::int32_t i = 0; i < n; ++i) {
      z[2 * i] = a[i];
      z[2 * i + 1] = b != nullptr ? b[i] : 0.0f;
    }
    anyTransformRow(z, *rowPlan_, z + 2 * n);
    float spare[2] = {};
    for (std::int32_t k = 0; k < (n + 1) / 2; ++k) {
      const std::int32_t m = k == 0 ? 0 : n - k;
      float* second = b != nullptr ? b + 2 * k : spare;
      separatePair(z[2 * k], z[2 * k + 1], z[2 * m], z[2 * m + 1], a[2 * k], a[2 * k + 1],
                   second[0], second[1]);
    }
  }
  float* work(long band) const { return memory_.data() + stride_ * static_cast<std::size_t>(band); }
  float* dummy(long band) const { return work(band) + stride_ - dummyFloats_; }
  // The rows of a group in place (their sources were copied there first).
  void run(long band, Group& g) {
    if (kind_ == AnyKind::RealEven)
      kernels_->anyRealRows(g.rows, *rowPlan_, unpack_.data(), work(band));
    else if (kind_ == AnyKind::RealOdd)
      kernels_->anyRealPairs(g.rows, *rowPlan_, work(band));
    else if (kind_ == AnyKind::OutputEven)
      kernels_->anyOutputRows(g.rows, *rowPlan_, unpack_.data(), work(band));
    else if (kind_ == AnyKind::OutputOdd)
      kernels_->anyOutputPairs(g.rows, *rowPlan_, work(band));
    else
      kernels_->anyRows(g.rows, g.rows, *rowPlan_, inverse_, work(band));
    if (sink_ != nullptr) {
      for (std::int32_t k = 0; k < groupSize(); ++k)
        if (g.index[k] >= 0) (*sink_)(g.index[k], g.rows[k]);
    }
    g.filled = 0;
  }

  const RowSink* sink_;
  bool symmetric_;  // the real-output engine's spectrum is known to be conjugate-symmetric
  const LaneKernels* kernels_;
  const float* source_;
  float* const* destination_;
  std::int32_t width_;
  std::int32_t height_;
  bool inverse_;
  AnyKind kind_;
  std::int32_t rowLength_;
  std::int32_t columns_;
  std::shared_ptr<const AnyPlan> rowPlan_;
  std::shared_ptr<const AnyPlan> columnPlan_;
  std::vector<Group> groups_;
  std::vector<float*> held_;   // per band: the first row of a pair, waiting for the second
  std::vector<float> unpack_;  // the unpacking (or packing) factors of the even widths
  std::size_t dummyFloats_ = 0;
  std::size_t stride_ = 0;
  FloatBlock memory_;
};

PassSchedule scheduleOf(AnyKind kind, std::int32_t width, std::int32_t height, long miny,
                        long maxy) {
  if (kind == AnyKind::Complex) return PassSchedule::complex(width, height, miny, maxy);
  if (realOutput(kind)) return PassSchedule::realOutput(width, height);
  return PassSchedule::real(width, height);
}

// The kind of a real engine at a width of the other parity.
AnyKind kindAt(AnyKind kind, std::int32_t width) {
  if (kind == AnyKind::RealEven || kind == AnyKind::RealOdd)
    return width % 2 == 0 ? AnyKind::RealEven : AnyKind::RealOdd;
  if (realOutput(kind)) return width % 2 == 0 ? AnyKind::OutputEven : AnyKind::OutputOdd;
  return kind;
}

// The lane kernels of an engine call: none for a single row or column (no second
// dimension to spread over the lanes); otherwise the planner's choice, which trials of
// this engine at the planning size decide (a copy of `input`, or a fixed pattern).
const LaneKernels* anyLanes(vxEngine engine, AnyKind kind, const float* input, std::int32_t width,
                            std::int32_t height, bool inverse) {
  if (width < 2 || height < 2 || activeLaneKernels() == nullptr) return nullptr;
  return plannedOnCopy(
      engine, width, height, input,
      [&](const LaneKernels& kernels, float* copy, std::int32_t w, std::int32_t h) {
        std::vector<float*> rows(static_cast<std::size_t>(h));
        for (std::int32_t r = 0; r < h; ++r) rows[r] = rowAt(copy, w, r);
        const AnyKind at = kindAt(kind, w);
        const long bands = engineBands(w, h);
        AnySteps steps(&kernels, copy, rows.data(), w, h, inverse, at, bands);
        runPasses(scheduleOf(at, w, h, 0, h), bands, steps);
      },
      true);
}

}  // namespace

// The packing factors of real-output rows of W = 2n samples: (cos, sin)(2 pi k / W) for
// k = 1 .. (n - 1)/2.
std::vector<float> packFactors(std::int32_t n) {
  std::vector<float> f;
  for (std::int32_t k = 1; k <= (n - 1) / 2; ++k) {
    double c = 0.0, s = 0.0;
    cosSinTwoPi(k, 2 * static_cast<std::int64_t>(n), c, s);
    f.push_back(static_cast<float>(c));
    f.push_back(static_cast<float>(s));
  }
  return f;
}

void packOutputRow(float* row, std::int32_t n, const float* factors) {
  packOutputValues(row, n, factors);
}

void spreadOutputRow(float* row, std::int32_t n) {
  for (std::int32_t x = 2 * n - 1; x >= 0; --x) {
    row[2 * x] = row[x];
    row[2 * x + 1] = 0.0f;
  }
}

bool anySizeEngine(std::int32_t width, std::int32_t height) {
  return !isPowerOfTwo(width) || !isPowerOfTwo(height);
}

void anyComplexFFT2D(const float* source, float* const* destination, std::int32_t width,
                     std::int32_t height, bool inverse, long miny, long maxy) {
  const long bands = engineBands(width, height);
  const LaneKernels* lanes = anyLanes(inverse ? vxEngine::ComplexInverse : vxEngine::ComplexForward,
                                      AnyKind::Complex, source, width, height, inverse);
  AnySteps steps(lanes, source, destination, width, height, inverse, AnyKind::Complex, bands);
  runPasses(PassSchedule::complex(width, height, miny, maxy), bands, steps);
}

void anyRealFFT2D(float* data, std::int32_t width, std::int32_t height) {
  const long bands = engineBands(width, height);
  std::vector<float*> rows(static_cast<std::size_t>(height));
  for (std::int32_t r = 0; r < height; ++r) rows[r] = rowAt(data, width, r);
  const AnyKind kind = width % 2 == 0 ? AnyKind::RealEven : AnyKind::RealOdd;
  const LaneKernels* lanes = anyLanes(vxEngine::RealForward, kind, data, width, height, false);
  AnySteps steps(lanes, data, rows.data(), width, height, false, kind, bands);
  runPasses(PassSchedule::real(width, height), bands, steps);
}

void anyRealOutputFFT2D(const float* source, float* const* destination, std::int32_t width,
                        std::int32_t height, const RowSink* sink, bool symmetric) {
  if (width >= 4 && height >= 2 && !anySizeEngine(width, height)) {
    pow2RealOutputFFT2D(source, destination, width, height, sink, symmetric);
    return;
  }
  const long bands = engineBands(width, height);
  const AnyKind kind = width % 2 == 0 ? AnyKind::OutputEven : AnyKind::OutputOdd;
  const LaneKernels* lanes = anyLanes(vxEngine::RealInverse, kind, source, width, height, true);
  AnySteps steps(lanes, source, destination, width, height, true, kind, bands, sink, symmetric);
  runPasses(PassSchedule::realOutput(width, height), bands, steps);
}

}  // namespace vx_detail
