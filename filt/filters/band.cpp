// Band-pass and band-reject filters.
//
// The two classes share everything but the gain formula (e for the pass filter,
// 1 - e for the reject filter), what happens to elements outside the ring (zeroed,
// or left alone) and the DC square (cleared after filtering, or saved before and
// written back after). The code is written once for both, in BandFilterFamily; the
// members of the classes below hand their work to it.
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
// Elements outside a filter's reach: zeroed by the pass filters, kept by the reject
// filters (copied when the target is another buffer).
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

struct BandFilterFamily {
  // What tells the pass and the reject filter apart, and the name of their DC radius.
  static constexpr bool rejects(const vxFrequencyFilterBandPass&) { return false; }
  static constexpr bool rejects(const vxFrequencyFilterBandReject&) { return true; }
  static std::int32_t& radius(vxFrequencyFilterBandPass& f) { return f.dcRemovalRadius_; }
  static std::int32_t radius(const vxFrequencyFilterBandPass& f) { return f.dcRemovalRadius_; }
  static std::int32_t& radius(vxFrequencyFilterBandReject& f) { return f.dcProtectionRadius_; }
  static std::int32_t radius(const vxFrequencyFilterBandReject& f) { return f.dcProtectionRadius_; }
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

  // Multiplies the elements of the ring by their gains: row by row, distances in
  // horizontal bins with the row frequency scaled by width/height and truncated
  // before the square root. `source` and `target` may be the same values.
  static void filterRing(const float* table, std::int32_t support, bool reject, bool outOfPlace,
                         double frequency, const float* source, float* target, std::int32_t w,
                         std::int32_t h) {
    const std::int32_t hw = w / 2;
    const std::int32_t hh = h / 2;
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

    const std::size_t rowFloats = 2 * static_cast<std::size_t>(w);
    splitRows(h, w, [&](long first, long end) {
      for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
        const float* src = source + rowFloats * static_cast<std::size_t>(r);
        float* dst = target + rowFloats * static_cast<std::size_t>(r);
        const std::int32_t ky = r < hh ? r : r - h;
        if ((ky < 0 ? -ky : ky) > reach) {
          outside(reject, src, dst, rowFloats);
          continue;
        }
        const std::int32_t yy = truncToInt32(static_cast<double>(ky * ky) * yscale);
        for (std::int32_t c = 0; c < w; ++c) {
          const std::int32_t kx = c < hw ? c : c - w;
          const std::int32_t d2 = kx * kx + yy;
          const std::int64_t t =
              truncToInt32((std::sqrt(static_cast<double>(d2)) - static_cast<double>(rc)) *
                           static_cast<double>(samplesPerBin));
          const std::int64_t idx = t < 0 ? -t : t;
          const bool gained = byIndex ? idx < tableEnd : (inner < d2 && d2 < outer);
          if (gained) {
            scale(src + 2 * c, dst + 2 * c, table[idx]);
          } else {
            outside(reject, src + 2 * c, dst + 2 * c, 2);
          }
        }
      }
    });
  }

  template <class F>
  static void apply(const F& f, const vxFrequencyBuffer& source, vxFrequencyBuffer& target,
                    bool outOfPlace) {
    checkApply(source, f.table_ != nullptr, msg::kFilterUninitialized, f.sizeX_, f.sizeY_);
    const long w = source.width();
    const long h = source.height();
    if (outOfPlace) FrequencyBufferAccess::setAndAllocate(target, w, h);
    const long dcRadius = radius(f);
    const bool reject = rejects(f);
    const DcValues saved = dcBefore(reject, source, dcRadius);
    FrequencyBufferAccess::setMask(target, 0, 0, 0);
    filterRing(f.table_, f.supportWidth_, reject, outOfPlace, f.frequency_,
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
          archiveFields<BandFilterFamily>(ar, f);
          // Refused: what would make apply read outside the table. A ring radius below
          // zero would index past it; any other frequency, sigma, plateau or radius is safe.
          const bool valid = f.supportWidth_ >= 1 && f.supportWidth_ % 2 == 1 &&
                             f.supportWidth_ <= kMaxSupport && f.samplesPerBin_ == kSamplesPerBin &&
                             isFilterSize(f.sizeX_) && isFilterSize(f.sizeY_) &&
                             !(f.frequency_ < 0.0);
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
using Family = vx_detail::BandFilterFamily;

// ---------------------------------------------------------------------------------
// vxFrequencyFilterBandPass

vxFrequencyFilterBandPass::vxFrequencyFilterBandPass() = default;

vxFrequencyFilterBandPass::vxFrequencyFilterBandPass(double sigma, double plateau, double frequency,
                                                     const vxPair<long>& size, long radius) {
  set(sigma, plateau, frequency, size, radius);
}

vxFrequencyFilterBandPass::vxFrequencyFilterBandPass(const vxFrequencyFilterBandPass& other)
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = other;
}

vxFrequencyFilterBandPass::~vxFrequencyFilterBandPass() = default;

// The fields are assigned through assignFilter, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
vxFrequencyFilterBandPass& vxFrequencyFilterBandPass::operator=(
    const vxFrequencyFilterBandPass& other) {
  if (this != &other) assignFilter<Family>(*this, other);
  return *this;
}

vxFrequencyFilterBandPass::vxFrequencyFilterBandPass(vxFrequencyFilterBandPass&& other) noexcept
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  moveFilter<Family>(*this, other);
}

