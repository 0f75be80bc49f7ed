// Working memory and tables of one call of an engine on a vector path (internal).
#ifndef VXFREQ_FILT_ENGINE_PLAN_H
#define VXFREQ_FILT_ENGINE_PLAN_H

#include "filt/engine_dispatch.h"
#include "filt/parallel_rows.h"
#include "platform/attention.h"

#include <cstdint>
#include <memory>

namespace vx_detail {

// Everything the lane kernels of one engine call read or scribble on, allocated
// once when the call starts (before the data is touched) and released with the
// object on every exit: the twiddle and bit-reversal tables, the unpacking factors
// of the real-input engine, the kernels' work memory and a zero row that stands in
// for missing lanes.
class LanePlan {
public:
  // `rowLength` and `columnLength` are the complex lengths of the first and the
  // second pass (the real-input engine's first pass has rowLength = W/2); with
  // `realUnpack` the unpacking factors for rowLength are built as well.
  // `bands` tasks may run at once (engineBands), each with its own work memory and
  // zero row.
  LanePlan(const LaneKernels& kernels, std::int32_t rowLength, std::int32_t columnLength,
           bool realUnpack, long bands = 1);
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
  std::unique_ptr<float[]> floats_;
  std::unique_ptr<std::int32_t[]> ints_;
  std::unique_ptr<float*[]> rowTable_;
  LaneTables tables_;
  long bands_;
  std::size_t bandStride_;
  float* work_;
  float* dummy_;
};

// How many tasks an engine call of `width` x `height` values splits its passes into:
// two per thread of the calling thread's parallel scope when the array is large
// enough, else 1.
long engineBands(std::int32_t width, std::int32_t height);

// The number of columns of the first panel of a column pass over rows that start
// at `row0`: at most `panel`, chosen so that every later panel starts on a 64-byte
// boundary and each of its rows covers whole cache lines.
std::int32_t firstPanelColumns(const float* row0, std::int32_t panel);

// Runs f(band, c0, count) over the panels that cover columns 0 .. columns - 1: the
// first one as firstPanelColumns gives it, the others `panel` wide, split into
// `bands` tasks of consecutive panels (splitRowBands). Before each panel come the
// attention checks of its columns that are multiples of 16, the checks the scalar
// pass makes at those columns' rows of the transposed array.
template <class F>
void forEachColumnPanel(const float* row0, std::int32_t columns, std::int32_t panel, long bands, F f) {
  const std::int32_t first = firstPanelColumns(row0, panel);
  const long panels = columns <= first ? 1 : 1 + (columns - first + panel - 1) / panel;
  splitRowBands(panels, bands < panels ? bands : panels, [&](long band, long p0, long p1) {
    for (long p = p0; p < p1; ++p) {
      const std::int32_t c0 = p == 0 ? 0 : first + static_cast<std::int32_t>(p - 1) * panel;
      const std::int32_t wide = p == 0 ? first : panel;
      const std::int32_t count = wide < columns - c0 ? wide : columns - c0;
      for (std::int32_t c = c0; c < c0 + count; ++c)
        if (c % 16 == 0) vfThrowExceptionOnFailure(vsys_attention_check());
      f(band, c0, count);
    }
  });
}

// The bit reversal of log2(n) bits for i = 0 .. n-1 (n a power of two), the
// permutation the scalar swap table performs.
void buildBitReversal(std::int32_t* reverse, std::int32_t n);

}  // namespace vx_detail

#endif
