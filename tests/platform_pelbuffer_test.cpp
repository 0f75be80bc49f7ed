#include "platform/pelbuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

// Fills a window with value(x, y) = base + y * 16 + x.
template <class T>
void fillPattern(const vxPelBuffer<T>& b, int base) {
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x) b.at(x, y) = static_cast<T>(base + y * 16 + x);
}

template <class T>
std::vector<std::vector<T>> snapshot(const vxPelBuffer_const<T>& b) {
  std::vector<std::vector<T>> s(b.height(), std::vector<T>(b.width()));
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x) s[y][x] = b.at(x, y);
  return s;
}

}  // namespace

TEST(PelBuffer, NewBufferIsZeroedWithAlignedRows) {
  vxPelBuffer<unsigned short> b(5, 3, 0);
  EXPECT_TRUE(b.isBound());
  EXPECT_EQ(b.offset(), vxPair<long>(0, 0));
  EXPECT_EQ(b.stride(), 5);  // alignments below the pixel size pack the rows
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) EXPECT_EQ(b.at(x, y), 0);
  EXPECT_FALSE(vxPelBuffer<double>().isBound());
  EXPECT_EQ(vxPelBuffer<double>().pointToOffset(), nullptr);
  EXPECT_NE(vxPelBuffer<double>(0, 0, 16).pointToOffset(), nullptr);

  vxPelBuffer<unsigned char> u8(5, 7, 32);
  vxPelBuffer<double> d(3, 6, 32);
  vxPelBuffer<unsigned short> u16(17, 4, 64);
  EXPECT_EQ(u8.stride(), 32);
  EXPECT_EQ(d.stride(), 4);
  EXPECT_EQ(u16.stride(), 32);
  EXPECT_EQ(vxPelBuffer<double>(3, 2, 1).stride(), 3);
  auto address = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p); };
  for (long y = 0; y < 7; ++y) EXPECT_EQ(address(&u8.at(0, y)) % 32, 0u) << y;
  for (long y = 0; y < 6; ++y) EXPECT_EQ(address(&d.at(0, y)) % 32, 0u) << y;
  for (long y = 0; y < 4; ++y) EXPECT_EQ(address(&u16.at(0, y)) % 64, 0u) << y;
}

TEST(PelBuffer, RejectsBadSizes) {
  using U8 = vxPelBuffer<unsigned char>;
  using F64 = vxPelBuffer<double>;
  EXPECT_THROW(U8(-1, 4, 0), std::invalid_argument);
  EXPECT_THROW(U8(4, -1, 0), std::invalid_argument);
  EXPECT_THROW(U8(4, 4, 24), std::invalid_argument);  // not a power of two
  const long big = std::numeric_limits<std::int32_t>::max();
  if (sizeof(long) > 4) {
    EXPECT_THROW(U8(big + 1, 1, 0), std::invalid_argument);
    EXPECT_THROW(U8(1, big + 1, 0), std::invalid_argument);
  }
  // Byte counts that overflow are refused before anything is allocated.
  EXPECT_THROW(F64(big, big, 0), std::invalid_argument);
  EXPECT_THROW(F64(big, 1, 1L << 30), std::invalid_argument);  // stride beyond 32 bits
}

TEST(PelBuffer, CopiesAndWindowsSharePixels) {
  vxPelBuffer<unsigned char> b(8, 6, 16);
  b.offset(10, -4);
  vxPelBuffer<unsigned char> alias = b;
  alias.at(3, 2) = 77;
  EXPECT_EQ(b.at(3, 2), 77);

  vxPelBuffer<unsigned char> w(b, 2, 1, 4, 3);
  EXPECT_EQ(w.width(), 4);
  EXPECT_EQ(w.height(), 3);
  EXPECT_EQ(w.offset(), vxPair<long>(12, -3));
  EXPECT_EQ(w.stride(), b.stride());
  EXPECT_EQ(&w.at(0, 0), &b.at(2, 1));
  EXPECT_EQ(w.at(1, 1), 77);
  w.at(3, 2) = 5;
  EXPECT_EQ(b.at(5, 3), 5);

  // A window of a window: offsets add up, pixels are still the same.
  vxPelBuffer<unsigned char> ww(w, 1, 1, 2, 2);
  EXPECT_EQ(ww.offset(), vxPair<long>(13, -2));
  EXPECT_EQ(&ww.at(1, 1), &b.at(4, 3));
  // Moving a window does not move its pixels.
  ww.offset(0, 0);
  EXPECT_EQ(&ww.at(1, 1), &b.at(4, 3));

  vxPelBuffer<unsigned char> edge(b, 8, 6, 0, 0);  // empty window at the far corner
  EXPECT_EQ(edge.width(), 0);
}

TEST(PelBuffer, WindowsMustLieInsideTheParent) {
  vxPelBuffer<double> b(4, 3, 0);
  using W = vxPelBuffer<double>;
  const long bad[][4] = {{-1, 0, 2, 2}, {0, -1, 2, 2}, {3, 0, 2, 2}, {0, 2, 2, 2}, {0, 0, -1, 1}, {0, 0, 5, 1}};
  for (const auto& r : bad) EXPECT_THROW(W(b, r[0], r[1], r[2], r[3]), std::out_of_range) << r[0] << r[1] << r[2] << r[3];
  EXPECT_THROW(W(vxPelBuffer<double>(), 0, 0, 0, 0), std::out_of_range);
  EXPECT_NO_THROW(W(b, 0, 0, 4, 3));
  if (sizeof(long) > 4) {
    EXPECT_THROW(b.offset(1L << 31, 0), std::out_of_range);
    EXPECT_THROW(b.offset(0, -(1L << 31) - 1), std::out_of_range);
  }
  b.offset(std::numeric_limits<std::int32_t>::max(), 0);
  EXPECT_THROW(W(b, 1, 0, 1, 1), std::out_of_range);  // offset beyond 32 bits
}

