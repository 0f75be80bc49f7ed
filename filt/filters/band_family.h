// The band family (internal): band-pass and band-reject filters.
//
// The two classes share everything but the gain formula (e for the pass filter,
// 1 - e for the reject filter), what happens to elements outside the ring (zeroed,
// or left alone) and the DC square (cleared after filtering, or saved before and
// written back after). BandFilterFamily, the friend of both classes, holds that code
// once; parametric.cpp binds the classes' members to it.
#ifndef VXFREQ_FILT_FILTERS_BAND_FAMILY_H
#define VXFREQ_FILT_FILTERS_BAND_FAMILY_H

#include "filt/filters/parametric.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vx_detail {

struct BandFilterFamily : ParametricFamily<BandFilterFamily> {
  // What tells the pass and the reject filter apart, and the name of their DC radius.
  static constexpr bool rejects(const vxFrequencyFilterBandPass&) { return false; }
  static constexpr bool rejects(const vxFrequencyFilterBandReject&) { return true; }
  static std::int32_t& radius(vxFrequencyFilterBandPass& f) { return f.dcRemovalRadius_; }
  static std::int32_t radius(const vxFrequencyFilterBandPass& f) { return f.dcRemovalRadius_; }
  static std::int32_t& radius(vxFrequencyFilterBandReject& f) { return f.dcProtectionRadius_; }
  static std::int32_t radius(const vxFrequencyFilterBandReject& f) { return f.dcProtectionRadius_; }

  // Table entries per frequency bin.
  static constexpr std::int32_t kSamplesPerBin = 32;
  // Largest support width whose table still has a 32-bit entry count.
  static constexpr std::int32_t kMaxSupport =
      static_cast<std::int32_t>(GainTable::kMaxEntries / kSamplesPerBin);

  struct Params {
    double sigma;
    double plateau;
    double frequency;
    vxPair<long> size;
    long radius;
  };

  template <class F>
  static std::size_t entries(const F& f) {
    return static_cast<std::size_t>(f.supportWidth_) * static_cast<std::size_t>(f.samplesPerBin_);
  }

  template <class F>
  static Params params(const F& f) {
    return Params{f.sigma_, f.plateau_, f.frequency_, vxPair<long>(f.sizeX_, f.sizeY_), radius(f)};
  }

  // The fields, in archive order, of one or more filters (fields.h goes through them).
  template <class Visit, class... F>
  static void fields(Visit&& visit, F&... f) {
    visit(f.supportWidth_...);
    visit(f.samplesPerBin_...);
    visit(f.frequency_...);
    visit(f.sigma_...);
    visit(f.plateau_...);
    visit(sizeField(f.sizeX_, f.sizeY_)...);
    visit(radius(f)...);
  }

  // The build. Every check comes before the first change.
  template <class F>
  static void create(F& f, const Params& p) {
    checkFrequency(p.frequency);
    if (!(p.sigma > 0.0)) throw vxFrequencyDefs::InvalidArgument(msg::kSigmaPositive);
    if (!(p.plateau >= 0.0)) throw vxFrequencyDefs::InvalidArgument(msg::kPlateauNegative);
    checkRadiusAndSize(p.radius, p.size, negativeRadiusMessage(f));

    // Lengths in frequency bins of the filter's width.
    const double W = static_cast<double>(p.size.x);
    const double s = W * p.sigma;
    const double plateau = W * p.plateau;
    const double extent = 4.0 * s + plateau + 0.05 * W;
    if (!(extent < kMaxSupport)) throw vxFrequencyDefs::InvalidSize(msg::kFilterTableTooLarge);
    std::int32_t support = static_cast<std::int32_t>(extent);
    if (support % 2 == 0) ++support;

    if (f.mutationFlag()) f.mutating_();
    const std::size_t oldEntries = entries(f);
    f.supportWidth_ = support;
    f.samplesPerBin_ = kSamplesPerBin;
    f.frequency_ = p.frequency;
    f.sigma_ = p.sigma;
    f.plateau_ = p.plateau;
    f.sizeX_ = static_cast<std::int32_t>(p.size.x);
    f.sizeY_ = static_cast<std::int32_t>(p.size.y);
    radius(f) = static_cast<std::int32_t>(p.radius);
    const std::size_t count = entries(f);
    table(f).reuseOrAllocate(oldEntries, count);

    double k = -2.0 * s * s;
    if (k != 0.0) k = 1.0 / k;
    const bool reject = rejects(f);
    for (std::size_t i = 0; i < count; ++i) {
      double d = static_cast<double>(i) * 0.03125 - plateau;
      if (d < 0.0) d = 0.0;
      const double e = std::exp(d * d * k);
      f.table_[i] = reject ? static_cast<float>(1.0 - e) : static_cast<float>(e);
    }
    f.initialized_ = true;
  }

