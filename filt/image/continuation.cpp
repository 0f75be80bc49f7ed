// Filtering with the picture's periodic patterns continued into the padding
// (filt/filtering.h): the patterns in the filters' band are found, measured and fitted,
// and the padding continues them over the picture's border pixels repeated outwards.
//
// The work is sized so that it stays a fraction of the filtering itself: one transform
// of the padded size finds the peaks, their frequencies are refined on block sums of the
// demodulated picture, and the smooth amplitude fields live on a grid 8 times coarser
// than the transform along each side.
#include "filt/filtering.h"

#include "filt/common/limits.h"
#include "filt/common/messages.h"
#include "filt/image/padding_layout.h"
#include "platform/attention.h"
#include "platform/memory.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace {

using Complex = std::complex<double>;
using Defs = vxFrequencyDefs;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// The search for patterns: at most kMaxPatterns of them, among the candidates where the
// band's weight is at least kBandWeight, with at most kMaxPeaksTried peaks looked at. A
// peak counts when its magnitude is kStandOut times the median of the box around it
// (kBoxRadii main-lobe radii on each side), at least kLowestShare of the strongest
// pattern's, and it has at least kLeastPeriods periods across the picture; its frequency
// is then refined kRefinements times.
constexpr int kMaxPatterns = 4;
constexpr int kMaxPeaksTried = 64;
constexpr double kBandWeight = 0.9;
constexpr double kStandOut = 8.0;
constexpr long kBoxRadii = 4;
constexpr double kLowestShare = 0.05;
constexpr double kLeastPeriods = 4.0;
constexpr int kRefinements = 6;
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

std::size_t at(long x, long y, long width) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(x);
}

// The signed frequency of index i of an axis of N (numpy's fftfreq).
// The caller's attention, asked every 32 rows of the search's and the fit's own loops
// over a picture (the transforms they call check on their own), so that a large
// picture stops as promptly here as in a transform.
void pollAttention(long row) {
  if (row % 32 == 0) vfThrowExceptionOnFailure(vsys_attention_check());
}

double signedFrequency(long i, long N) {
  return static_cast<double>(i < (N + 1) / 2 ? i : i - N) / static_cast<double>(N);
}

// A Hann window without its zero end points: 0.5 - 0.5 cos(2 pi (i + 1) / (n + 1)).
std::vector<double> hannInside(long n) {
  std::vector<double> w(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i)
    w[static_cast<std::size_t>(i)] =
        0.5 - 0.5 * std::cos(kTwoPi * static_cast<double>(i + 1) / static_cast<double>(n + 1));
  return w;
}

// e^(2 pi i k c) for c = origin, origin + 1, ... (n values).
std::vector<Complex> phasor(double k, long origin, long n) {
  std::vector<Complex> e(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i)
    e[static_cast<std::size_t>(i)] = std::polar(1.0, kTwoPi * k * static_cast<double>(origin + i));
  return e;
}

double median(std::vector<double> values) {
  const std::size_t n = values.size();
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (n % 2 == 1) return *middle;
  return 0.5 * (*middle + *std::max_element(values.begin(), middle));
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
    for (std::size_t i = 0; i < values.size(); ++i) residue[i] = values[i] - mean;
  }

  long w, h;
  double mean = 0.0;
  Block<double> values;   // h x w, the windowed picture
  Block<double> residue;  // h x w, the picture less its mean and the patterns
};

// The band whose patterns are continued, on the half plane (columns 0 .. Wd / 2) of the
// Wd x Hd grid the peaks are searched on: what the filters remove where they keep most
// of the spectrum (reject filters), what they keep otherwise (pass filters). The filters
// are applied in order to a W x H buffer of ones (their apply checks that they are built
// for this size); the search grid's frequencies are among the transform's, W / Wd and
// H / Hd apart.
Block<float> bandOf(const std::vector<const vxFrequencyFilter*>& filters, long W, long H, long Wd,
                    long Hd) {
  const long columns = Wd / 2 + 1, stepX = W / Wd, stepY = H / Hd;
  Block<float> band(static_cast<std::size_t>(columns) * static_cast<std::size_t>(Hd));
  vxFrequencyBuffer ones(W, H);
  float* e = ones.elements();
  for (long y = 0; y < H; ++y) {
    pollAttention(y);
    float* row = e + 2 * at(0, y, W);
    for (long x = 0; x < W; ++x) row[2 * x] = 1.0f;
  }
  for (const vxFrequencyFilter* filter : filters) filter->apply(ones);
  double sum = 0.0;
  for (long y = 0; y < Hd; ++y) {
    pollAttention(y);
    for (long x = 0; x < columns; ++x) {
      const float* v = e + 2 * at(x * stepX, y * stepY, W);
      const auto gain = static_cast<float>(
          std::sqrt(static_cast<double>(v[0]) * v[0] + static_cast<double>(v[1]) * v[1]));
      band[at(x, y, columns)] = gain;
      sum += gain;
    }
  }
  // Whether the filters keep most of the spectrum, judged on the half plane searched.
  if (sum > 0.5 * static_cast<double>(band.size()))
    for (float& g : band) g = 1.0f - g;
  return band;
}