TEST(PelCopy, CopiesTheOverlapInTheFrame) {
  vxPelBuffer<unsigned short> src(4, 3, 0);
  fillPattern(src, 100);
  vxPelBuffer<unsigned short> dst(5, 5, 8);
  vfPelSet(dst, static_cast<unsigned short>(9));
  dst.offset(2, 1);  // frame [2, 7) x [1, 6); src covers [0, 4) x [0, 3)
  vfPelCopy(src, dst);
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 5; ++x) {
      const long fx = x + 2, fy = y + 1;
      const bool inside = fx < 4 && fy < 3;
      EXPECT_EQ(dst.at(x, y), inside ? 100 + fy * 16 + fx : 9) << x << "," << y;
    }
}

TEST(PelCopy, NegativeOffsetsAndNoOverlap) {
  vxPelBuffer<double> src(3, 3, 0);
  fillPattern(src, 0);
  src.offset(-2, -1);  // frame [-2, 1) x [-1, 2)
  vxPelBuffer<double> dst(2, 2, 0);
  vfPelCopy(src, dst);  // dst covers [0, 2) x [0, 2): overlap is the column x = 0
  EXPECT_EQ(dst.at(0, 0), 1 * 16 + 2);
  EXPECT_EQ(dst.at(0, 1), 2 * 16 + 2);
  EXPECT_EQ(dst.at(1, 0), 0);
  EXPECT_EQ(dst.at(1, 1), 0);

  vfPelSet(dst, 3.5);
  dst.offset(1, -1);  // touches src's right edge but does not overlap
  vfPelCopy(src, dst);
  dst.offset(-5, 0);
  vfPelCopy(src, dst);
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 2; ++x) EXPECT_EQ(dst.at(x, y), 3.5);

  vxPelBuffer<double> unbound;
  vfPelCopy(unbound, dst);
  vfPelCopy(src, unbound);
  EXPECT_EQ(dst.at(0, 0), 3.5);
}

TEST(PelCopy, SameStorageCopiesAsIfThroughATemporary) {
  // dst window moved so that it reads pixels that it also writes, in every direction.
  const struct {
    long sx, sy, dx, dy;
  } cases[] = {{0, 0, 1, 1}, {1, 1, 0, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 2, 0}, {2, 0, 0, 1}};
  for (const auto& c : cases) {
    vxPelBuffer<unsigned char> b(9, 9, 4);
    fillPattern(b, 0);
    const auto before = snapshot<unsigned char>(b);
    vxPelBuffer<unsigned char> src(b, c.sx, c.sy, 6, 6);
    vxPelBuffer<unsigned char> dst(b, c.dx, c.dy, 6, 6);
    src.offset(0, 0);
    dst.offset(0, 0);
    vfPelCopy(src, dst);
    for (long y = 0; y < 9; ++y)
      for (long x = 0; x < 9; ++x) {
        const bool written = x >= c.dx && x < c.dx + 6 && y >= c.dy && y < c.dy + 6;
        const unsigned char expected =
            written ? before[y - c.dy + c.sy][x - c.dx + c.sx] : before[y][x];
        ASSERT_EQ(b.at(x, y), expected) << x << "," << y << " case " << c.sx << c.sy << c.dx << c.dy;
      }
  }
  // The same pixels in the same frame place: nothing changes.
  vxPelBuffer<unsigned char> b(4, 4, 0);
  fillPattern(b, 1);
  vxPelBuffer<unsigned char> alias = b;
  vfPelCopy(b, alias);
  EXPECT_EQ(b.at(3, 3), 1 + 3 * 16 + 3);
}

TEST(PelSet, SetsOnlyTheWindow) {
  vxPelBuffer<unsigned char> b(6, 5, 16);
  vxPelBuffer<unsigned char> w(b, 1, 2, 3, 2);
  vfPelSet_U8(w, 200);
  vxPelBuffer<unsigned short> s(6, 5, 16);
  vfPelSet(vxPelBuffer<unsigned short>(s, 1, 2, 3, 2), static_cast<unsigned short>(60000));
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 6; ++x) {
      const bool inside = x >= 1 && x < 4 && y >= 2 && y < 4;
      EXPECT_EQ(b.at(x, y), inside ? 200 : 0) << x << "," << y;
      EXPECT_EQ(s.at(x, y), inside ? 60000 : 0) << x << "," << y;
    }
  // Row padding is not part of any window.
  vfPelSet_U8(b, 7);
  for (long x = b.width(); x < b.stride(); ++x) EXPECT_EQ(b.pointToOffset()[2 * b.stride() + x], 0);
  EXPECT_EQ(b.at(5, 4), 7);
  vfPelSet(vxPelBuffer<double>(), 1.0);  // unbound: nothing happens
}