  // The smallest k >= 0 with k k > x, and the largest with k k < x (x > 0).
  static std::int32_t smallestAbove(std::int64_t x) {
    if (x < 0) return 0;
    auto k = static_cast<std::int64_t>(std::sqrt(static_cast<double>(x)));
    while (k * k > x) --k;
    while (k * k <= x) ++k;
    return static_cast<std::int32_t>(k);
  }
  static std::int32_t largestBelow(std::int64_t x) {
    auto k = static_cast<std::int64_t>(std::sqrt(static_cast<double>(x)));
    while (k * k >= x) --k;
    while ((k + 1) * (k + 1) < x) ++k;
    return static_cast<std::int32_t>(k);
  }

  // Multiplies the elements of the ring by their gains: row by row, distances in
  // horizontal bins with the row frequency scaled by width/height and truncated
  // before the square root. `source` and `target` may be the same values.
  static void filterRing(const float* table, std::int32_t support, bool reject, bool outOfPlace,
                         double frequency, const float* source, float* target, std::int32_t w,
                         std::int32_t h) {
    // Indices from ceil(n/2) on stand for the negative frequencies (fftfreq's order).
    const std::int32_t hw = (w + 1) / 2;
    const std::int32_t hh = (h + 1) / 2;
    const float rc = static_cast<float>(static_cast<double>(w) * frequency);
    const float samplesPerBin = 32.0f;
    const double aspect = static_cast<double>(h) * (1.0 / static_cast<double>(w));
    const double yscale = 1.0 / (aspect * aspect);
    const std::int32_t reach = truncToInt32(static_cast<double>(rc) * aspect + support);
    const float outerRadius = static_cast<float>(support) + rc;
    const std::int32_t outer = truncToInt32(outerRadius * outerRadius);
    const float innerRadius = rc - static_cast<float>(support);
    const std::int32_t inner = innerRadius < 0.0f ? -1 : truncToInt32(innerRadius * innerRadius);
    const std::int64_t tableEnd = static_cast<std::int64_t>(support) * 32;
    // The out-of-place reject form tests the table index, the others the ring.
    const bool byIndex = reject && outOfPlace;

    // The squared distances d2 that can be gained lie strictly between low and high: the
    // ring's own bounds, or for the index test bounds a bin wider than any index below
    // the table's end can reach.
    struct Bounds {
      std::int64_t low, high;
    };
    Bounds candidates{inner, outer};
    if (byIndex) {
      // d2 stays below 2^31, so 2^40 bounds nothing; it also stands in for the bounds of a
      // loaded frequency so large, infinite or NaN that they have no integer value (every
      // column then takes the exact test).
      constexpr double kUnbounded = 1099511627776.0;
      const double wide = static_cast<double>(rc) + support + 1.0;
      const double narrow = static_cast<double>(rc) - support - 1.0;
      candidates.high = wide * wide < kUnbounded
                            ? static_cast<std::int64_t>(std::ceil(wide * wide)) + 1
                            : static_cast<std::int64_t>(kUnbounded);
      candidates.low = narrow > 0.0 && narrow * narrow < kUnbounded
                           ? static_cast<std::int64_t>(std::floor(narrow * narrow)) - 1
                           : -1;
    }

    const std::size_t rowFloats = 2 * static_cast<std::size_t>(w);
    // |kx| runs up to kxEnd - 1 on either side of the row.
    const std::int32_t kxEnd = std::max(hw, w - hw + 1);
    // Rows a and h - a share |ky|, hence every distance: each such pair is worked out
    // once, and the square roots of a row once for both signs of kx.
    splitRows(h - hh + 1, 2 * static_cast<long>(w), [&](long first, long end) {
      // Indexed by |kx| (entries lo .. hi of the row): the gain's table index, or -1.
      std::vector<std::int32_t> gainIndex(static_cast<std::size_t>(kxEnd));
      for (auto a = static_cast<std::int32_t>(first); a < end; ++a) {
        std::int32_t rows[2];
        int count = 0;
        if (a < hh) rows[count++] = a;
        if (a > 0 && h - a >= hh) rows[count++] = h - a;
        auto notGained = [&](std::int32_t c0, std::int32_t c1) {
          if (c1 <= c0) return;
          for (int i = 0; i < count; ++i) {
            const std::size_t at = rowFloats * static_cast<std::size_t>(rows[i]) + 2 * c0;
            outside(reject, source + at, target + at, 2 * static_cast<std::size_t>(c1 - c0));
          }
        };
        if (a > reach) {
          notGained(0, w);
          continue;
        }
        const std::int32_t yy = truncToInt32(static_cast<double>(a * a) * yscale);
        // Only the columns whose |kx| lies in [lo, hi] can meet the ring; the others are
        // outside it as a whole, which spares their square roots.
        const std::int64_t room = static_cast<std::int64_t>(candidates.high) - yy;
        if (room <= 0) {
          notGained(0, w);
          continue;
        }
        const std::int32_t lo = smallestAbove(candidates.low - yy);
        const std::int32_t hi = largestBelow(room);
        if (lo > hi) {
          notGained(0, w);
          continue;
        }
        for (std::int32_t k = lo; k <= hi && k < kxEnd; ++k) {
          const std::int32_t d2 = k * k + yy;
          const std::int64_t t =
              truncToInt32((std::sqrt(static_cast<double>(d2)) - static_cast<double>(rc)) *
                           static_cast<double>(samplesPerBin));
          const std::int64_t idx = t < 0 ? -t : t;
          const bool gained = byIndex ? idx < tableEnd : (inner < d2 && d2 < outer);
          gainIndex[static_cast<std::size_t>(k)] = gained ? static_cast<std::int32_t>(idx) : -1;
        }
        // Columns kx = c (c < hw) and kx = c - w (c >= hw).
        auto gainedOrNot = [&](std::int32_t c0, std::int32_t c1) {
          for (int i = 0; i < count; ++i) {
            const float* src = source + rowFloats * static_cast<std::size_t>(rows[i]);
            float* dst = target + rowFloats * static_cast<std::size_t>(rows[i]);
            for (std::int32_t c = c0; c < c1; ++c) {
              const std::int32_t g = gainIndex[static_cast<std::size_t>(c < hw ? c : w - c)];
              if (g >= 0) {
                scale(src + 2 * c, dst + 2 * c, table[g]);
              } else {
                outside(reject, src + 2 * c, dst + 2 * c, 2);
              }
            }
          }
        };
        const std::int32_t p0 = std::min(lo, hw), p1 = std::min(hi + 1, hw);
        const std::int32_t n0 = std::max(w - hi, hw), n1 = std::max(w - std::max(lo, 1) + 1, hw);
        notGained(0, p0);
        gainedOrNot(p0, p1);
        notGained(p1, std::min(n0, n1));
        gainedOrNot(std::min(n0, n1), n1);
        notGained(n1, w);
      }
    });
  }

  // apply sizes its output before the DC step (see ParametricFamily::apply).
  static constexpr bool kSizesOutFirst = true;
  // Gains of the radius alone: a real picture's spectrum stays conjugate-symmetric.
  static constexpr bool kKeepsSymmetry = true;

  // Filters every row (ParametricFamily::apply has checked and saved the DC square).
  template <class F>
  static void filter(const F& f, const float* source, float* target, std::int32_t w, std::int32_t h,
                     bool outOfPlace, vxFrequencyBuffer& out) {
    FrequencyBufferAccess::setMask(out, 0, 0, 0);
    filterRing(f.table_, f.supportWidth_, rejects(f), outOfPlace, f.frequency_, source, target, w,
               h);
  }

  // Whether loaded fields may be built on. Refused: what would make apply read outside
  // the table. A ring radius below zero would index past it; any other frequency, sigma,
  // plateau or radius is safe.
  template <class F>
  static bool archivable(const F& f) {
    return f.supportWidth_ >= 1 && f.supportWidth_ % 2 == 1 && f.supportWidth_ <= kMaxSupport &&
           f.samplesPerBin_ == kSamplesPerBin && !(f.frequency_ < 0.0);
  }
};

}  // namespace vx_detail

#endif
