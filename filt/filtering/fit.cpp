// The fit of the patterns (filt/filtering/fit.h): a least-squares amplitude over the
// picture, and a local one from the normalized convolution of the demodulated picture.
#include "filt/filtering/fit.h"

#include "filt/image/padding_layout.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace vx_detail::patterns {

namespace {

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

}  // namespace

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

}  // namespace vx_detail::patterns
