#include "filt/engine/plan.h"

#include "filt/common/limits.h"
#include "filt/engine/kernels.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace vx_detail {
namespace {

constexpr std::size_t kAlignFloats = 16;  // 64 bytes

std::size_t roundUp(std::size_t count) {
  return (count + kAlignFloats - 1) / kAlignFloats * kAlignFloats;
}

}  // namespace

void buildBitReversal(std::int32_t* reverse, std::int32_t n) {
  const int bits = log2Exact(n);
  for (std::int32_t i = 0; i < n; ++i) {
    std::int32_t r = 0;
    for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
    reverse[i] = r;
  }
}

std::int32_t firstPanelColumns(const float* row0, std::int32_t panel) {
  constexpr std::int32_t kLineColumns = 64 / (2 * sizeof(float));  // complex values per line
  const auto address = reinterpret_cast<std::uintptr_t>(row0);
  // Columns that never start on a boundary, or panels narrower than a line: nothing to gain.
  if (address % (2 * sizeof(float)) != 0 || panel % kLineColumns != 0) return panel;
  const auto toBoundary =
      static_cast<std::int32_t>(((64 - (address & 63)) & 63) / (2 * sizeof(float)));
  // The columns up to the first boundary and as many whole lines as still fit.
  return toBoundary == 0 ? panel : toBoundary + panel - kLineColumns;
}

// The row pass has H rows of W elements, each visited about log2 W times.
long engineBands(std::int32_t width, std::int32_t height) {
  return workSlots(height, static_cast<long>(width) * std::max(1, log2Exact(width)),
                   static_cast<long>(width) * height);
}

LanePlan::LanePlan(const LaneKernels& kernels, std::int32_t rowLength, std::int32_t columnLength,
                   bool realUnpack, bool accurate, long bands)
    : engineTables_(log2Exact(std::max(rowLength, columnLength)), realUnpack ? rowLength : 0,
                    accurate),
      tables_(), bands_(bands < 1 ? 1 : bands) {
  const std::size_t workCount =
      roundUp(std::max(kernels.workFloats(rowLength), kernels.workFloats(columnLength)));
  // The longest row a kernel touches: 2W floats (complex rows), W + 2 floats (unpacked
  // real rows, W = 2 rowLength) or 2W floats (the real-output rows' W values, W = 2
  // rowLength).
  const std::size_t dummyCount = roundUp(4 * static_cast<std::size_t>(rowLength) + 2);
  bandStride_ = workCount + dummyCount;
  floats_.reset(bandStride_ * static_cast<std::size_t>(bands_), BlockFill::Any);
  ints_.reset(new std::int32_t[static_cast<std::size_t>(rowLength) + columnLength]);
  rowTable_.reset(new float*[static_cast<std::size_t>(columnLength)]);

  work_ = floats_.data();
  dummy_ = work_ + workCount;
  for (long band = 0; band < bands_; ++band)
    std::memset(dummyRow(band), 0, dummyCount * sizeof(float));

  tables_.twiddles = engineTables_.twiddles();
  for (int k = 0; k < EngineTables::kLevels; ++k)
    tables_.levelOffset[k] = engineTables_.levelOffset()[k];

  std::int32_t* reverseRows = ints_.get();
  std::int32_t* reverseColumns = reverseRows + rowLength;
  buildBitReversal(reverseRows, rowLength);
  buildBitReversal(reverseColumns, columnLength);
  tables_.reverseRows = reverseRows;
  tables_.reverseColumns = reverseColumns;

  tables_.unpack = engineTables_.unpack();
  tables_.c1 = 0.5f;
  tables_.c2 = -0.5f;
}

}  // namespace vx_detail