// The fields are moved through moveFilter, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
vxFrequencyFilterBandPass& vxFrequencyFilterBandPass::operator=(
    vxFrequencyFilterBandPass&& other) noexcept {
  if (this != &other) moveFilter<Family>(*this, other);
  return *this;
}

bool vxFrequencyFilterBandPass::operator==(const vxFrequencyFilterBandPass& other) const {
  return equalFilters<Family>(*this, other);
}

vxFrequencyFilter* vxFrequencyFilterBandPass::clone() const {
  return new vxFrequencyFilterBandPass(*this);
}

void vxFrequencyFilterBandPass::apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const {
  Family::apply(*this, in, out, true);
}

void vxFrequencyFilterBandPass::apply(vxFrequencyBuffer& buffer) const {
  Family::apply(*this, buffer, buffer, false);
}

void vxFrequencyFilterBandPass::set(double sigma, double plateau, double frequency,
                                    const vxPair<long>& size, long radius) {
  create(sigma, plateau, frequency, size, radius);
}

void vxFrequencyFilterBandPass::create(double sigma, double plateau, double frequency,
                                       const vxPair<long>& size, long radius) {
  Family::create(*this, Family::Params{sigma, plateau, frequency, size, radius});
}

double vxFrequencyFilterBandPass::frequency() const { return Family::get(*this, frequency_); }
void vxFrequencyFilterBandPass::frequency(double value) {
  Family::change(*this, &Family::Params::frequency, value);
}
double vxFrequencyFilterBandPass::sigma() const { return Family::get(*this, sigma_); }
void vxFrequencyFilterBandPass::sigma(double value) {
  Family::change(*this, &Family::Params::sigma, value);
}
double vxFrequencyFilterBandPass::plateau() const { return Family::get(*this, plateau_); }
void vxFrequencyFilterBandPass::plateau(double value) {
  Family::change(*this, &Family::Params::plateau, value);
}
vxPair<long> vxFrequencyFilterBandPass::size() const {
  return Family::get(*this, vxPair<long>(sizeX_, sizeY_));
}
void vxFrequencyFilterBandPass::size(const vxPair<long>& value) {
  Family::change(*this, &Family::Params::size, value);
}
long vxFrequencyFilterBandPass::dcRemovalRadius() const {
  return Family::get(*this, dcRemovalRadius_);
}
void vxFrequencyFilterBandPass::dcRemovalRadius(long value) {
  Family::change(*this, &Family::Params::radius, value);
}
long vxFrequencyFilterBandPass::supportWidth() const { return Family::get(*this, supportWidth_); }

void vxFrequencyFilterBandPass::serialize_(vxArchive& ar, unsigned char version) {
  Family::serialize(*this, ar, version);
}

void vxFrequencyFilterBandPass::dispatchSerialize(vxArchive& ar) {
  dispatchClassLevel(ar, this, sizeof(vxFrequencyFilterBandPass), [&](unsigned char version) {
    vxFrequencyFilterBandPass::serialize_(ar, version);
  });
}

vxPersistent* vxFrequencyFilterBandPass::make() { return new vxFrequencyFilterBandPass(); }

vx_Instantiator vxFrequencyFilterBandPass::sExemplar(typeid(vxFrequencyFilterBandPass),
                                                     &vxFrequencyFilterBandPass::make);

// ---------------------------------------------------------------------------------
// vxFrequencyFilterBandReject

