// Working memory and tables of one call of an engine on a vector path (internal).
#ifndef VXFREQ_FILT_ENGINE_PLAN_H
#define VXFREQ_FILT_ENGINE_PLAN_H

#include "filt/engine/lane_kernels.h"
#include "filt/engine/schedule.h"
#include "filt/engine/twiddles.h"
#include "platform/memory.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vx_detail {

// Row r of an array of rows of `length` complex values.
inline float* rowAt(float* array, std::int32_t length, std::int32_t r) {
  return array + 2 * static_cast<std::ptrdiff_t>(length) * r;
}

// Everything the lane kernels of one engine call read or scribble on, allocated
// once when the call starts (before the data is touched) and released with the
// object on every exit: the twiddle and bit-reversal tables, the unpacking factors
// of the real-input engine, the kernels' work memory and a zero row that stands in
// for missing lanes.
class LanePlan {
public:
  // `rowLength` and `columnLength` are the complex lengths of the first and the
  // second pass (the real-input engine's first pass has rowLength = W/2); with
  // `realUnpack` the unpacking factors for rowLength are built as well; `accurate`
  // takes the extended mode's factors (twiddles.h). `bands` tasks may run at once
  // (engineBands), each with its own work memory and zero row.
  LanePlan(const LaneKernels& kernels, std::int32_t rowLength, std::int32_t columnLength,
           bool realUnpack, bool accurate, long bands = 1);
  LanePlan(const LanePlan&) = delete;
  LanePlan& operator=(const LanePlan&) = delete;

  const LaneTables& tables() const { return tables_; }
  long bands() const { return bands_; }
  float* work(long band = 0) const { return work_ + band * bandStride_; }
  // A row of zeros, long enough for any row the kernels read or write; its
  // contents after a kernel wrote into it are of no interest.
  float* dummyRow(long band = 0) const { return dummy_ + band * bandStride_; }
  // Room for the addresses of the columnLength rows of the second pass.
  float** rowTable() const { return rowTable_.get(); }

private:
  EngineTables engineTables_;
  FloatBlock floats_;
  std::unique_ptr<std::int32_t[]> ints_;
  std::unique_ptr<float*[]> rowTable_;
  LaneTables tables_;
  long bands_;
  std::size_t bandStride_;
  float* work_;
  float* dummy_;
};

// How many slots (threads at once, each with its own working memory) an engine call of
// `width` x `height` values runs its passes on (workSlots).
long engineBands(std::int32_t width, std::int32_t height);

// The number of columns of the first panel of a column pass over rows that start
// at `row0`: at most `panel`, chosen so that every later panel starts on a 64-byte
// boundary and each of its rows covers whole cache lines.
std::int32_t firstPanelColumns(const float* row0, std::int32_t panel);

// The panels of a column pass over columns 0 .. columns - 1 of rows that start at
// `row0`: the first one as wide as firstPanelColumns gives, the others `panel` wide
// (the last one what is left).
class ColumnPanels {
public:
  ColumnPanels(const float* row0, std::int32_t columns, std::int32_t panel)
      : columns_(columns), panel_(panel), first_(firstPanelColumns(row0, panel)) {}
  long count() const {
    return columns_ <= first_ ? 1 : 1 + (columns_ - first_ + panel_ - 1) / panel_;
  }
  ColumnUnit unit(long p) const {
    const std::int32_t c0 = p == 0 ? 0 : first_ + static_cast<std::int32_t>(p - 1) * panel_;
    const std::int32_t wide = p == 0 ? first_ : panel_;
    return ColumnUnit{c0, wide < columns_ - c0 ? wide : columns_ - c0};
  }

private:
  std::int32_t columns_;
  std::int32_t panel_;
  std::int32_t first_;
};

// The bit reversal of log2(n) bits for i = 0 .. n-1 (n a power of two), the
// permutation the scalar swap table performs.
void buildBitReversal(std::int32_t* reverse, std::int32_t n);

}  // namespace vx_detail

#endif
