// Helpers shared by the buffer, image and filter tests.
#ifndef VXFREQ_TESTS_FILTER_TEST_SUPPORT_H
#define VXFREQ_TESTS_FILTER_TEST_SUPPORT_H

#include "filt/buffer/access.h"
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
inline const wchar_t* const kInverse =
    L"Cannot access frequency data once inverse has been computed.";
inline const wchar_t* const kBadCoord = L"Coordinates are out of bounds";
inline const wchar_t* const kSizeMismatch =
    L"Size of frequency buffer does not match size of filter.";
inline const wchar_t* const kPowerOfTwo = L"Size must be a power of 2.";
inline const wchar_t* const kFrequency = L"Frequency must be between 0.0 and 0.5.";

// Runs `f`, expecting an error of class E with message `message` (null: none).
template <class E, class F>
void expectError(F f, const wchar_t* message) {
  try {
    f();
    ADD_FAILURE() << "no exception";
  } catch (const E& e) {
    if (message == nullptr) {
      EXPECT_EQ(e.message(), nullptr);
    } else {
      ASSERT_NE(e.message(), nullptr);
      EXPECT_EQ(std::wstring(e.message()), std::wstring(message));
    }
  } catch (const vxException& e) {
    ADD_FAILURE() << "wrong exception class: " << e.what();
  }
}

inline std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// A w x h buffer whose values differ everywhere and cover both signs and several
// magnitudes.
inline vxFrequencyBuffer patterned(long w, long h, std::uint32_t seed) {
  vxFrequencyBuffer b(w, h);
  float* v = Access::data(b);
  std::uint32_t s = seed * 2654435761u + 12345u;
  for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(b.width()) * b.height(); ++i) {
    s = s * 1664525u + 1013904223u;
    v[i] =
        static_cast<float>((static_cast<double>(s >> 8) / 16777216.0 - 0.5) * (1 + (s & 7) * 37.5));
  }
  return b;
}

// The complex element at storage column x, row y.
inline const float* element(const vxFrequencyBuffer& b, long x, long y) {
  return Access::data(b) + 2 * (static_cast<std::size_t>(y) * b.width() + x);
}

// The mask state: flag, first and last kept row.
inline std::vector<long> maskOf(const vxFrequencyBuffer& b) {
  return {Access::masked(b), Access::maskedMiny(b), Access::maskedMaxy(b)};
}

// Everything a filter or an arithmetic function may change, to show that a failed
// call changed nothing.
struct Snapshot {
  std::vector<std::uint32_t> values;
  std::vector<long> state;
  explicit Snapshot(const vxFrequencyBuffer& b) {
    state = {b.isInitialized(),   b.imageWidth(),        b.imageHeight(),
             Access::masked(b),   Access::maskedMiny(b), Access::maskedMaxy(b),
             b.inverseComputed(), b.imageOffset().x,     b.imageOffset().y};
    if (!b.isInitialized()) return;
    state.push_back(b.width());
    state.push_back(b.height());
    for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(b.width()) * b.height(); ++i)
      values.push_back(bits(Access::data(b)[i]));
  }
  bool operator==(const Snapshot& o) const { return values == o.values && state == o.state; }
};

// The gain a filter gives each element: the filter applied in place to a w x h
// buffer of ones (1 + 1i).
template <class F>
vxFrequencyBuffer gains(const F& f, long w, long h) {
  vxFrequencyBuffer b(w, h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) b.put(x, y, vxPair<double>(1.0, 1.0), false);
  f.apply(b);
  return b;
}

// A w x h image whose pixel (x, y) is value(x, y), converted to T.
template <class T = unsigned char, class F>
vxPelBuffer<T> imageOf(long w, long h, F value) {
  vxPelBuffer<T> image(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) image.at(x, y) = static_cast<T>(value(x, y));
  return image;
}

// A w x h 8-bit image of a deterministic pattern at offset `at`.
inline vxPelBuffer<unsigned char> patternImage(long w, long h, vxPair<long> at = {0, 0}, int fx = 7,
                                               int fy = 13) {
  vxPelBuffer<unsigned char> image =
      imageOf(w, h, [&](long x, long y) { return (x * fx + y * fy) & 255; });
  image.offset(at);
  return image;
}

// Same size, offset and pixel bits.
template <class T>
bool samePixels(const vxPelBuffer<T>& a, const vxPelBuffer<T>& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.offset() != b.offset()) return false;
  for (long y = 0; y < a.height(); ++y)
    if (std::memcmp(&a.at(0, y), &b.at(0, y), a.width() * sizeof(T)) != 0) return false;
  return true;
}

}  // namespace filter_test

#endif
