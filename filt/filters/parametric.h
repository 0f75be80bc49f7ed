// What the band and the Gabor families share (internal), and what they include: the gains of
// elements outside a filter's reach, and the getters, setters and DC-radius message written once
// over a family's parameters.
//
// A family derives from ParametricFamily<Family> and gives, as the friend of its
// classes: `Params` (the build's parameters), `params(f)`, `create(f, params)`,
// `kSizesOutFirst`, `kKeepsSymmetry`, `rejects(f)`, `radius(f)`, `entries(f)`, `filter(...)` (the
// rows' work of apply) and `archivable(f)` (loaded fields a build could make); fields.h asks for
// `fields`. It is the friend of the classes too, for what every family's classes hold alike.
#ifndef VXFREQ_FILT_FILTERS_PARAMETRIC_H
#define VXFREQ_FILT_FILTERS_PARAMETRIC_H

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
#include <cstddef>

namespace vx_detail {

// Elements outside a filter's reach: zeroed by the pass filters, kept by the reject
// filters (copied when the target is another buffer).
inline void outside(bool reject, const float* source, float* target, std::size_t floats) {
  if (!reject)
    std::fill(target, target + floats, 0.0f);
  else if (target != source)
    std::copy(source, source + floats, target);
}

// One element times a real gain; `source` and `target` may be the same element.
inline void scale(const float* source, float* target, float gain) {
  const float re = source[0];
  const float im = source[1];
  target[0] = re * gain;
  target[1] = im * gain;
}

template <class Family>
struct ParametricFamily {
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

  // Filtering: the checks, the output's storage, the DC square saved (reject forms) or
  // cleared after (pass forms) around the family's `filter`.
  template <class F>
  static void apply(const F& f, const vxFrequencyBuffer& source, vxFrequencyBuffer& target,
                    bool outOfPlace) {
    checkApply(source, f.table_ != nullptr, msg::kFilterUninitialized, f.sizeX_, f.sizeY_);
    // Gains that are the same at (u, v) and (-u, -v) keep a spectrum's symmetry.
    const bool symmetric = Family::kKeepsSymmetry && FrequencyBufferAccess::hermitian(source);
    const long w = source.width();
    const long h = source.height();
    // The band filters size the output before the DC step looks at the input, the
    // Gabor filters after: it shows when that step refuses the input.
    if (outOfPlace && Family::kSizesOutFirst) FrequencyBufferAccess::setAndAllocate(target, w, h);
    const long dcRadius = Family::radius(f);
    const bool reject = Family::rejects(f);
    const DcValues saved = dcBefore(reject, source, dcRadius);
    if (outOfPlace && !Family::kSizesOutFirst) FrequencyBufferAccess::setAndAllocate(target, w, h);
    Family::filter(f, FrequencyBufferAccess::data(source), FrequencyBufferAccess::data(target),
                   static_cast<std::int32_t>(w), static_cast<std::int32_t>(h), outOfPlace, target);
    dcAfter(reject, target, dcRadius, saved);
    FrequencyBufferAccess::setHermitian(target, symmetric);
  }

  // Archive form of one class level (after its version byte): the base level, the
  // fields, and the table when the fields are ones a build makes (else none, and the
  // load is refused).
  template <class F>
  static void serialize(F& f, vxArchive& ar, unsigned char version) {
    checkFilterVersion(version);
    loadGuarded(
        ar,
        [&] {
          serializeBaseLevel(ar, f,
                             [&](unsigned char v) { f.vxFrequencyFilter::serialize_(ar, v); });
          archiveFields<Family>(ar, f);
          const bool valid =
              Family::archivable(f) && isFilterSize(f.sizeX_) && isFilterSize(f.sizeY_);
          table(f).archive(ar, valid ? Family::entries(f) : 0, valid);
        },
        [&] {
          table(f).drop();
          f.initialized_ = false;
        });
  }

  // A setter: nothing when the value is the stored one, else a rebuild with it and the
  // other stored parameters.
  template <class F, class T, class Params>
  static void change(F& f, T Params::*member, const T& value) {
    requireTable(f.table_);
    Params p = Family::params(f);
    if (p.*member == value) return;
    p.*member = value;
    Family::create(f, p);
  }
  // A getter: the field's value, once the table is there.
  template <class F, class T>
  static T get(const F& f, const T& field) {
    requireTable(f.table_);
    return field;
  }
  // The message for a negative DC radius, by the name the filter gives it.
  template <class F>
  static const wchar_t* negativeRadiusMessage(const F& f) {
    return Family::rejects(f) ? msg::kDcProtectionNegative : msg::kDcRemovalNegative;
  }
};

}  // namespace vx_detail

#endif
