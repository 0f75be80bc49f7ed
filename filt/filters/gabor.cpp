// Gabor and Gabor-reject filters.
//
// Both tabulate the same profile over a window of elements around the centre point;
// they differ in the gain formula (e or 1 - e), in what happens outside the window
// (zeroed, or left alone), in the mask band (the window's rows, or none) and in the
// DC square (cleared after filtering, or saved before and written back after). The
// code is written once for both, in GaborFilterFamily; the members of the classes
// below hand their work to it.
#include "filt/freqfilt.h"

#include "filt/buffer/access.h"
#include "filt/common/messages.h"
#include "filt/filters/archive.h"
#include "filt/filters/checks.h"
#include "filt/filters/dc_square.h"
#include "filt/filters/fields.h"
#include "filt/filters/gain_table.h"
#include "filt/threads/rows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace vx_detail {

namespace {
// Elements outside a filter's window: zeroed by the Gabor filter, kept by the reject
// filter (copied when the target is another buffer).
void outside(bool reject, const float* source, float* target, std::size_t floats) {
  if (!reject)
    std::fill(target, target + floats, 0.0f);
  else if (target != source)
    std::copy(source, source + floats, target);
}
// One element times a real gain; `source` and `target` may be the same element.
void scale(const float* source, float* target, float gain) {
  const float re = source[0];
  const float im = source[1];
  target[0] = re * gain;
  target[1] = im * gain;
}
}  // namespace

struct GaborFilterFamily {
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
  template <class F>
  static const wchar_t* negativeRadiusMessage(const F& f) {
    return rejects(f) ? msg::kDcProtectionNegative : msg::kDcRemovalNegative;
  }

  // What fields.h reaches through the family.
  template <class F>
  static GainTable table(F& f) {
    return GainTable(f.tableStorage_, f.table_);
  }
  template <class F>
  static const float* tablePointer(const F& f) {
    return f.table_;
  }
  template <class F>
  static auto& initialized(F& f) {
    return f.initialized_;
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

  // A setter: nothing when the value is the stored one, else a rebuild with it and the
  // other stored parameters.
  template <class F, class T>
  static void change(F& f, T Params::*member, const T& value) {
    requireTable(f.table_);
    Params p = params(f);
    if (p.*member == value) return;
    p.*member = value;
    create(f, p);
  }
  // A getter: the field's value, once the table is there.
  template <class F, class T>
  static T get(const F& f, const T& field) {
    requireTable(f.table_);
    return field;
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

  template <class F>
  static void apply(const F& f, const vxFrequencyBuffer& source, vxFrequencyBuffer& target,
                    bool outOfPlace) {
    checkApply(source, f.table_ != nullptr, msg::kFilterUninitialized, f.sizeX_, f.sizeY_);
    const long dcRadius = radius(f);
    const bool reject = rejects(f);
    const DcValues saved = dcBefore(reject, source, dcRadius);
    const long w = source.width();
    const long h = source.height();
    if (outOfPlace) FrequencyBufferAccess::setAndAllocate(target, w, h);

    const Anchor at = anchor(f);
    if (reject) {
      FrequencyBufferAccess::setMask(target, 0, 0, 0);
    } else {
      // Centred row indices, not clipped to the buffer.
      const std::int64_t hh = f.supportHeight_ >> 1;
      FrequencyBufferAccess::setMask(target, 1, static_cast<long>(at.by - hh),
                                     static_cast<long>(at.by + hh));
    }
    filterWindow(f.table_, f.supportWidth_, f.supportHeight_, at, reject,
                 FrequencyBufferAccess::data(source), FrequencyBufferAccess::data(target),
                 static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
    dcAfter(reject, target, dcRadius, saved);
  }

  // Archive form of one class level (after its version byte).
  template <class F>
  static void serialize(F& f, vxArchive& ar, unsigned char version) {
    checkFilterVersion(version);
    loadGuarded(
        ar,
        [&] {
          serializeBaseLevel(ar, f,
                             [&](unsigned char v) { f.vxFrequencyFilter::serialize_(ar, v); });
          archiveFields<GaborFilterFamily>(ar, f);
          const bool valid = f.supportWidth_ >= 1 && f.supportWidth_ % 2 == 1 &&
                             f.supportHeight_ >= 1 && f.supportHeight_ % 2 == 1 &&
                             entries(f) <= GainTable::kMaxEntries && isFilterSize(f.sizeX_) &&
                             isFilterSize(f.sizeY_);
          table(f).archive(ar, valid ? entries(f) : 0, valid);
        },
        [&] {
          table(f).drop();
          f.initialized_ = false;
        });
  }
};

}  // namespace vx_detail

using vx_detail::assignFilter;
using vx_detail::dispatchClassLevel;
using vx_detail::equalFilters;
using vx_detail::moveFilter;
using Family = vx_detail::GaborFilterFamily;

// ---------------------------------------------------------------------------------
// vxFrequencyFilterGabor

vxFrequencyFilterGabor::vxFrequencyFilterGabor() = default;

vxFrequencyFilterGabor::vxFrequencyFilterGabor(const vxPair<double>& sigma,
                                               const vxPair<double>& plateau, vxRadian angle,
                                               double frequency, const vxPair<long>& size,
                                               long radius) {
  set(sigma, plateau, angle, frequency, size, radius);
}

vxFrequencyFilterGabor::vxFrequencyFilterGabor(const vxFrequencyFilterGabor& other)
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = other;
}

vxFrequencyFilterGabor::~vxFrequencyFilterGabor() = default;

// The fields are assigned through assignFilter, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
vxFrequencyFilterGabor& vxFrequencyFilterGabor::operator=(const vxFrequencyFilterGabor& other) {
  if (this != &other) assignFilter<Family>(*this, other);
  return *this;
}

vxFrequencyFilterGabor::vxFrequencyFilterGabor(vxFrequencyFilterGabor&& other) noexcept
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  moveFilter<Family>(*this, other);
}

