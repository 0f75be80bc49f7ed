// The fit of the patterns found: each one's amplitude over the picture, constant or
// smoothly varying, and the patterns as the padding continues them (internal).
#ifndef VXFREQ_FILT_FILTERING_FIT_H
#define VXFREQ_FILT_FILTERING_FIT_H

#include "filt/extended.h"
#include "filt/filtering/picture.h"

#include <vector>

namespace vx_detail::patterns {

// The fit: the smoothing of the normalized convolution (a Gaussian of kSmoothing pixels)
// on a grid kCoarse times coarser than the transform, the least share of the picture
// under it that still normalizes, and the spread of the local amplitude (relative to
// the global one) up to which the amplitude is taken as constant (kSteady), from which
// as local (kVarying, a blend in between), and above which the peak is taken for the
// picture's own texture and not continued (kTexture).
constexpr double kSmoothing = 32.0;
constexpr long kCoarse = 8;
constexpr double kLeastCover = 0.05;
constexpr double kSteady = 0.25;
constexpr double kVarying = 0.5;
constexpr double kTexture = 1.5;

// Smooth complex fields over the W x H transform, held on a grid kCoarse times coarser
// along each side (block means; a side that is no multiple of kCoarse ends in a partial
// block), smoothed there by the Gaussian of kSmoothing pixels (periodic, through the
// library's own transforms at the grid's own size) and read back bilinearly.
class CoarseField {
public:
  CoarseField(long W, long H)
      : dx_(std::min(kCoarse, W)), dy_(std::min(kCoarse, H)), cw_((W + dx_ - 1) / dx_),
        ch_((H + dy_ - 1) / dy_),
        values_(static_cast<std::size_t>(cw_) * static_cast<std::size_t>(ch_)),
        row_(static_cast<std::size_t>(cw_)) {}

  long width() const { return cw_; }
  long height() const { return ch_; }
  long blockWidth() const { return dx_; }
  long blockHeight() const { return dy_; }
  Complex& cell(long cx, long cy) { return values_[at(cx, cy, cw_)]; }
  const Complex& cell(long cx, long cy) const { return values_[at(cx, cy, cw_)]; }

  // Adds v to the block holding transform position (x, y); means() then turns the sums
  // into the blocks' means.
  void add(long x, long y, Complex v) { cell(x / dx_, y / dy_) += v; }
  void means() {
    const double share = 1.0 / static_cast<double>(dx_ * dy_);
    for (Complex& v : values_) v *= share;
  }

  // The Gaussian of kSmoothing pixels; the block means already smooth by a box of the
  // block's size, whose variance is taken off the Gaussian's.
  void smooth() {
    vxPelBuffer<double> re(cw_, ch_, 32), im(cw_, ch_, 32);
    for (long y = 0; y < ch_; ++y)
      for (long x = 0; x < cw_; ++x) {
        re.at(x, y) = cell(x, y).real();
        im.at(x, y) = cell(x, y).imag();
      }
    // The grid's own size whatever the caller's sizing rule (the compatible mode's grid
    // is a power of two already).
    const vxSizingScope own(vxSizeRule::OwnSize);
    vxFrequencyBuffer spectrum;
    vfForwardFFT<double>(re, im, spectrum);
    auto variance = [](long block) {
      const double b = static_cast<double>(block);
      return std::max(0.0, kSmoothing * kSmoothing - b * b / 12.0) / (b * b);
    };
    const double cx = -2.0 * kPi * kPi * variance(dx_), cy = -2.0 * kPi * kPi * variance(dy_);
    float* e = spectrum.elements();
    for (long y = 0; y < ch_; ++y) {
      const double fy = signedFrequency(y, ch_);
      for (long x = 0; x < cw_; ++x) {
        const double fx = signedFrequency(x, cw_);
        const auto g = static_cast<float>(std::exp(cx * fx * fx + cy * fy * fy));
        float* v = e + 2 * at(x, y, cw_);
        v[0] *= g;
        v[1] *= g;
      }
    }
    vfInverseFFT(spectrum, re, im, true);
    for (long y = 0; y < ch_; ++y)
      for (long x = 0; x < cw_; ++x) cell(x, y) = Complex(re.at(x, y), im.at(x, y));
  }

