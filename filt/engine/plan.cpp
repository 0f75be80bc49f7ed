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

// Floats of the per-level twiddle tables for rows of up to 2^maxLevel values.
std::size_t twiddleFloats(int maxLevel) {
  std::size_t total = 0;
  for (int k = 2; k <= maxLevel; ++k) total += std::size_t{1} << k;  // L/4 quadruples
  return total;
}

// The twiddle factors of each level's stage, j = 1 .. L/4, advanced exactly as in
// splitRadixStages, by the same recurrence.
void buildLevelTwiddles(float* out, std::int32_t* levelOffset, int maxLevel) {
  const TwiddleTable table = makeTwiddleTable();
  std::int32_t offset = 0;
  for (int k = 0; k < TwiddleTable::kLevels; ++k) levelOffset[k] = 0;
  for (int k = 2; k <= maxLevel; ++k) {
    levelOffset[k] = offset;
    const float c1 = table.v[4 * k + 0];
    const float s1 = table.v[4 * k + 1];
    const float c3 = table.v[4 * k + 2];
    const float s3 = table.v[4 * k + 3];
    float wr1 = 1.0f;
    float wi1 = 0.0f;
    float wr3 = 1.0f;
    float wi3 = 0.0f;
    const std::int32_t q = (std::int32_t{1} << k) / 4;
    for (std::int32_t j = 0; j < q; ++j) {
      float* w = out + offset + 4 * j;
      w[0] = wr1;
      w[1] = wi1;
      w[2] = wr3;
      w[3] = wi3;
      rotateTwiddle(wr1, wi1, c1, s1);
      rotateTwiddle(wr3, wi3, c3, s3);
    }
    offset += 4 * q;
  }
}

// The unpacking factors (wr, wi) of unpackRealRow for i = 2 .. n/2, advanced by the
// same float recurrence.
void buildUnpackFactors(float* out, std::int32_t n, const RealUnpackFactors& f) {
  float wr = f.wpr + 1.0f;
  float wi = f.wpi;
  for (std::int32_t i = 2; i <= n / 2; ++i) {
    out[2 * (i - 2)] = wr;
    out[2 * (i - 2) + 1] = wi;
    advanceUnpackFactors(wr, wi, f.wpr, f.wpi);
  }
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

// Two bands per thread: a thread that starts late or is slowed by the others still
// finds work left to share.
long engineBands(std::int32_t width, std::int32_t height) {
  const long threads = executorThreads();
  return rowBands(height, width) > 1 ? 2 * threads : 1;
}

LanePlan::LanePlan(const LaneKernels& kernels, std::int32_t rowLength, std::int32_t columnLength,
                   bool realUnpack, long bands)
    : tables_(), bands_(bands < 1 ? 1 : bands) {
  const std::int32_t longest = std::max(rowLength, columnLength);
  const int maxLevel = log2Exact(longest);

  const std::size_t twiddleCount = roundUp(twiddleFloats(maxLevel));
  const std::size_t unpackCount = roundUp(realUnpack ? static_cast<std::size_t>(rowLength) : 0);
  const std::size_t workCount =
      roundUp(std::max(kernels.workFloats(rowLength), kernels.workFloats(columnLength)));
  // The longest row a kernel touches: 2W floats (complex rows) or W + 2 floats
  // (unpacked real rows, W = 2 rowLength).
  const std::size_t dummyCount = roundUp(2 * static_cast<std::size_t>(rowLength) + 2);
  bandStride_ = workCount + dummyCount;
  floats_.reset(new float[twiddleCount + unpackCount +
                          bandStride_ * static_cast<std::size_t>(bands_) + kAlignFloats]);
  ints_.reset(new std::int32_t[static_cast<std::size_t>(rowLength) + columnLength]);
  rowTable_.reset(new float*[static_cast<std::size_t>(columnLength)]);

  float* base = alignUp(floats_.get(), 64);

  float* twiddles = base;
  float* unpack = twiddles + twiddleCount;
  work_ = unpack + unpackCount;
  dummy_ = work_ + workCount;
  for (long band = 0; band < bands_; ++band)
    std::memset(dummyRow(band), 0, dummyCount * sizeof(float));

  buildLevelTwiddles(twiddles, tables_.levelOffset, maxLevel);
  tables_.twiddles = twiddles;

  std::int32_t* reverseRows = ints_.get();
  std::int32_t* reverseColumns = reverseRows + rowLength;
  buildBitReversal(reverseRows, rowLength);
  buildBitReversal(reverseColumns, columnLength);
  tables_.reverseRows = reverseRows;
  tables_.reverseColumns = reverseColumns;

  tables_.unpack = unpack;
  if (realUnpack) {
    const RealUnpackFactors factors = makeRealUnpackFactors(rowLength);
    buildUnpackFactors(unpack, rowLength, factors);
    tables_.c1 = factors.c1;
    tables_.c2 = factors.c2;
  }
}

}  // namespace vx_detail