// The fields are moved through moveFilter, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
vxFrequencyFilterGabor& vxFrequencyFilterGabor::operator=(vxFrequencyFilterGabor&& other) noexcept {
  if (this != &other) moveFilter<Family>(*this, other);
  return *this;
}

bool vxFrequencyFilterGabor::operator==(const vxFrequencyFilterGabor& other) const {
  return equalFilters<Family>(*this, other);
}

vxFrequencyFilter* vxFrequencyFilterGabor::clone() const {
  return new vxFrequencyFilterGabor(*this);
}

void vxFrequencyFilterGabor::apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const {
  Family::apply(*this, in, out, true);
}

void vxFrequencyFilterGabor::apply(vxFrequencyBuffer& buffer) const {
  Family::apply(*this, buffer, buffer, false);
}

void vxFrequencyFilterGabor::set(const vxPair<double>& sigma, const vxPair<double>& plateau,
                                 vxRadian angle, double frequency, const vxPair<long>& size,
                                 long radius) {
  create(sigma, plateau, angle, frequency, size, radius);
}

void vxFrequencyFilterGabor::create(const vxPair<double>& sigma, const vxPair<double>& plateau,
                                    vxRadian angle, double frequency, const vxPair<long>& size,
                                    long radius) {
  Family::create(*this, Family::Params{sigma, plateau, angle, frequency, size, radius});
}

vxRadian vxFrequencyFilterGabor::angle() const { return Family::get(*this, angle_); }
void vxFrequencyFilterGabor::angle(vxRadian value) {
  Family::change(*this, &Family::Params::angle, value);
}
double vxFrequencyFilterGabor::frequency() const { return Family::get(*this, frequency_); }
void vxFrequencyFilterGabor::frequency(double value) {
  Family::change(*this, &Family::Params::frequency, value);
}
vxPair<double> vxFrequencyFilterGabor::sigma() const { return Family::get(*this, sigma_); }
void vxFrequencyFilterGabor::sigma(const vxPair<double>& value) {
  Family::change(*this, &Family::Params::sigma, value);
}
vxPair<double> vxFrequencyFilterGabor::plateau() const { return Family::get(*this, plateau_); }
void vxFrequencyFilterGabor::plateau(const vxPair<double>& value) {
  Family::change(*this, &Family::Params::plateau, value);
}
vxPair<long> vxFrequencyFilterGabor::size() const {
  return Family::get(*this, vxPair<long>(sizeX_, sizeY_));
}
void vxFrequencyFilterGabor::size(const vxPair<long>& value) {
  Family::change(*this, &Family::Params::size, value);
}
long vxFrequencyFilterGabor::dcRemovalRadius() const {
  return Family::get(*this, dcRemovalRadius_);
}
void vxFrequencyFilterGabor::dcRemovalRadius(long value) {
  Family::change(*this, &Family::Params::radius, value);
}
long vxFrequencyFilterGabor::supportWidth() const { return Family::get(*this, supportWidth_); }
long vxFrequencyFilterGabor::supportHeight() const { return Family::get(*this, supportHeight_); }

void vxFrequencyFilterGabor::serialize_(vxArchive& ar, unsigned char version) {
  Family::serialize(*this, ar, version);
}

void vxFrequencyFilterGabor::dispatchSerialize(vxArchive& ar) {
  dispatchClassLevel(ar, this, sizeof(vxFrequencyFilterGabor), [&](unsigned char version) {
    vxFrequencyFilterGabor::serialize_(ar, version);
  });
}

vxPersistent* vxFrequencyFilterGabor::make() { return new vxFrequencyFilterGabor(); }

vx_Instantiator vxFrequencyFilterGabor::sExemplar(typeid(vxFrequencyFilterGabor),
                                                  &vxFrequencyFilterGabor::make);

// ---------------------------------------------------------------------------------
// vxFrequencyFilterGaborReject

vxFrequencyFilterGaborReject::vxFrequencyFilterGaborReject() = default;

