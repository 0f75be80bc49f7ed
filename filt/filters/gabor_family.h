// The Gabor family (internal): Gabor and Gabor-reject filters.
//
// Both tabulate the same profile over a window of elements around the centre point;
// they differ in the gain formula (e or 1 - e), in what happens outside the window
// (zeroed, or left alone), in the mask band (the window's rows, or none) and in the
// DC square (cleared after filtering, or saved before and written back after).
// GaborFilterFamily, the friend of both classes, holds that code once; parametric.cpp
// binds the classes' members to it.
#ifndef VXFREQ_FILT_FILTERS_GABOR_FAMILY_H
#define VXFREQ_FILT_FILTERS_GABOR_FAMILY_H

#include "filt/filters/parametric.h"

#include <cmath>
#include <cstdint>

namespace vx_detail {

struct GaborFilterFamily : ParametricFamily<GaborFilterFamily> {
  // What tells the Gabor and the Gabor-reject filter apart, and the name of their DC
  // radius.
  static constexpr bool rejects(const vxFrequencyFilterGabor&) { return false; }
  static constexpr bool rejects(const vxFrequencyFilterGaborReject&) { return true; }
  static std::int32_t& radius(vxFrequencyFilterGabor& f) { return f.dcRemovalRadius_; }
  static std::int32_t radius(const vxFrequencyFilterGabor& f) { return f.dcRemovalRadius_; }
  static std::int32_t& radius(vxFrequencyFilterGaborReject& f) { return f.dcProtectionRadius_; }
  static std::int32_t radius(const vxFrequencyFilterGaborReject& f) {
    return f.dcProtectionRadius_;
  }

  struct Params {
    vxPair<double> sigma;
    vxPair<double> plateau;
    vxRadian angle;
    double frequency;
    vxPair<long> size;
    long radius;
  };

  // Where the table's middle entry lies: element (bx, by) in centred indices, and the
  // centre point's offset (fx, fy) from it.
  struct Anchor {
    std::int32_t bx;
    std::int32_t by;
    double fx;
    double fy;
  };

  template <class F>
  static std::size_t entries(const F& f) {
    return static_cast<std::size_t>(f.supportWidth_) * static_cast<std::size_t>(f.supportHeight_);
  }

  template <class F>
  static Params params(const F& f) {
    return Params{f.sigma_, f.plateau_, f.angle_, f.frequency_, vxPair<long>(f.sizeX_, f.sizeY_),
                  radius(f)};
  }

  // The fields, in archive order, of one or more filters (fields.h goes through them).
  template <class Visit, class... F>
  static void fields(Visit&& visit, F&... f) {
    visit(f.supportWidth_...);
    visit(f.supportHeight_...);
    visit(f.angle_...);
    visit(f.frequency_...);
    visit(f.sigma_...);
    visit(f.plateau_...);
    visit(sizeField(f.sizeX_, f.sizeY_)...);
    visit(radius(f)...);
  }

  // Computed alike by the build and by apply.
  template <class F>
  static Anchor anchor(const F& f) {
    const double W = static_cast<double>(f.sizeX_);
    const double r = static_cast<double>(f.sizeY_) / W;
    const double a = f.angle_.value();
    const double cx = std::cos(a) * (W * f.frequency_) + static_cast<double>(f.sizeX_ >> 1);
    const double cy = std::sin(a) * (W * f.frequency_) * r + static_cast<double>(f.sizeY_ >> 1);
    Anchor result;
    result.bx = truncToInt32(cx);
    result.by = truncToInt32(cy);
    result.fx = cx - result.bx;
    result.fy = cy - result.by;
    return result;
  }

  // A support extent truncated to 32 bits and made odd; too large for a table with a
  // 32-bit entry count (or not a number) throws.
  static std::int32_t oddExtent(double extent) {
    if (!(extent >= 0.0 && extent < 2147483647.0))
      throw vxFrequencyDefs::InvalidSize(msg::kFilterTableTooLarge);
    std::int32_t n = static_cast<std::int32_t>(extent);
    if (n % 2 == 0) ++n;
    return n;
  }

