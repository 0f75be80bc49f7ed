// Gabor and Gabor-reject filters.
//
// Both tabulate the same profile over a window of elements around the centre point;
// they differ in the gain formula (e or 1 - e), in what happens outside the window
// (zeroed, or left alone), in the mask band (the window's rows, or none) and in the
// DC square (cleared after filtering, or saved before and written back after). The
// code below is written once for both.
#include "filt/freqfilt.h"

#include "filt/filters/detail.h"
#include "filt/common/messages.h"
#include "filt/threads/rows.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace vx_detail {

struct GaborFilterCore {
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
    return Params{f.sigma_,
                  f.plateau_,
                  f.angle_,
                  f.frequency_,
                  vxPair<long>(f.sizeX_, f.sizeY_),
                  FilterCore::radius(f)};
  }

  // The fields, in archive order, of one or more filters (FilterCore's assign, equal
  // and archiveFields go through them).
  template <class Visit, class... F>
  static void fields(Visit&& visit, F&... f) {
    visit(f.supportWidth_...);
    visit(f.supportHeight_...);
    visit(f.angle_...);
    visit(f.frequency_...);
    visit(f.sigma_...);
    visit(f.plateau_...);
    visit(FilterCore::size(f)...);
    visit(FilterCore::radius(f)...);
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
      throw std::length_error("Gabor filter table too large");
    std::int32_t n = static_cast<std::int32_t>(extent);
    if (n % 2 == 0) ++n;
    return n;
  }

  // The build. Every check comes before the first change.
  template <class F>
  static void create(F& f, const Params& p) {
    FilterCore::checkFrequency(p.frequency);
    if (p.sigma.x <= 0.0 || p.sigma.y <= 0.0)
      throw vxFrequencyDefs::InvalidArgument(msg::kSigmasPositive);
    if (p.plateau.x < 0.0 || p.plateau.y < 0.0)
      throw vxFrequencyDefs::InvalidArgument(msg::kPlateausNegative);
    FilterCore::checkRadiusAndSize(f, p.radius, p.size);
    // The comparisons above let a NaN through; a build cannot use one.
    if (std::isnan(p.sigma.x) || std::isnan(p.sigma.y) || std::isnan(p.plateau.x) || std::isnan(p.plateau.y))
      throw std::invalid_argument("Gabor sigma and plateau must be numbers");

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
    if (count > FilterCore::kMaxTableEntries)
      throw std::length_error("Gabor filter table too large");

    FilterCore::noticeMutation(f);
    const std::size_t oldEntries = entries(f);
    f.supportWidth_ = width;
    f.supportHeight_ = height;
    f.sigma_ = p.sigma;
    f.plateau_ = p.plateau;
    f.angle_ = p.angle;
    f.frequency_ = p.frequency;
    f.sizeX_ = static_cast<std::int32_t>(p.size.x);
    f.sizeY_ = static_cast<std::int32_t>(p.size.y);
    FilterCore::radius(f) = static_cast<std::int32_t>(p.radius);
    FilterCore::reuseOrAllocate(f.tableStorage_, f.table_, oldEntries, count);

    const Anchor at = anchor(f);
    const std::int32_t hw = width >> 1;
    const std::int32_t hh = height >> 1;
    const double gx = 1.0 / (Sx * -2.0 * Sx);
    const double gy = 1.0 / (Sy * -2.0 * Sy);
    // Offsets from the centre point turned into the filter's axes: along the
    // direction (u) and across it (v).
    const vxXform<2> toFilterAxes(vxMatrix<2>(1.0, 1.0, vxRadian(0.0), vxRadian(-p.angle.value())),
                                  vxVector<2>(0.0, 0.0));
    const bool reject = FilterCore::rejects(f);
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
    FilterCore::setInitialized(f, true);
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
          FilterCore::outside(reject, src, dst, rowFloats);
          continue;
        }
        const float* gains = table + (Y - y0) * tableWidth;
        for (std::int32_t u = 0; u < w; ++u) {
          const std::int64_t X = (u + (w >> 1)) % w;
          if (X >= x0 && X <= x1) {
            FilterCore::scale(src + 2 * u, dst + 2 * u, gains[X - x0]);
          } else {
            FilterCore::outside(reject, src + 2 * u, dst + 2 * u, 2);
          }
        }
      }
    });
  }

  template <class F>
  static void apply(const F& f, const vxFrequencyBuffer& source, vxFrequencyBuffer& target,
                    bool outOfPlace) {
    FilterCore::checkApply(source, f.table_ != nullptr, msg::kFilterUninitialized, f.sizeX_,
                           f.sizeY_);
    const long dcRadius = FilterCore::radius(f);
    const bool reject = FilterCore::rejects(f);
    const DcValues saved = FilterCore::dcBefore(reject, source, dcRadius);
    const long w = source.width();
    const long h = source.height();
    if (outOfPlace) FilterCore::setAndAllocate(target, w, h);

    const Anchor at = anchor(f);
    if (reject) {
      FilterCore::setMask(target, 0, 0, 0);
    } else {
      // Centred row indices, not clipped to the buffer.
      const std::int64_t hh = f.supportHeight_ >> 1;
      FilterCore::setMask(target, 1, static_cast<long>(at.by - hh), static_cast<long>(at.by + hh));
    }
    filterWindow(f.table_, f.supportWidth_, f.supportHeight_, at, reject,
                 FrequencyBufferAccess::data(source), FrequencyBufferAccess::data(target),
                 static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
    FilterCore::dcAfter(reject, target, dcRadius, saved);
  }

  // Archive form of one class level (after its version byte).
  template <class F>
  static void serialize(F& f, vxArchive& ar, unsigned char version) {
    FilterCore::checkVersion(version);
    FilterCore::loadGuarded(ar, f, f.tableStorage_, f.table_, [&] {
      FilterCore::serializeBaseLevel(f, ar);
      FilterCore::archiveFields<GaborFilterCore>(ar, f);
      const bool valid = f.supportWidth_ >= 1 && f.supportWidth_ % 2 == 1 &&
                         f.supportHeight_ >= 1 && f.supportHeight_ % 2 == 1 &&
                         entries(f) <= FilterCore::kMaxTableEntries &&
                         FilterCore::isFilterSize(f.sizeX_) && FilterCore::isFilterSize(f.sizeY_);
      FilterCore::archiveTable(ar, f.tableStorage_, f.table_, valid ? entries(f) : 0, valid);
    });
  }
};

}  // namespace vx_detail

