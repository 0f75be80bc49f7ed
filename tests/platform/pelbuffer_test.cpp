// Pixel buffers: allocation and row alignment, windows sharing pixels, copies through
// the common frame (overlapping ones included) and filling.
#include "platform/pelbuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

// value(x, y) = base + 16 y + x.
template <class T>
void fillPattern(const vxPelBuffer<T>& b, int base) {
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x) b.at(x, y) = static_cast<T>(base + y * 16 + x);
}

}  // namespace

TEST(PelBuffer, ZeroedAlignedRowsWindowsAndBadSizes) {
  const vxPelBuffer<unsigned short> packed(5, 3,
                                           0);  // alignments below the pixel size pack the rows
  const vxPelBuffer<unsigned char> u8(5, 7, 32);
  const vxPelBuffer<double> d(3, 6, 32);
  const vxPelBuffer<unsigned short> u16(17, 4, 64);
  EXPECT_EQ(std::vector<long>({packed.stride(), u8.stride(), d.stride(), u16.stride()}),
            std::vector<long>({5, 32, 4, 32}));
  for (long y = 0; y < 4; ++y) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&d.at(0, y)) % 32, 0u) << y;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&u16.at(0, y)) % 64, 0u) << y;
    for (long x = 0; x < 3; ++x) EXPECT_EQ(packed.at(x, y % 3) + u8.at(x, y), 0);
  }
  EXPECT_EQ(vxPelBuffer<double>().pointToOffset(), nullptr);
  EXPECT_NE(vxPelBuffer<double>(0, 0, 16).pointToOffset(), nullptr);
  using U8 = vxPelBuffer<unsigned char>;
  EXPECT_THROW(U8(-1, 4, 0), std::invalid_argument);
  EXPECT_THROW(U8(4, 4, 24), std::invalid_argument);  // not a power of two
  const long big = std::numeric_limits<std::int32_t>::max();
  if (sizeof(long) > 4) {
    EXPECT_THROW(U8(1, big + 1, 0), std::invalid_argument);
  }
  EXPECT_EQ(U8(big, 0, 0).width() + U8(0, big, 0).height(),
            2 * big);  // the largest sizes, nothing to allocate
  EXPECT_THROW(vxPelBuffer<double>(big, big, 0), std::invalid_argument);  // before allocating
  EXPECT_THROW(vxPelBuffer<double>(big, 1, 1L << 30), std::invalid_argument);

  vxPelBuffer<unsigned char> b(8, 6, 16);
  b.offset(10, -4);
  vxPelBuffer<unsigned char> w(b, 2, 1, 4, 3), ww(w, 1, 1, 2, 2);  // offsets add up
  EXPECT_EQ(w.offset(), vxPair<long>(12, -3));
  EXPECT_EQ(ww.offset(), vxPair<long>(13, -2));
  ww.offset(0, 0);  // moving a window does not move its pixels
  EXPECT_EQ(&ww.at(1, 1), &b.at(4, 3));
  vxPelBuffer<unsigned char> alias = b;
  alias.at(3, 2) = 77;
  EXPECT_EQ(w.at(1, 1), 77);
  EXPECT_EQ(vxPelBuffer<unsigned char>(b, 8, 6, 0, 0).width(), 0);
  const long bad[][4] = {{-1, 0, 2, 2}, {0, -1, 2, 2}, {7, 0, 2, 2},
                         {0, 5, 2, 2},  {0, 0, -1, 1}, {0, 0, 9, 1}};
  for (const auto& r : bad)
    EXPECT_THROW(U8(b, r[0], r[1], r[2], r[3]), std::out_of_range) << r[0] << r[1] << r[2];
  EXPECT_THROW(U8(U8(), 0, 0, 0, 0), std::out_of_range);
  if (sizeof(long) > 4) {
    EXPECT_THROW(b.offset(1L << 31, 0), std::out_of_range);
  }
  b.offset(std::numeric_limits<std::int32_t>::max(), 0);
  EXPECT_THROW(U8(b, 1, 0, 1, 1), std::out_of_range);  // offset beyond 32 bits
}

TEST(PelCopy, CopiesTheOverlapInTheFrameAsIfThroughATemporary) {
  vxPelBuffer<unsigned short> src(4, 3, 0), dst(5, 5, 8);
  fillPattern(src, 100);
  vfPelSet(dst, static_cast<unsigned short>(9));
  dst.offset(2, 1);  // frame [2, 7) x [1, 6); src covers [0, 4) x [0, 3)
  vfPelCopy(src, dst);
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 5; ++x)
      EXPECT_EQ(dst.at(x, y), x + 2 < 4 && y + 1 < 3 ? 100 + (y + 1) * 16 + x + 2 : 9)
          << x << "," << y;
  vxPelBuffer<double> s(3, 3, 0), t(2, 2, 0), unbound;
  fillPattern(s, 0);
  s.offset(-2, -1);  // overlap with t: the column x = 0
  vfPelCopy(s, t);
  EXPECT_EQ(t.at(0, 0) * 10000 + t.at(0, 1) * 100 + t.at(1, 0) + t.at(1, 1), 180000 + 3400);
  vfPelSet(t, 3.5);
  t.offset(1, -1);  // touching, not overlapping
  vfPelCopy(s, t);
  vfPelCopy(unbound, t);
  vfPelCopy(s, unbound);
  EXPECT_EQ(t.at(0, 0) + t.at(1, 1), 7.0);
  // Windows of one buffer that read pixels they also write, in every direction.
  const long cases[][4] = {{0, 0, 1, 1}, {1, 1, 0, 0}, {0, 0, 1, 0},
                           {1, 0, 0, 0}, {0, 1, 2, 0}, {2, 0, 0, 1}};
  for (const auto& c : cases) {
    vxPelBuffer<unsigned char> b(9, 9, 4);
    fillPattern(b, 0);
    vxPelBuffer<unsigned char> from(b, c[0], c[1], 6, 6), to(b, c[2], c[3], 6, 6);
    from.offset(0, 0);
    to.offset(0, 0);
    vfPelCopy(from, to);
    for (long y = 0; y < 9; ++y)
      for (long x = 0; x < 9; ++x) {
        const bool written = x >= c[2] && x < c[2] + 6 && y >= c[3] && y < c[3] + 6;
        ASSERT_EQ(b.at(x, y), written ? (y - c[3] + c[1]) * 16 + x - c[2] + c[0] : y * 16 + x)
            << x << "," << y;
      }
  }
}

TEST(PelSet, SetsOnlyTheWindow) {
  vxPelBuffer<unsigned char> b(6, 5, 16);
  vfPelSet_U8(vxPelBuffer<unsigned char>(b, 1, 2, 3, 2), 200);
  vxPelBuffer<unsigned short> s(6, 5, 16);
  vfPelSet(vxPelBuffer<unsigned short>(s, 1, 2, 3, 2), static_cast<unsigned short>(60000));
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x < 4 && y >= 2 && y < 4;
      EXPECT_EQ(b.at(x, y) * 100000 + s.at(x, y), inside ? 20060000 : 0) << x << "," << y;
    }
  vfPelSet_U8(b, 7);  // row padding is not part of any window
  EXPECT_EQ(b.at(0, 0) + b.at(5, 4) + b.pointToOffset()[2 * b.stride() + 6], 14);
}