// The frequency of a peak to a fraction of a bin: the largest |S| of a 5 x 5 grid of
// the Hann-windowed picture's own Fourier sum S around it, the grid halved each round.
// S is taken from sums over blocks of the picture demodulated by the peak's bin, with
// their first moments: inside a block the remaining phase is linear to well under a
// tenth of a radian, so the block sums give S to a few parts in a thousand at a small
// fraction of the cost of summing over every pixel for each of the 150 points.
class PeakRefiner {
public:
  PeakRefiner(const Block<double>& windowed, long w, long h, long W, long H)
      : windowed_(windowed), w_(w), h_(h), W_(W), H_(H) {
    // The grid reaches 2.5 bins from the peak; the phase across half a block is then
    // at most 2 pi 2.5 B / (2 N).
    block_ = std::max(1L, std::min(W, H) / 128);
    bw_ = (w + block_ - 1) / block_;
    bh_ = (h + block_ - 1) / block_;
  }

  void refine(double& ky, double& kx, int rounds) {
    demodulate(ky, kx);
    double dy = 0.0, dx = 0.0;  // the offset from (ky, kx) found so far
    double stepY = 1.0 / static_cast<double>(H_), stepX = 1.0 / static_cast<double>(W_);
    for (int round = 0; round < rounds; ++round) {
      double oy[5], ox[5];
      for (int k = 0; k < 5; ++k) {
        oy[k] = dy + stepY * (k - 2) / 2.0;
        ox[k] = dx + stepX * (k - 2) / 2.0;
      }
      double s[5][5];
      sums(oy, ox, s);
      int ba = 0, bb = 0;
      for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 5; ++b)
          if (s[a][b] > s[ba][bb]) {
            ba = a;
            bb = b;
          }
      dy = oy[ba];
      dx = ox[bb];
      stepY /= 2.0;
      stepX /= 2.0;
    }
    ky += dy;
    kx += dx;
  }

private:
  double centre(long b) const {
    return static_cast<double>(b * block_) + 0.5 * static_cast<double>(block_ - 1);
  }

  // Block sums of the picture times e^(-2 pi i (ky y + kx x)), and of the same times the
  // offset from the block's centre along x and along y.
  void demodulate(double ky, double kx) {
    const std::vector<Complex> ex = phasor(-kx, 0, w_), ey = phasor(-ky, 0, h_);
    const std::size_t blocks = static_cast<std::size_t>(bw_) * static_cast<std::size_t>(bh_);
    m0_.assign(blocks, Complex());
    mx_.assign(blocks, Complex());
    my_.assign(blocks, Complex());
    for (long y = 0; y < h_; ++y) {
      pollAttention(y);
      const long by = y / block_;
      const double jy = static_cast<double>(y) - centre(by);
      const Complex e = ey[static_cast<std::size_t>(y)];
      for (long x = 0; x < w_; ++x) {
        const long bx = x / block_;
        const Complex& f = ex[static_cast<std::size_t>(x)];
        const double r = windowed_[at(x, y, w_)];
        const Complex v(r * (e.real() * f.real() - e.imag() * f.imag()),
                        r * (e.real() * f.imag() + e.imag() * f.real()));
        const std::size_t b = at(bx, by, bw_);
        m0_[b] += v;
        mx_[b] += (static_cast<double>(x) - centre(bx)) * v;
        my_[b] += jy * v;
      }
    }
  }

  // |S| at the 5 x 5 offsets (oy[a], ox[b]) from the demodulation's frequency:
  // S = sum over blocks of e^(-2 pi i o.c) (m0 - 2 pi i (ox mx + oy my)).
  void sums(const double* oy, const double* ox, double s[5][5]) const {
    std::vector<Complex> ex[5];
    for (int b = 0; b < 5; ++b) {
      ex[b].resize(static_cast<std::size_t>(bw_));
      for (long bx = 0; bx < bw_; ++bx)
        ex[b][static_cast<std::size_t>(bx)] = std::polar(1.0, -kTwoPi * ox[b] * centre(bx));
    }
    Complex total[5][5] = {};
    for (long by = 0; by < bh_; ++by) {
      pollAttention(by);
      Complex rowA[5] = {}, rowB[5] = {};
      for (long bx = 0; bx < bw_; ++bx) {
        const std::size_t i = at(bx, by, bw_);
        for (int b = 0; b < 5; ++b) {
          const Complex e = ex[b][static_cast<std::size_t>(bx)];
          rowA[b] += e * (m0_[i] - Complex(0.0, kTwoPi * ox[b]) * mx_[i]);
          rowB[b] += e * my_[i];
        }
      }
      for (int a = 0; a < 5; ++a) {
        const Complex ey = std::polar(1.0, -kTwoPi * oy[a] * centre(by));
        for (int b = 0; b < 5; ++b)
          total[a][b] += ey * (rowA[b] - Complex(0.0, kTwoPi * oy[a]) * rowB[b]);
      }
    }
    for (int a = 0; a < 5; ++a)
      for (int b = 0; b < 5; ++b) s[a][b] = std::abs(total[a][b]);
  }

  const Block<double>& windowed_;
  long w_, h_, W_, H_;
  long block_, bw_, bh_;
  std::vector<Complex> m0_, mx_, my_;
};

