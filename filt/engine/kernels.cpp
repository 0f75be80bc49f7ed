#include "filt/engine/kernels.h"

#include "filt/engine/arith.h"

#include <cmath>
#include <cstddef>

namespace vx_detail {

TwiddleTable makeTwiddleTable() {
  const double twoPi = 6.283185307179586;
  TwiddleTable table{};
  for (int k = 0; k < TwiddleTable::kLevels; ++k) {
    const double a = twoPi / static_cast<double>(std::int32_t{1} << k);
    const double a3 = a * 3.0;
    table.v[4 * k + 0] = static_cast<float>(std::cos(a));
    table.v[4 * k + 1] = static_cast<float>(std::sin(a));
    table.v[4 * k + 2] = static_cast<float>(std::cos(a3));
    table.v[4 * k + 3] = static_cast<float>(std::sin(a3));
  }
  return table;
}

void buildSwapTable(std::int32_t* table, std::int32_t n) {
  // j runs through the bit-reversed partners of i, both 1-based.
  std::int32_t j = 1;
  for (std::int32_t i = 1; i <= n - 1; ++i) {
    if (i < j) {
      table[i] = 2 * j;
      table[j] = -1;
    } else if (i == j) {
      table[i] = -1;
    }
    std::int32_t m = n / 2;
    while (m < j) {
      j -= m;
      m /= 2;
    }
    j += m;
  }
}

void negateImaginary(float* row, std::int32_t n) {
  for (std::int32_t p = 0; p < n; ++p) row[2 * p + 1] = -row[2 * p + 1];
}

void splitRadixStages(float* row, std::int32_t n, const EngineTables& tables) {
  const int stages = log2Exact(n) - 1;
  std::int32_t l = 2 * n;
  for (int stage = 0; stage < stages; ++stage) {
    l /= 2;
    const std::int32_t q = l / 4;
    const float* level = tables.twiddles() + tables.levelOffset()[log2Exact(l)];
    for (std::int32_t j = 1; j <= q; ++j) {
      const float wr1 = level[4 * (j - 1)];
      const float wi1 = level[4 * (j - 1) + 1];
      const float wr3 = level[4 * (j - 1) + 2];
      const float wi3 = level[4 * (j - 1) + 3];
      std::int32_t is = j;
      std::int32_t id = 2 * l;
      while (is < n) {
        for (std::int32_t i0 = is; i0 < n; i0 += id) {
          float* v0 = row + 2 * (i0 - 1);
          float* v1 = v0 + 2 * q;
          float* v2 = v1 + 2 * q;
          float* v3 = v2 + 2 * q;

          splitRadixButterfly(v0[0], v0[1], v1[0], v1[1], v2[0], v2[1], v3[0], v3[1], wr1, wi1, wr3,
                              wi3);
        }
        is = 2 * id - l + j;
        id = 4 * id;
      }
    }
  }
}

void lengthTwoButterflies(float* row, std::int32_t n) {
  std::int32_t is = 1;
  std::int32_t id = 4;
  while (is < n) {
    // is is odd and id a multiple of 4, so i0 stays odd and i0 + 1 <= n.
    for (std::int32_t i0 = is; i0 <= n; i0 += id) {
      float* a = row + 2 * (i0 - 1);
      float* b = a + 2;
      lengthTwoButterfly(a[0], a[1], b[0], b[1]);
    }
    is = 2 * id - 1;
    id = 4 * id;
  }
}

void bitReverse(float* row, std::int32_t n, const std::int32_t* swapTable) {
  for (std::int32_t i = n - 2; i >= 1; --i) {
    const std::int32_t entry = swapTable[i];
    if (entry < 0) continue;
    swapComplex(row + 2 * (i - 1), row + 2 * (entry / 2 - 1));
  }
}

void transformRow(float* row, std::int32_t n, bool inverse, const EngineTables& tables,
                  const std::int32_t* swapTable) {
  if (n < 2) return;
  if (inverse) negateImaginary(row, n);
  splitRadixStages(row, n, tables);
  lengthTwoButterflies(row, n);
  bitReverse(row, n, swapTable);
  if (inverse) negateImaginary(row, n);
}

RealUnpackFactors makeRealUnpackFactors(std::int32_t n) {
  const double pi = 3.141592653589793;
  const float theta = static_cast<float>(pi / static_cast<double>(n));
  const float s = std::sin(theta * 0.5f);
  RealUnpackFactors f{};
  f.c1 = 0.5f;
  f.c2 = -0.5f;
  f.wpr = (s * -2.0f) * s;
  f.wpi = -std::sin(theta);
  return f;
}

void unpackRealRow(float* row, std::int32_t n, const EngineTables& tables) {
  unpackRealRow(row, n, tables.unpack());
}

void unpackRealRow(float* row, std::int32_t n, const float* factors) {
  const float c1 = 0.5f;
  const float c2 = -0.5f;
  // d(p) is the float at 1-based position p of the row.
  auto d = [row](std::int32_t p) -> float& { return row[p - 1]; };

  // The pairs a < b; an odd n has no middle value, an even one leaves value n/2 alone.
  for (std::int32_t i = 2; i <= (n + 1) / 2; ++i) {
    const float wr = factors[2 * (i - 2)];
    const float wi = factors[2 * (i - 2) + 1];
    // i1, i2: value i - 1; i3, i4: its mirror, value n - i + 1.
    const std::int32_t i1 = 2 * i - 1;
    const std::int32_t i2 = i1 + 1;
    const std::int32_t i3 = 2 * n + 3 - i2;
    const std::int32_t i4 = i3 + 1;

    unpackPair(d(i1), d(i2), d(i3), d(i4), wr, wi, c1, c2, d(i1), d(i2), d(i3), d(i4));
  }

  // The imaginary part of value n/2 of an even n. (For n = 1 nothing: the real part of
  // value 1 is written just below.)
  if (n % 2 == 0) row[n + 1] = -row[n + 1];

  const float d0 = row[0];
  const float d1 = row[1];
  unpackEnds(d0, d1, row[0], row[2 * n]);
  row[1] = 0.0f;
  row[2 * n + 1] = 0.0f;
}

ColumnGather::ColumnGather(std::int32_t n, long bands)
    : n_(n), panels_(2 * static_cast<std::size_t>(n) * kPanel * static_cast<std::size_t>(bands)) {}

void ColumnGather::transform(float* const* rows, long band, ColumnUnit unit, bool inverse,
                             const EngineTables& tables, const std::int32_t* swapTable) {
  const std::size_t column = 2 * static_cast<std::size_t>(n_);
  float* panel = panels_.data() + column * kPanel * static_cast<std::size_t>(band);
  const std::int32_t c0 = unit.c0;
  for (std::int32_t r = 0; r < n_; ++r) {
    const float* from = rows[r] + 2 * c0;
    for (std::int32_t k = 0; k < unit.count; ++k) {
      panel[k * column + 2 * r] = from[2 * k];
      panel[k * column + 2 * r + 1] = from[2 * k + 1];
    }
  }
  for (std::int32_t k = 0; k < unit.count; ++k)
    transformRow(panel + k * column, n_, inverse, tables, swapTable);
  for (std::int32_t r = 0; r < n_; ++r) {
    float* to = rows[r] + 2 * c0;
    for (std::int32_t k = 0; k < unit.count; ++k) {
      to[2 * k] = panel[k * column + 2 * r];
      to[2 * k + 1] = panel[k * column + 2 * r + 1];
    }
  }
}

void completeConjugateHalf(float* data, std::int32_t width, std::int32_t height) {
  // Columns 1 .. (W - 1)/2 are the mirrors of the others (W/2 itself is its own when W
  // is even).
  const std::int32_t half = (width + 1) / 2;
  for (std::int32_t v = 0; v < height; ++v) {
    const std::int32_t mirrorRow = (v == 0) ? 0 : height - v;
    float* dst = data + 2 * static_cast<std::ptrdiff_t>(width) * v;
    const float* src = data + 2 * static_cast<std::ptrdiff_t>(width) * mirrorRow;
    for (std::int32_t u = 1; u < half; ++u) {
      dst[2 * (width - u)] = src[2 * u];
      dst[2 * (width - u) + 1] = -src[2 * u + 1];
    }
  }
}

}  // namespace vx_detail
