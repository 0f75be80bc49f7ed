// The search for patterns (filt/filtering/search.h): the peaks of the picture's
// Hann-windowed spectrum in the filters' band that stand out of their surroundings,
// their frequencies refined on block sums of the demodulated picture.
#include "filt/filtering/search.h"

#include "filt/extended.h"

#include "filt/common/limits.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace vx_detail::patterns {

namespace {

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
constexpr int kRefinements = 8;

// A Hann window without its zero end points: 0.5 - 0.5 cos(2 pi (i + 1) / (n + 1)).
std::vector<double> hannInside(long n) {
  std::vector<double> w(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i)
    w[static_cast<std::size_t>(i)] =
        0.5 - 0.5 * std::cos(kTwoPi * static_cast<double>(i + 1) / static_cast<double>(n + 1));
  return w;
}

double median(std::vector<double> values) {
  const std::size_t n = values.size();
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), middle, values.end());
  if (n % 2 == 1) return *middle;
  return 0.5 * (*middle + *std::max_element(values.begin(), middle));
}

// Index k of an n-point transform as the index of an N-point transform with the nearest
// frequency (k / n, or (k - n) / n from n/2 on, as fftfreq orders them): exactly k N / n
// where n divides N.
long nearestBin(long k, long N, long n) {
  const long s = k < (n + 1) / 2 ? k : k - n;
  const long b =
      std::lround(static_cast<double>(s) * static_cast<double>(N) / static_cast<double>(n));
  return ((b % N) + N) % N;
}

// The band whose patterns are continued, on the half plane (columns 0 .. Wd / 2) of the
// Wd x Hd grid the peaks are searched on: what the filters remove where they keep most
// of the spectrum (reject filters), what they keep otherwise (pass filters). The filters
// are applied in order to a W x H buffer of ones (their apply checks that they are built
// for this size); each frequency of the search grid takes the gain of the transform's
// nearest one (the same frequency where Wd divides W and Hd divides H).
Block<float> bandOf(const std::vector<const vxFrequencyFilter*>& filters, long W, long H, long Wd,
                    long Hd) {
  const long columns = Wd / 2 + 1;
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
      const float* v = e + 2 * at(nearestBin(x, W, Wd), nearestBin(y, H, Hd), W);
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

}  // namespace

// The patterns of the picture in the band: the frequencies of the peaks of its
// Hann-windowed spectrum that stand out (see the constants above), searched in the half
// plane kx >= 0 (k and -k are one pattern). The search runs on the picture's plain
// transform (Wd x Hd, its own size), the refinement then reaches a 256th of a
// bin of the padded transform.
std::vector<Frequency> findPatterns(const Picture& picture,
                                    const std::vector<const vxFrequencyFilter*>& filters, long W,
                                    long H) {
  const long h = picture.h, w = picture.w;
  // The picture's own transform (the next powers of two in the compatible mode),
  // whatever the caller's sizing rule.
  const vxSizingScope own(vxSizeRule::OwnSize);
  const vxPair<long> searched = vfTransformSize(w, h);
  const long Wd = searched.x, Hd = searched.y;
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
  // Rounds enough to reach a 256th of a bin of the padded transform along both axes.
  int rounds = kRefinements;
  for (long r = 1; r * Wd < W || r * Hd < H; r *= 2) ++rounds;
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

}  // namespace vx_detail::patterns