struct Frequency {
  double ky;  // cycles per pixel down the columns
  double kx;  // cycles per pixel along the rows
};

// The patterns of the picture in the band: the frequencies of the peaks of its
// Hann-windowed spectrum that stand out (see the constants above), searched in the half
// plane kx >= 0 (k and -k are one pattern). The search runs on the picture's plain
// transform (Wd x Hd, the next powers of two), the refinement then reaches a 64th of a
// bin of the padded transform.
std::vector<Frequency> findPatterns(const Picture& picture,
                                    const std::vector<const vxFrequencyFilter*>& filters, long W,
                                    long H) {
  const long h = picture.h, w = picture.w;
  const long Wd = vx_detail::nextPowerOfTwo(w), Hd = vx_detail::nextPowerOfTwo(h);
  const long columns = Wd / 2 + 1;
  const std::size_t cells = static_cast<std::size_t>(columns) * static_cast<std::size_t>(Hd);
  Block<float> candidates(cells);
  {
    const Block<float> band = bandOf(filters, W, H, Wd, Hd);
    for (long y = 0; y < Hd; ++y) {
      pollAttention(y);
      for (std::size_t i = at(0, y, columns); i < at(0, y + 1, columns); ++i)
        candidates[i] = band[i] >= kBandWeight ? 1.0f : 0.0f;
    }
  }
  const std::vector<double> wy = hannInside(h), wx = hannInside(w);
  Block<double> windowed(picture.residue.size());
  Block<float> magnitude(cells);
  {
    vxPelBuffer<double> image(w, h, 32);
    for (long y = 0; y < h; ++y) {
      pollAttention(y);
      for (long x = 0; x < w; ++x)
        image.at(x, y) = windowed[at(x, y, w)] = picture.residue[at(x, y, w)] *
                                                 wy[static_cast<std::size_t>(y)] *
                                                 wx[static_cast<std::size_t>(x)];
    }
    vxFrequencyBuffer spectrum;
    vfForwardFFT<double>(image, spectrum);
    const float* e = spectrum.elements();
    for (long y = 0; y < Hd; ++y) {
      pollAttention(y);
      for (long x = 0; x < columns; ++x) {
        const float* v = e + 2 * at(x, y, Wd);
        const std::size_t i = at(x, y, columns);
        magnitude[i] = static_cast<float>(
            std::sqrt(static_cast<double>(v[0]) * v[0] + static_cast<double>(v[1]) * v[1]));
        candidates[i] *= magnitude[i];
      }
    }
  }
  // The main lobe's radius of the window, in bins.
  const long ry =
      static_cast<long>(std::ceil(2.0 * static_cast<double>(Hd) / static_cast<double>(h))) + 1;
  const long rx =
      static_cast<long>(std::ceil(2.0 * static_cast<double>(Wd) / static_cast<double>(w))) + 1;
  const double lowest = kLeastPeriods / static_cast<double>(std::min(h, w));
  auto wrapRow = [Hd](long i) { return ((i % Hd) + Hd) % Hd; };
  // The largest candidate of each row, kept up to date as peaks are taken out.
  std::vector<float> rowTop(static_cast<std::size_t>(Hd));
  auto updateRow = [&](long row) {
    const float* r = &candidates[at(0, row, columns)];
    rowTop[static_cast<std::size_t>(row)] = *std::max_element(r, r + columns);
  };
  for (long row = 0; row < Hd; ++row) updateRow(row);
  // Takes a peak and its mirror out of the candidates.
  auto suppress = [&](long i, long j) {
    for (long ii = i - ry; ii <= i + ry; ++ii) {
      const long row = wrapRow(ii);
      for (long jj = std::max(0L, j - rx); jj <= std::min(columns - 1, j + rx); ++jj)
        candidates[at(jj, row, columns)] = 0.0f;
      updateRow(row);
      if (j <= rx) {
        const long mirror = wrapRow(-ii);
        for (long jj = 0; jj <= std::min(columns - 1, rx - j); ++jj)
          candidates[at(jj, mirror, columns)] = 0.0f;
        updateRow(mirror);
      }
    }
  };
  PeakRefiner refiner(windowed, w, h, Wd, Hd);
  // Rounds enough to reach a 64th of a bin of the padded transform along both axes.
  int rounds = kRefinements;
  for (long r = std::max(W / Wd, H / Hd); r > 1; r /= 2) ++rounds;
  std::vector<Frequency> found;
  float top = 0.0f;
  for (int tried = 0; tried < kMaxPeaksTried && static_cast<int>(found.size()) < kMaxPatterns;
       ++tried) {
    pollAttention(0);
    const long i =
        static_cast<long>(std::max_element(rowTop.begin(), rowTop.end()) - rowTop.begin());
    const float* row = &candidates[at(0, i, columns)];
    const long j = static_cast<long>(std::max_element(row, row + columns) - row);
    const float v = row[j];
    if (v <= 0.0f || (top > 0.0f && v < static_cast<float>(kLowestShare) * top)) break;
    std::vector<double> box;
    for (long ii = i - kBoxRadii * ry; ii <= i + kBoxRadii * ry; ++ii)
      for (long jj = j - kBoxRadii * rx; jj <= j + kBoxRadii * rx; ++jj)
        if (std::abs(jj) < columns)
          box.push_back(magnitude[at(std::abs(jj), wrapRow(ii), columns)]);
    Frequency k{signedFrequency(i, Hd), static_cast<double>(j) / static_cast<double>(Wd)};
    if (v < kStandOut * median(box) || std::hypot(k.ky, k.kx) < lowest) {
      suppress(i, j);
      continue;
    }
    if (top == 0.0f) top = v;
    refiner.refine(k.ky, k.kx, rounds);
    found.push_back(k);
    suppress(i, j);
  }
  return found;
}