  // Bilinear reading along one row of the transform: prepare(y), then value(x).
  void prepare(long y) {
    if (columns_.empty()) {
      columns_.resize(static_cast<std::size_t>(cw_ * dx_));
      for (long x = 0; x < cw_ * dx_; ++x) {
        Place& p = columns_[static_cast<std::size_t>(x)];
        place(x, dx_, cw_, p.c0, p.c1, p.f);
      }
    }
    Place p;
    place(y, dy_, ch_, p.c0, p.c1, p.f);
    for (long x = 0; x < cw_; ++x)
      row_[static_cast<std::size_t>(x)] = (1.0 - p.f) * cell(x, p.c0) + p.f * cell(x, p.c1);
  }
  Complex value(long x) const {
    const Place& p = columns_[static_cast<std::size_t>(x)];
    return (1.0 - p.f) * row_[static_cast<std::size_t>(p.c0)] +
           p.f * row_[static_cast<std::size_t>(p.c1)];
  }

private:
  // Position p of the transform between cells c0 and c1 (periodic), f of the way.
  static void place(long p, long block, long cells, long& c0, long& c1, double& f) {
    const double u = (static_cast<double>(p) - 0.5 * static_cast<double>(block - 1)) /
                     static_cast<double>(block);
    const double base = std::floor(u);
    f = u - base;
    c0 = ((static_cast<long>(base) % cells) + cells) % cells;
    c1 = (c0 + 1) % cells;
  }

  struct Place {
    long c0 = 0, c1 = 0;
    double f = 0.0;
  };

  long dx_, dy_, cw_, ch_;
  std::vector<Complex> values_;
  std::vector<Complex> row_;
  std::vector<Place> columns_;
};

// One fitted pattern: 2 Re(A(x, y) e^(2 pi i (ky c(y) + kx c(x)))), with c the position
// the padding continues (i forwards, i - N before the picture's first pixel) and the
// amplitude A = global + blend (local(x, y) - global).
struct Pattern {
  std::vector<Complex> ey, ex;  // the carrier along each axis of the transform
  Complex global;
  double blend = 0.0;
  CoarseField local;

  Pattern(long W, long H) : local(W, H) {}

  // Adds `sign` times the pattern at positions x0 .. x1 - 1 of row y to out[x].
  void addRow(long y, long x0, long x1, double sign, double* out) {
    const Complex e = ey[static_cast<std::size_t>(y)];
    const double* c = reinterpret_cast<const double*>(ex.data());
    if (blend == 0.0) {
      // 2 Re(A e ex) = 2 (u re(ex) - v im(ex)) with u + i v = A e.
      const Complex ae = global * e;
      const double u = 2.0 * sign * ae.real(), v = 2.0 * sign * ae.imag();
      for (long x = x0; x < x1; ++x) out[x] += u * c[2 * x] - v * c[2 * x + 1];
      return;
    }
    local.prepare(y);
    for (long x = x0; x < x1; ++x) {
      const Complex a = global + blend * (local.value(x) - global);
      const double u = a.real() * e.real() - a.imag() * e.imag();
      const double v = a.real() * e.imag() + a.imag() * e.real();
      out[x] += 2.0 * sign * (u * c[2 * x] - v * c[2 * x + 1]);
    }
  }
};

// Fits the patterns one after the other on what the earlier ones leave of the picture,
// and takes each out of the residue. A peak whose local amplitude wanders far from its
// global one is the picture's own texture, not a pattern: it is left out.
std::vector<Pattern> fitPatterns(Picture& picture, const std::vector<Frequency>& frequencies,
                                 long W, long H);

}  // namespace vx_detail::patterns

#endif