  // The build. Every check comes before the first change.
  template <class F>
  static void create(F& f, const Params& p) {
    checkFrequency(p.frequency);
    if (p.sigma.x <= 0.0 || p.sigma.y <= 0.0)
      throw vxFrequencyDefs::InvalidArgument(msg::kSigmasPositive);
    if (p.plateau.x < 0.0 || p.plateau.y < 0.0)
      throw vxFrequencyDefs::InvalidArgument(msg::kPlateausNegative);
    checkRadiusAndSize(p.radius, p.size, negativeRadiusMessage(f));
    // The comparisons above let a NaN through; a build cannot use one.
    if (std::isnan(p.sigma.x) || std::isnan(p.sigma.y))
      throw vxFrequencyDefs::InvalidArgument(msg::kSigmasNumbers);
    if (std::isnan(p.plateau.x) || std::isnan(p.plateau.y))
      throw vxFrequencyDefs::InvalidArgument(msg::kPlateausNumbers);
    // Nor an angle that is not a finite number, whose direction is undefined.
    if (!std::isfinite(p.angle.value())) throw vxFrequencyDefs::InvalidArgument(msg::kAngleFinite);

    // Lengths in horizontal bins.
    const double W = static_cast<double>(p.size.x);
    const double H = static_cast<double>(p.size.y);
    const double r = H / W;
    const double Sx = W * p.sigma.x;
    const double Sy = W * p.sigma.y;
    const double Px = W * p.plateau.x;
    const double Py = W * p.plateau.y;
    const double c = std::fabs(std::cos(p.angle.value()));
    const double s = std::fabs(std::sin(p.angle.value()));
    const std::int32_t width =
        oddExtent(maxOf(c * Sx, s * Sy) * 8.0 + maxOf(c * Px, s * Py) * 2.0 + W * 0.05);
    const std::int32_t height =
        oddExtent((maxOf(c * Sy, s * Sx) * r) * 8.0 + (maxOf(c * Py, s * Px) * r) * 2.0 + H * 0.05);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (count > GainTable::kMaxEntries)
      throw vxFrequencyDefs::InvalidSize(msg::kFilterTableTooLarge);

    if (f.mutationFlag()) f.mutating_();
    const std::size_t oldEntries = entries(f);
    f.supportWidth_ = width;
    f.supportHeight_ = height;
    f.sigma_ = p.sigma;
    f.plateau_ = p.plateau;
    f.angle_ = p.angle;
    f.frequency_ = p.frequency;
    f.sizeX_ = static_cast<std::int32_t>(p.size.x);
    f.sizeY_ = static_cast<std::int32_t>(p.size.y);
    radius(f) = static_cast<std::int32_t>(p.radius);
    table(f).reuseOrAllocate(oldEntries, count);

    const Anchor at = anchor(f);
    const std::int32_t hw = width >> 1;
    const std::int32_t hh = height >> 1;
    const double gx = 1.0 / (Sx * -2.0 * Sx);
    const double gy = 1.0 / (Sy * -2.0 * Sy);
    // Offsets from the centre point turned into the filter's axes: along the
    // direction (u) and across it (v).
    const vxXform<2> toFilterAxes(vxMatrix<2>(1.0, 1.0, vxRadian(0.0), vxRadian(-p.angle.value())),
                                  vxVector<2>(0.0, 0.0));
    const bool reject = rejects(f);
    float* entry = f.table_;
    for (std::int32_t j = -hh; j <= hh; ++j) {
      for (std::int32_t i = -hw; i <= hw; ++i) {
        const double dx = i - at.fx;
        const double dy = (j - at.fy) * (1.0 / r);
        const vxVector<2> uv = toFilterAxes * vxVector<2>(dx, dy);
        double du = std::fabs(uv.x()) - Px;
        if (du < 0.0) du = 0.0;
        double dv = std::fabs(uv.y()) - Py;
        if (dv < 0.0) dv = 0.0;
        const double e = std::exp(dv * dv * gy + du * du * gx);
        *entry++ = reject ? static_cast<float>(1.0 - e) : static_cast<float>(e);
      }
    }
    f.initialized_ = true;
  }

  // Multiplies the window's elements by the table; elements outside it are zeroed
  // (`reject` false) or kept. `source` and `target` may be the same values.
  static void filterWindow(const float* table, std::int32_t tableWidth, std::int32_t tableHeight,
                           const Anchor& at, bool reject, const float* source, float* target,
                           std::int32_t w, std::int32_t h) {
    const std::int64_t hw = tableWidth >> 1;
    const std::int64_t hh = tableHeight >> 1;
    const std::int64_t x0 = at.bx - hw;
    const std::int64_t x1 = at.bx + hw;
    const std::int64_t y0 = at.by - hh;
    const std::int64_t y1 = at.by + hh;
    const std::size_t rowFloats = 2 * static_cast<std::size_t>(w);
    splitRows(h, w, [&](long first, long end) {
      for (auto v = static_cast<std::int32_t>(first); v < end; ++v) {
        const float* src = source + rowFloats * static_cast<std::size_t>(v);
        float* dst = target + rowFloats * static_cast<std::size_t>(v);
        const std::int64_t Y = (v + (h >> 1)) % h;
        if (Y < y0 || Y > y1) {
          outside(reject, src, dst, rowFloats);
          continue;
        }
        const float* gains = table + (Y - y0) * tableWidth;
        for (std::int32_t u = 0; u < w; ++u) {
          const std::int64_t X = (u + (w >> 1)) % w;
          if (X >= x0 && X <= x1) {
            scale(src + 2 * u, dst + 2 * u, gains[X - x0]);
          } else {
            outside(reject, src + 2 * u, dst + 2 * u, 2);
          }
        }
      }
    });
  }

  // apply sizes its output after the DC step (see ParametricFamily::apply).
  static constexpr bool kSizesOutFirst = false;
  // A lobe at one frequency and not at its mirror: the result is complex.
  static constexpr bool kKeepsSymmetry = false;

  // Filters the window's rows and sets the mask band to them for the Gabor filter
  // (ParametricFamily::apply has checked and saved the DC square).
  template <class F>
  static void filter(const F& f, const float* source, float* target, std::int32_t w, std::int32_t h,
                     bool /*outOfPlace*/, vxFrequencyBuffer& out) {
    const Anchor at = anchor(f);
    const bool reject = rejects(f);
    if (reject) {
      FrequencyBufferAccess::setMask(out, 0, 0, 0);
    } else {
      // Centred row indices, not clipped to the buffer.
      const std::int64_t hh = f.supportHeight_ >> 1;
      FrequencyBufferAccess::setMask(out, 1, static_cast<long>(at.by - hh),
                                     static_cast<long>(at.by + hh));
    }
    filterWindow(f.table_, f.supportWidth_, f.supportHeight_, at, reject, source, target, w, h);
  }

  // Whether loaded fields may be built on: odd, positive table sides and an entry count
  // a build can make.
  template <class F>
  static bool archivable(const F& f) {
    return f.supportWidth_ >= 1 && f.supportWidth_ % 2 == 1 && f.supportHeight_ >= 1 &&
           f.supportHeight_ % 2 == 1 && entries(f) <= GainTable::kMaxEntries;
  }
};

}  // namespace vx_detail

#endif