// Smooth complex fields over the W x H transform, held on a grid kCoarse times coarser
// along each side (block means), smoothed there by the Gaussian of kSmoothing pixels
// (periodic, through the library's own transforms) and read back bilinearly.
class CoarseField {
public:
  CoarseField(long W, long H)
      : dx_(std::min(kCoarse, W)), dy_(std::min(kCoarse, H)), cw_(W / dx_), ch_(H / dy_),
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

// The carrier along an axis of N with n picture pixels.
std::vector<Complex> carrier(double k, long n, long N) {
  const long forwards = vx_detail::forwardExtent(n, N);
  std::vector<Complex> e = phasor(k, 0, forwards);
  const std::vector<Complex> before = phasor(k, forwards - N, N - forwards);
  e.insert(e.end(), before.begin(), before.end());
  return e;
}

// The least-squares amplitude A of one pattern on the residue r (a constant taken along):
// r ~ c0 + a cos(phi) + b sin(phi), A = (a - i b) / 2, so that the pattern is
// 2 Re(A e^(i phi)).
Complex globalAmplitude(const Picture& picture, const Pattern& pattern) {
  double m[3][3] = {}, rhs[3] = {};
  for (long y = 0; y < picture.h; ++y) {
    pollAttention(y);
    for (long x = 0; x < picture.w; ++x) {
      const Complex e =
          pattern.ey[static_cast<std::size_t>(y)] * pattern.ex[static_cast<std::size_t>(x)];
      const double basis[3] = {1.0, e.real(), e.imag()};
      const double r = picture.residue[at(x, y, picture.w)];
      for (int a = 0; a < 3; ++a) {
        rhs[a] += basis[a] * r;
        for (int b = 0; b < 3; ++b) m[a][b] += basis[a] * basis[b];
      }
    }
  }
  // Gaussian elimination with partial pivoting.
  int order[3] = {0, 1, 2};
  for (int c = 0; c < 3; ++c) {
    int p = c;
    for (int k = c + 1; k < 3; ++k)
      if (std::abs(m[order[k]][c]) > std::abs(m[order[p]][c])) p = k;
    std::swap(order[c], order[p]);
    const double pivot = m[order[c]][c];
    if (std::abs(pivot) < 1e-9 * (std::abs(m[0][0]) + 1.0)) return Complex();
    for (int k = c + 1; k < 3; ++k) {
      const double f = m[order[k]][c] / pivot;
      for (int b = c; b < 3; ++b) m[order[k]][b] -= f * m[order[c]][b];
      rhs[order[k]] -= f * rhs[order[c]];
    }
  }
  double coef[3] = {0.0, 0.0, 0.0};
  for (int c = 2; c >= 0; --c) {
    double sum = rhs[order[c]];
    for (int b = c + 1; b < 3; ++b) sum -= m[order[c]][b] * coef[b];
    coef[c] = sum / m[order[c]][c];
  }
  return Complex(coef[1], -coef[2]) / 2.0;
}

// Fits the patterns one after the other on what the earlier ones leave of the picture,
// and takes each out of the residue. A peak whose local amplitude wanders far from its
// global one is the picture's own texture, not a pattern: it is left out.
std::vector<Pattern> fitPatterns(Picture& picture, const std::vector<Frequency>& frequencies,
                                 long W, long H) {
  const long h = picture.h, w = picture.w;
  CoarseField cover(W, H);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) cover.add(x, y, 1.0);
  cover.means();
  std::vector<double> share(static_cast<std::size_t>(cover.width()) *
                            static_cast<std::size_t>(cover.height()));
  for (long cy = 0; cy < cover.height(); ++cy)
    for (long cx = 0; cx < cover.width(); ++cx)
      share[at(cx, cy, cover.width())] = cover.cell(cx, cy).real();
  cover.smooth();

