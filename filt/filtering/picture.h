// The picture as the pattern search and fit see it, and what they share (internal):
// the arrays from the library's allocator, indexing, phasors, the attention poll.
#ifndef VXFREQ_FILT_FILTERING_PICTURE_H
#define VXFREQ_FILT_FILTERING_PICTURE_H

#include "filt/padding.h"
#include "platform/attention.h"
#include "platform/memory.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace vx_detail::patterns {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// An array of the picture's or the transform's size, from the library's block allocator
// (and its cache, so that repeated calls do not touch fresh pages), zeros to begin with.
template <class V>
class Block {
public:
  explicit Block(std::size_t count)
      : count_(count),
        data_(static_cast<V*>(vx_detail::allocateBlock(bytes(), 64, vx_detail::BlockFill::Zeros))) {
  }
  ~Block() {
    if (data_ != nullptr) vx_detail::releaseBlock(data_, bytes(), 64);
  }
  Block(Block&& other) noexcept : count_(other.count_), data_(other.data_) {
    other.count_ = 0;
    other.data_ = nullptr;
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  Block& operator=(Block&&) = delete;

  V& operator[](std::size_t i) { return data_[i]; }
  const V& operator[](std::size_t i) const { return data_[i]; }
  V* begin() { return data_; }
  V* end() { return data_ + count_; }
  std::size_t size() const { return count_; }

private:
  std::size_t bytes() const { return std::max<std::size_t>(1, count_) * sizeof(V); }
  std::size_t count_;
  V* data_;
};

inline std::size_t at(long x, long y, long width) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(x);
}

// The caller's attention, asked every 32 rows of the search's and the fit's own loops
// over a picture (the transforms they call check on their own), so that a large
// picture stops as promptly here as in a transform.
inline void pollAttention(long row) {
  if (row % 32 == 0) vfThrowExceptionOnFailure(vsys_attention_check());
}

// The signed frequency of index i of an axis of N (numpy's fftfreq).
inline double signedFrequency(long i, long N) {
  return static_cast<double>(i < (N + 1) / 2 ? i : i - N) / static_cast<double>(N);
}

// e^(2 pi i k c) for c = origin, origin + 1, ... (n values).
inline std::vector<Complex> phasor(double k, long origin, long n) {
  std::vector<Complex> e(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i)
    e[static_cast<std::size_t>(i)] = std::polar(1.0, kTwoPi * k * static_cast<double>(origin + i));
  return e;
}

// The picture as the search and the fit see it: windowed as the options ask, its mean,
// and, once patterns are fitted, what remains of it after they are taken away.
struct Picture {
  template <class T>
  Picture(const vxPelBuffer_const<T>& image, const vxWindow& window)
      : w(image.width()), h(image.height()),
        values(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)), residue(values.size()) {
    std::vector<double> wx(static_cast<std::size_t>(w)), wy(static_cast<std::size_t>(h));
    for (long x = 0; x < w; ++x) wx[static_cast<std::size_t>(x)] = window.weight(x, w);
    for (long y = 0; y < h; ++y) wy[static_cast<std::size_t>(y)] = window.weight(y, h);
    double sum = 0.0;
    for (long y = 0; y < h; ++y) {
      pollAttention(y);
      double row = 0.0;
      for (long x = 0; x < w; ++x) {
        const double v = static_cast<double>(image.at(x, y)) * wx[static_cast<std::size_t>(x)] *
                         wy[static_cast<std::size_t>(y)];
        values[at(x, y, w)] = v;
        row += v;
      }
      sum += row;
    }
    mean = sum / (static_cast<double>(w) * static_cast<double>(h));
    for (long y = 0; y < h; ++y) {
      pollAttention(y);
      for (std::size_t i = at(0, y, w); i < at(0, y + 1, w); ++i) residue[i] = values[i] - mean;
    }
  }

  long w, h;
  double mean = 0.0;
  Block<double> values;   // h x w, the windowed picture
  Block<double> residue;  // h x w, the picture less its mean and the patterns
};

// A pattern's frequency.
struct Frequency {
  double ky;  // cycles per pixel down the columns
  double kx;  // cycles per pixel along the rows
};

}  // namespace vx_detail::patterns

#endif