vxFrequencyFilterBandReject::vxFrequencyFilterBandReject() = default;

vxFrequencyFilterBandReject::vxFrequencyFilterBandReject(double sigma, double plateau,
                                                         double frequency, const vxPair<long>& size,
                                                         long radius) {
  set(sigma, plateau, frequency, size, radius);
}

vxFrequencyFilterBandReject::vxFrequencyFilterBandReject(const vxFrequencyFilterBandReject& other)
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  *this = other;
}

vxFrequencyFilterBandReject::~vxFrequencyFilterBandReject() = default;

// The fields are assigned through assignFilter, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
vxFrequencyFilterBandReject& vxFrequencyFilterBandReject::operator=(
    const vxFrequencyFilterBandReject& other) {
  if (this != &other) assignFilter<Family>(*this, other);
  return *this;
}

vxFrequencyFilterBandReject::vxFrequencyFilterBandReject(
    vxFrequencyFilterBandReject&& other) noexcept
    : vxPersistent(), vxRepBase(), vxFrequencyFilter() {
  moveFilter<Family>(*this, other);
}

// The fields are moved through moveFilter, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
vxFrequencyFilterBandReject& vxFrequencyFilterBandReject::operator=(
    vxFrequencyFilterBandReject&& other) noexcept {
  if (this != &other) moveFilter<Family>(*this, other);
  return *this;
}

bool vxFrequencyFilterBandReject::operator==(const vxFrequencyFilterBandReject& other) const {
  return equalFilters<Family>(*this, other);
}

vxFrequencyFilter* vxFrequencyFilterBandReject::clone() const {
  return new vxFrequencyFilterBandReject(*this);
}

void vxFrequencyFilterBandReject::apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const {
  Family::apply(*this, in, out, true);
}

void vxFrequencyFilterBandReject::apply(vxFrequencyBuffer& buffer) const {
  Family::apply(*this, buffer, buffer, false);
}

void vxFrequencyFilterBandReject::set(double sigma, double plateau, double frequency,
                                      const vxPair<long>& size, long radius) {
  create(sigma, plateau, frequency, size, radius);
}

void vxFrequencyFilterBandReject::create(double sigma, double plateau, double frequency,
                                         const vxPair<long>& size, long radius) {
  Family::create(*this, Family::Params{sigma, plateau, frequency, size, radius});
}

double vxFrequencyFilterBandReject::frequency() const { return Family::get(*this, frequency_); }
void vxFrequencyFilterBandReject::frequency(double value) {
  Family::change(*this, &Family::Params::frequency, value);
}
double vxFrequencyFilterBandReject::sigma() const { return Family::get(*this, sigma_); }
void vxFrequencyFilterBandReject::sigma(double value) {
  Family::change(*this, &Family::Params::sigma, value);
}
double vxFrequencyFilterBandReject::plateau() const { return Family::get(*this, plateau_); }
void vxFrequencyFilterBandReject::plateau(double value) {
  Family::change(*this, &Family::Params::plateau, value);
}
vxPair<long> vxFrequencyFilterBandReject::size() const {
  return Family::get(*this, vxPair<long>(sizeX_, sizeY_));
}
void vxFrequencyFilterBandReject::size(const vxPair<long>& value) {
  Family::change(*this, &Family::Params::size, value);
}
long vxFrequencyFilterBandReject::dcProtectionRadius() const {
  return Family::get(*this, dcProtectionRadius_);
}
void vxFrequencyFilterBandReject::dcProtectionRadius(long value) {
  Family::change(*this, &Family::Params::radius, value);
}
long vxFrequencyFilterBandReject::supportWidth() const { return Family::get(*this, supportWidth_); }

void vxFrequencyFilterBandReject::serialize_(vxArchive& ar, unsigned char version) {
  Family::serialize(*this, ar, version);
}

void vxFrequencyFilterBandReject::dispatchSerialize(vxArchive& ar) {
  dispatchClassLevel(ar, this, sizeof(vxFrequencyFilterBandReject), [&](unsigned char version) {
    vxFrequencyFilterBandReject::serialize_(ar, version);
  });
}

vxPersistent* vxFrequencyFilterBandReject::make() { return new vxFrequencyFilterBandReject(); }

vx_Instantiator vxFrequencyFilterBandReject::sExemplar(typeid(vxFrequencyFilterBandReject),
                                                       &vxFrequencyFilterBandReject::make);