  std::vector<Pattern> patterns;
  for (const Frequency& k : frequencies) {
    Pattern pattern(W, H);
    pattern.ey = carrier(k.ky, h, H);
    pattern.ex = carrier(k.kx, w, W);
    pattern.global = globalAmplitude(picture, pattern);
    // The local amplitude: the demodulated residue, normalized by the share of the
    // picture under the smoothing kernel.
    for (long y = 0; y < h; ++y) {
      pollAttention(y);
      const Complex ey = std::conj(pattern.ey[static_cast<std::size_t>(y)]);
      for (long x = 0; x < w; ++x) {
        const Complex& ex = pattern.ex[static_cast<std::size_t>(x)];
        const double r = picture.residue[at(x, y, w)];
        // r conj(ey ex), written out.
        pattern.local.add(x, y,
                          Complex(r * (ey.real() * ex.real() + ey.imag() * ex.imag()),
                                  r * (ey.imag() * ex.real() - ey.real() * ex.imag())));
      }
    }
    pattern.local.means();
    pattern.local.smooth();
    double spread = 0.0, weight = 0.0;
    for (long cy = 0; cy < cover.height(); ++cy)
      for (long cx = 0; cx < cover.width(); ++cx) {
        Complex& local = pattern.local.cell(cx, cy);
        local /= std::max(cover.cell(cx, cy).real(), kLeastCover);
        const double s = share[at(cx, cy, cover.width())];
        spread += s * std::norm(local - pattern.global);
        weight += s;
      }
    spread = std::sqrt(spread / weight) / std::max(std::abs(pattern.global), 1e-12);
    if (spread > kTexture) continue;
    pattern.blend = std::min(1.0, std::max(0.0, (spread - kSteady) / (kVarying - kSteady)));
    for (long y = 0; y < h; ++y) pattern.addRow(y, 0, w, -1.0, &picture.residue[at(0, y, w)]);
    patterns.push_back(std::move(pattern));
  }
  return patterns;
}

void checkFilters(const std::vector<const vxFrequencyFilter*>& filters) {
  for (const vxFrequencyFilter* filter : filters)
    if (filter == nullptr) throw Defs::InvalidArgument(vx_detail::msg::kContinueNeedsFilter);
}

