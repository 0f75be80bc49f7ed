// Band-pass and band-reject filters.
//
// The two classes share everything but the gain formula (e for the pass filter,
// 1 - e for the reject filter), what happens to elements outside the ring (zeroed,
// or left alone) and the DC square (cleared after filtering, or saved before and
// written back after). The code below is written once for both.
#include "filt/freqfilt.h"

#include "filt/filters/detail.h"
#include "filt/common/messages.h"
#include "filt/threads/rows.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace vx_detail {

struct BandFilterCore {
  // Table entries per frequency bin.
  static constexpr std::int32_t kSamplesPerBin = 32;
  // Largest support width whose table still has a 32-bit entry count.
  static constexpr std::int32_t kMaxSupport =
      static_cast<std::int32_t>(FilterCore::kMaxTableEntries / kSamplesPerBin);

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
    return Params{f.sigma_, f.plateau_, f.frequency_, vxPair<long>(f.sizeX_, f.sizeY_),
                  FilterCore::radius(f)};
  }

  // The fields, in archive order, of one or more filters (FilterCore's assign, equal
  // and archiveFields go through them).
  template <class Visit, class... F>
  static void fields(Visit&& visit, F&... f) {
    visit(f.supportWidth_...);
    visit(f.samplesPerBin_...);
    visit(f.frequency_...);
    visit(f.sigma_...);
    visit(f.plateau_...);
    visit(FilterCore::size(f)...);
    visit(FilterCore::radius(f)...);
  }

  // The build. Every check comes before the first change.
  template <class F>
  static void create(F& f, const Params& p) {
    FilterCore::checkFrequency(p.frequency);
    if (!(p.sigma > 0.0)) throw vxFrequencyDefs::InvalidArgument(msg::kSigmaPositive);
    if (!(p.plateau >= 0.0)) throw vxFrequencyDefs::InvalidArgument(msg::kPlateauNegative);
    FilterCore::checkRadiusAndSize(f, p.radius, p.size);

    // Lengths in frequency bins of the filter's width.
    const double W = static_cast<double>(p.size.x);
    const double s = W * p.sigma;
    const double plateau = W * p.plateau;
    const double extent = 4.0 * s + plateau + 0.05 * W;
    if (!(extent < kMaxSupport)) throw std::length_error("band filter table too large");
    std::int32_t support = static_cast<std::int32_t>(extent);
    if (support % 2 == 0) ++support;

    FilterCore::noticeMutation(f);
    const std::size_t oldEntries = entries(f);
    f.supportWidth_ = support;
    f.samplesPerBin_ = kSamplesPerBin;
    f.frequency_ = p.frequency;
    f.sigma_ = p.sigma;
    f.plateau_ = p.plateau;
    f.sizeX_ = static_cast<std::int32_t>(p.size.x);
    f.sizeY_ = static_cast<std::int32_t>(p.size.y);
    FilterCore::radius(f) = static_cast<std::int32_t>(p.radius);
    const std::size_t count = entries(f);
    FilterCore::reuseOrAllocate(f.tableStorage_, f.table_, oldEntries, count);

    double k = -2.0 * s * s;
    if (k != 0.0) k = 1.0 / k;
    const bool reject = FilterCore::rejects(f);
    for (std::size_t i = 0; i < count; ++i) {
      double d = static_cast<double>(i) * 0.03125 - plateau;
      if (d < 0.0) d = 0.0;
      const double e = std::exp(d * d * k);
      f.table_[i] = reject ? static_cast<float>(1.0 - e) : static_cast<float>(e);
    }
    FilterCore::setInitialized(f, true);
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
          FilterCore::outside(reject, src, dst, rowFloats);
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
            FilterCore::scale(src + 2 * c, dst + 2 * c, table[idx]);
          } else {
            FilterCore::outside(reject, src + 2 * c, dst + 2 * c, 2);
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
    const long w = source.width();
    const long h = source.height();
    if (outOfPlace) FilterCore::setAndAllocate(target, w, h);
    const long dcRadius = FilterCore::radius(f);
    const bool reject = FilterCore::rejects(f);
    const DcValues saved = FilterCore::dcBefore(reject, source, dcRadius);
    FilterCore::setMask(target, 0, 0, 0);
    filterRing(f.table_, f.supportWidth_, reject, outOfPlace, f.frequency_,
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
      FilterCore::archiveFields<BandFilterCore>(ar, f);
      // Refused: what would make apply read outside the table. A ring radius below zero
      // would index past it; any other frequency, sigma, plateau or radius is safe.
      const bool valid = f.supportWidth_ >= 1 && f.supportWidth_ % 2 == 1 &&
                         f.supportWidth_ <= kMaxSupport && f.samplesPerBin_ == kSamplesPerBin &&
                         FilterCore::isFilterSize(f.sizeX_) && FilterCore::isFilterSize(f.sizeY_) &&
                         !(f.frequency_ < 0.0);
      FilterCore::archiveTable(ar, f.tableStorage_, f.table_, valid ? entries(f) : 0, valid);
    });
  }
};

}  // namespace vx_detail

// The members of the band classes beyond those all table filters share. Every name
// the macro needs is passed in or fully qualified.
#define VXFREQ_DEFINE_BAND_FILTER(Class, Core)                                                  \
  Class::Class(double sigma, double plateau, double frequency, const vxPair<long>& size,        \
               long radius) {                                                                   \
    create(sigma, plateau, frequency, size, radius);                                            \
  }                                                                                             \
  void Class::set(double sigma, double plateau, double frequency, const vxPair<long>& size,     \
                  long radius) {                                                                \
    create(sigma, plateau, frequency, size, radius);                                            \
  }                                                                                             \
  void Class::create(double sigma, double plateau, double frequency, const vxPair<long>& size,  \
                     long radius) {                                                             \
    Core::create(*this, Core::Params{sigma, plateau, frequency, size, radius});                 \
  }

VXFREQ_DEFINE_BAND_FILTER(vxFrequencyFilterBandPass, vx_detail::BandFilterCore)
VXFREQ_DEFINE_BAND_FILTER(vxFrequencyFilterBandReject, vx_detail::BandFilterCore)
// The fields are assigned through FilterCore::assign, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
VXFREQ_DEFINE_TABLE_FILTER_COMMON(vxFrequencyFilterBandPass, dcRemovalRadius, vx_detail::BandFilterCore,
                                  double, double);
// The fields are assigned through FilterCore::assign, which cppcheck does not follow.
// cppcheck-suppress operatorEqVarError
VXFREQ_DEFINE_TABLE_FILTER_COMMON(vxFrequencyFilterBandReject, dcProtectionRadius, vx_detail::BandFilterCore,
                                  double, double);

#undef VXFREQ_DEFINE_BAND_FILTER
#undef VXFREQ_DEFINE_TABLE_FILTER_COMMON