// The members of the Gabor classes beyond those all table filters share. Every name
// the macro needs is passed in or fully qualified.
#define VXFREQ_DEFINE_GABOR_FILTER(Class, Core)                                                    \
  Class::Class(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,         \
               double frequency, const vxPair<long>& size, long radius) {                          \
    create(sigma, plateau, angle, frequency, size, radius);                                        \
  }                                                                                                \
  void Class::set(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,      \
                  double frequency, const vxPair<long>& size, long radius) {                       \
    create(sigma, plateau, angle, frequency, size, radius);                                        \
  }                                                                                                \
  void Class::create(const vxPair<double>& sigma, const vxPair<double>& plateau, vxRadian angle,   \
                     double frequency, const vxPair<long>& size, long radius) {                    \
    Core::create(*this, Core::Params{sigma, plateau, angle, frequency, size, radius});             \
  }                                                                                                \
  vxRadian Class::angle() const { return vx_detail::FilterCore::get(*this, &Class::angle_); }      \
  void Class::angle(vxRadian value) {                                                              \
    vx_detail::FilterCore::change<Core>(*this, &Core::Params::angle, value);                       \
  }                                                                                                \
  long Class::supportHeight() const {                                                              \
    return vx_detail::FilterCore::get(*this, &Class::supportHeight_);                              \
  }

VXFREQ_DEFINE_GABOR_FILTER(vxFrequencyFilterGabor, vx_detail::GaborFilterCore)
VXFREQ_DEFINE_GABOR_FILTER(vxFrequencyFilterGaborReject, vx_detail::GaborFilterCore)
// The fields are assigned through FilterCore::assign, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
VXFREQ_DEFINE_TABLE_FILTER_COMMON(vxFrequencyFilterGabor, dcRemovalRadius, vx_detail::GaborFilterCore,
                                  vxPair<double>, const vxPair<double>&);
// The fields are assigned through FilterCore::assign, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
VXFREQ_DEFINE_TABLE_FILTER_COMMON(vxFrequencyFilterGaborReject, dcProtectionRadius,
                                  vx_detail::GaborFilterCore, vxPair<double>, const vxPair<double>&);

#undef VXFREQ_DEFINE_GABOR_FILTER
#undef VXFREQ_DEFINE_TABLE_FILTER_COMMON