// The padded picture: the picture itself as it is; outside it, the picture's border
// pixels repeated outwards with the patterns taken away, plus the patterns continued.
vxPelBuffer<double> continuedPicture(const Picture& picture, std::vector<Pattern>& patterns, long W,
                                     long H) {
  const long w = picture.w, h = picture.h;
  const std::vector<long> columns = vx_detail::paddingSource(w, W, vxPadding::Edge);
  const std::vector<long> rows = vx_detail::paddingSource(h, H, vxPadding::Edge);
  vxPelBuffer<double> padded(W, H, 32);
  for (long y = 0; y < H; ++y) {
    pollAttention(y);
    double* out = &padded.at(0, y);
    const long sy = rows[static_cast<std::size_t>(y)];
    // The picture's own pixels as they are; the padding: the border pixels less the
    // patterns, plus the patterns continued.
    const long from = y < h ? w : 0;
    if (y < h) std::copy_n(&picture.values[at(0, y, w)], w, out);
    for (long x = from; x < W; ++x)
      out[x] = picture.residue[at(columns[static_cast<std::size_t>(x)], sy, w)] + picture.mean;
    for (Pattern& pattern : patterns) pattern.addRow(y, from, W, 1.0, out);
  }
  return padded;
}

}  // namespace

template <class T>
void vfForwardFFTContinued(const vxPelBuffer_const<T>& image, const vxPaddingOptions& options,
                           const std::vector<const vxFrequencyFilter*>& filters,
                           vxFrequencyBuffer& result) {
  if (options.padding != vxPadding::Continue) {
    vfForwardFFTPadded(image, options, result);
    return;
  }
  vx_detail::checkPaddedPicture(image);
  vx_detail::checkPaddingOptions(options, !filters.empty());
  checkFilters(filters);
  const long w = image.width(), h = image.height();
  if (w == 0 || h == 0) {
    vfForwardFFT(image, result);
    return;
  }
  const vxPair<long> size = vfPaddedTransformSize(w, h, options.margin);
  const long W = size.x, H = size.y;
  // A margin asked for but without room along a side would filter the picture with its
  // opposite edges meeting: refused, rather than done silently without padding.
  if (options.margin != 0 && (W == w || H == h))
    throw Defs::InvalidSize(vx_detail::msg::kContinueNoRoom);

  Picture picture(image, options.window);
  const std::vector<Frequency> frequencies = findPatterns(picture, filters, W, H);
  std::vector<Pattern> patterns;
  if (!frequencies.empty()) {
    patterns = fitPatterns(picture, frequencies, W, H);
    if (!patterns.empty()) {
      vfForwardFFT<double>(continuedPicture(picture, patterns, W, H), result);
      vx_detail::recordPaddedPicture(result, image, size);
      return;
    }
  }
  // Nothing stands out: the padding is Edge's, bit for bit.
  vxPaddingOptions edge = options;
  edge.padding = vxPadding::Edge;
  vfForwardFFTPadded(image, edge, result);
}

template <class T>
vxPelBuffer<double> vfFilterPicture(const vxPelBuffer_const<T>& image,
                                    const std::vector<const vxFrequencyFilter*>& filters,
                                    const vxPaddingOptions& options) {
  checkFilters(filters);
  vxFrequencyBuffer spectrum;
  vfForwardFFTContinued(image, options, filters, spectrum);
  for (const vxFrequencyFilter* filter : filters) filter->apply(spectrum);
  vxPelBuffer<double> real, imaginary;
  vfInverseFFT(spectrum, real, imaginary, true);
  return real;
}

#define VXFREQ_INSTANTIATE_FILTERING(T)                                          \
  template VX_API void vfForwardFFTContinued<T>(                                 \
      const vxPelBuffer_const<T>&, const vxPaddingOptions&,                      \
      const std::vector<const vxFrequencyFilter*>&, vxFrequencyBuffer&);         \
  template VX_API vxPelBuffer<double> vfFilterPicture<T>(                        \
      const vxPelBuffer_const<T>&, const std::vector<const vxFrequencyFilter*>&, \
      const vxPaddingOptions&)

VXFREQ_INSTANTIATE_FILTERING(unsigned char);
VXFREQ_INSTANTIATE_FILTERING(unsigned short);
VXFREQ_INSTANTIATE_FILTERING(double);
#undef VXFREQ_INSTANTIATE_FILTERING
