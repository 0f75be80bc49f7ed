// Helpers shared by the arithmetic and filter tests.
#ifndef VXFREQ_TESTS_FILTER_TEST_SUPPORT_H
#define VXFREQ_TESTS_FILTER_TEST_SUPPORT_H

#include "filt/buffer_access.h"
#include "filt/fft.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace filter_test {

using Defs = vxFrequencyDefs;
using Access = vx_detail::FrequencyBufferAccess;

inline const wchar_t* const kBufferUninit = L"FrequencyBuffer has not been initialized";
inline const wchar_t* const kFilterUninit = L"FrequencyFilter has not been initialized";
inline const wchar_t* const kInverse = L"Cannot access frequency data once inverse has been computed.";
inline const wchar_t* const kBadCoord = L"Coordinates are out of bounds";
inline const wchar_t* const kSizeMismatch = L"Size of frequency buffer does not match size of filter.";
inline const wchar_t* const kPowerOfTwo = L"Size must be a power of 2.";
inline const wchar_t* const kFrequency = L"Frequency must be between 0.0 and 0.5.";

// Runs `f`, expecting an error of class E with message `message`.
template <class E, class F>
void expectError(F f, const wchar_t* message) {
  try {
    f();
    ADD_FAILURE() << "no exception";
  } catch (const E& e) {
    ASSERT_NE(e.message(), nullptr);
    EXPECT_EQ(std::wstring(e.message()), std::wstring(message));
  } catch (const vxException& e) {
    ADD_FAILURE() << "wrong exception class: " << e.what();
  }
}

inline std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// Element values that differ everywhere and cover both signs and several magnitudes.
inline void fillPattern(vxFrequencyBuffer& b, std::uint32_t seed) {
  float* v = Access::data(b);
  const std::size_t n = 2 * static_cast<std::size_t>(b.width()) * b.height();
  std::uint32_t s = seed * 2654435761u + 12345u;
  for (std::size_t i = 0; i < n; ++i) {
    s = s * 1664525u + 1013904223u;
    const double unit = static_cast<double>(s >> 8) / 16777216.0;  // [0, 1)
    v[i] = static_cast<float>((unit - 0.5) * (1.0 + (s & 7) * 37.5));
  }
}

// The complex element at storage column x, row y.
inline const float* element(const vxFrequencyBuffer& b, long x, long y) {
  return Access::data(b) + 2 * (static_cast<std::size_t>(y) * b.width() + x);
}

// Everything a filter or an arithmetic function may change, to show that a failed
// call changed nothing.
struct Snapshot {
  bool initialized = false;
  std::vector<std::uint32_t> values;
  long width = 0, height = 0, imageWidth = 0, imageHeight = 0;
  long masked = 0, miny = 0, maxy = 0;
  bool inverse = false;
  vxPair<long> offset;

  explicit Snapshot(const vxFrequencyBuffer& b) : initialized(b.isInitialized()) {
    imageWidth = b.imageWidth();
    imageHeight = b.imageHeight();
    masked = Access::masked(b);
    miny = Access::maskedMiny(b);
    maxy = Access::maskedMaxy(b);
    inverse = b.inverseComputed();
    offset = b.imageOffset();
    if (!initialized) return;
    width = b.width();
    height = b.height();
    const float* v = Access::data(b);
    for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(width) * height; ++i)
      values.push_back(bits(v[i]));
  }
  bool operator==(const Snapshot& o) const {
    return initialized == o.initialized && values == o.values && width == o.width &&
           height == o.height && imageWidth == o.imageWidth && imageHeight == o.imageHeight &&
           masked == o.masked && miny == o.miny && maxy == o.maxy && inverse == o.inverse &&
           offset == o.offset;
  }
};

}  // namespace filter_test

#endif