vxFrequencyFilterGaborReject::vxFrequencyFilterGaborReject(const vxPair<double>& sigma,
                                                           const vxPair<double>& plateau,
                                                           vxRadian angle, double frequency,
                                                           const vxPair<long>& size, long radius) {
  set(sigma, plateau, angle, frequency, size, radius);
}

vxFrequencyFilterGaborReject::vxFrequencyFilterGaborReject(
    const vxFrequencyFilterGaborReject& other)
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = other;
}

vxFrequencyFilterGaborReject::~vxFrequencyFilterGaborReject() = default;

// The fields are assigned through assignFilter, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
vxFrequencyFilterGaborReject& vxFrequencyFilterGaborReject::operator=(
    const vxFrequencyFilterGaborReject& other) {
  if (this != &other) assignFilter<Family>(*this, other);
  return *this;
}

vxFrequencyFilterGaborReject::vxFrequencyFilterGaborReject(
    vxFrequencyFilterGaborReject&& other) noexcept
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  moveFilter<Family>(*this, other);
}

// The fields are moved through moveFilter, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
vxFrequencyFilterGaborReject& vxFrequencyFilterGaborReject::operator=(
    vxFrequencyFilterGaborReject&& other) noexcept {
  if (this != &other) moveFilter<Family>(*this, other);
  return *this;
}

bool vxFrequencyFilterGaborReject::operator==(const vxFrequencyFilterGaborReject& other) const {
  return equalFilters<Family>(*this, other);
}

vxFrequencyFilter* vxFrequencyFilterGaborReject::clone() const {
  return new vxFrequencyFilterGaborReject(*this);
}

void vxFrequencyFilterGaborReject::apply(const vxFrequencyBuffer& in,
                                         vxFrequencyBuffer& out) const {
  Family::apply(*this, in, out, true);
}

void vxFrequencyFilterGaborReject::apply(vxFrequencyBuffer& buffer) const {
  Family::apply(*this, buffer, buffer, false);
}

void vxFrequencyFilterGaborReject::set(const vxPair<double>& sigma, const vxPair<double>& plateau,
                                       vxRadian angle, double frequency, const vxPair<long>& size,
                                       long radius) {
  create(sigma, plateau, angle, frequency, size, radius);
}

void vxFrequencyFilterGaborReject::create(const vxPair<double>& sigma,
                                          const vxPair<double>& plateau, vxRadian angle,
                                          double frequency, const vxPair<long>& size, long radius) {
  Family::create(*this, Family::Params{sigma, plateau, angle, frequency, size, radius});
}

vxRadian vxFrequencyFilterGaborReject::angle() const { return Family::get(*this, angle_); }
void vxFrequencyFilterGaborReject::angle(vxRadian value) {
  Family::change(*this, &Family::Params::angle, value);
}
double vxFrequencyFilterGaborReject::frequency() const { return Family::get(*this, frequency_); }
void vxFrequencyFilterGaborReject::frequency(double value) {
  Family::change(*this, &Family::Params::frequency, value);
}
vxPair<double> vxFrequencyFilterGaborReject::sigma() const { return Family::get(*this, sigma_); }
void vxFrequencyFilterGaborReject::sigma(const vxPair<double>& value) {
  Family::change(*this, &Family::Params::sigma, value);
}
vxPair<double> vxFrequencyFilterGaborReject::plateau() const {
  return Family::get(*this, plateau_);
}
void vxFrequencyFilterGaborReject::plateau(const vxPair<double>& value) {
  Family::change(*this, &Family::Params::plateau, value);
}
vxPair<long> vxFrequencyFilterGaborReject::size() const {
  return Family::get(*this, vxPair<long>(sizeX_, sizeY_));
}
void vxFrequencyFilterGaborReject::size(const vxPair<long>& value) {
  Family::change(*this, &Family::Params::size, value);
}
long vxFrequencyFilterGaborReject::dcProtectionRadius() const {
  return Family::get(*this, dcProtectionRadius_);
}
void vxFrequencyFilterGaborReject::dcProtectionRadius(long value) {
  Family::change(*this, &Family::Params::radius, value);
}
long vxFrequencyFilterGaborReject::supportWidth() const {
  return Family::get(*this, supportWidth_);
}
long vxFrequencyFilterGaborReject::supportHeight() const {
  return Family::get(*this, supportHeight_);
}

void vxFrequencyFilterGaborReject::serialize_(vxArchive& ar, unsigned char version) {
  Family::serialize(*this, ar, version);
}

void vxFrequencyFilterGaborReject::dispatchSerialize(vxArchive& ar) {
  dispatchClassLevel(ar, this, sizeof(vxFrequencyFilterGaborReject), [&](unsigned char version) {
    vxFrequencyFilterGaborReject::serialize_(ar, version);
  });
}

vxPersistent* vxFrequencyFilterGaborReject::make() { return new vxFrequencyFilterGaborReject(); }

vx_Instantiator vxFrequencyFilterGaborReject::sExemplar(typeid(vxFrequencyFilterGaborReject),
                                                        &vxFrequencyFilterGaborReject::make);
