// Internal helpers shared by the filter classes: argument checks, gain-table storage,
// the steps around the DC square and the pieces of the archive form. Not part of the
// public API.
#ifndef VXFREQ_FILT_FILTER_DETAIL_H
#define VXFREQ_FILT_FILTER_DETAIL_H

#include "filt/buffer/access.h"
#include "filt/freqfilt.h"
#include "filt/common/messages.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace vx_detail {

// Truncation toward zero to 32 bits. Values outside the 32-bit range and NaN give
// INT32_MIN, as the processor's truncating conversion does.
std::int32_t truncToInt32(double value);

// The larger of a and b: a when a >= b, else b (so a NaN `a` gives b).
inline double maxOf(double a, double b) { return a >= b ? a : b; }

// Real and imaginary parts of the elements of a DC square, in visiting order.
using DcValues = std::vector<vxPair<double>>;

struct FilterCore {
  // ---- builds
  // InvalidArgument "Frequency must be between 0.0 and 0.5." unless 0 <= f <= 0.5.
  static void checkFrequency(double frequency);
  // InvalidSize "Size must be a power of 2." unless x, then y, is 1, 2, 4, ... 2^30.
  static void checkSize(const vxPair<long>& size);
  static bool isFilterSize(long n);
  // The radius and size checks that end every build's validation, in order. A radius
  // that does not fit the 32-bit field throws std::out_of_range.
  template <class F>
  static void checkRadiusAndSize(const F& f, long radius, const vxPair<long>& size) {
    if (radius < 0) throw vxFrequencyDefs::InvalidArgument(negativeRadiusMessage(f));
    checkSize(size);
    if (radius > 0x7FFFFFFFL) throw std::out_of_range("DC radius does not fit 32 bits");
  }
  // Gives the persistence mutation notice when the filter's flag asks for it.
  static void noticeMutation(vxFrequencyFilter& filter);
  static void setInitialized(vxFrequencyFilter& filter, bool built) { filter.initialized_ = built; }
  static bool initialized(const vxFrequencyFilter& filter) { return filter.initialized_; }

  // ---- gain tables: `entries` floats at the first 16-byte boundary of a storage
  // that holds 3 floats more.
  // Largest table a build makes (the entry count stays a 32-bit value).
  static constexpr std::size_t kMaxTableEntries = 0x7FFFFFFFu - 3u;
  // Sizes the storage for `entries` and returns the table's start.
  static float* allocateTable(std::vector<float>& storage, std::size_t entries);
  // A build's table: the one held when it has `entries` entries already (it was
  // `oldEntries` long), else new storage. Null while the storage cannot be grown.
  static void reuseOrAllocate(std::vector<float>& storage, float*& table, std::size_t oldEntries,
                              std::size_t entries) {
    if (table != nullptr && oldEntries != entries) table = nullptr;
    if (table == nullptr) table = allocateTable(storage, entries);
  }
  // Copies a table of `entries` floats into this storage (assignment).
  static void copyTable(std::vector<float>& storage, float*& table, const float* source,
                        std::size_t entries);
  static bool sameEntries(const float* a, const float* b, std::size_t entries);

  // ---- what the pass and reject twins differ in
  static constexpr bool rejects(const vxFrequencyFilterBandPass&) { return false; }
  static constexpr bool rejects(const vxFrequencyFilterBandReject&) { return true; }
  static constexpr bool rejects(const vxFrequencyFilterGabor&) { return false; }
  static constexpr bool rejects(const vxFrequencyFilterGaborReject&) { return true; }
  template <class F>
  static const wchar_t* negativeRadiusMessage(const F& f) {
    return rejects(f) ? msg::kDcProtectionNegative : msg::kDcRemovalNegative;
  }
  // The DC removal radius of a pass filter, the DC protection radius of a reject one.
  static constexpr auto radiusField(const vxFrequencyFilterBandPass*) {
    return &vxFrequencyFilterBandPass::dcRemovalRadius_;
  }
  static constexpr auto radiusField(const vxFrequencyFilterBandReject*) {
    return &vxFrequencyFilterBandReject::dcProtectionRadius_;
  }
  static constexpr auto radiusField(const vxFrequencyFilterGabor*) {
    return &vxFrequencyFilterGabor::dcRemovalRadius_;
  }
  static constexpr auto radiusField(const vxFrequencyFilterGaborReject*) {
    return &vxFrequencyFilterGaborReject::dcProtectionRadius_;
  }
  template <class F>
  static auto& radius(F& f) {
    return f.*radiusField(&f);
  }

  // ---- the fields of the band and Gabor classes. Each family describes them once,
  // in archive order, by a static `fields(visit, f...)` that calls `visit` with the
  // matching field of every filter given; assignment, equality and the archive form
  // are then written once for both families. The size is one field of two values.
  template <class T>
  struct SizeField {
    T& x;
    T& y;
    bool operator==(const SizeField& o) const { return x == o.x && y == o.y; }
  };
  template <class F>
  static auto size(F& f) {
    return SizeField<std::remove_reference_t<decltype((f.sizeX_))>>{f.sizeX_, f.sizeY_};
  }
  template <class T>
  static void assignField(T& to, const T& from) {
    to = from;
  }
  template <class T>
  static void assignField(SizeField<T> to, SizeField<const T> from) {
    to.x = from.x;
    to.y = from.y;
  }
  template <class T>
  static bool sameField(const T& a, const T& b) {
    return a == b;
  }
  static void archiveField(vxArchive& ar, std::int32_t& value) { archiveLong(ar, value); }
  static void archiveField(vxArchive& ar, double& value) { ar || value; }
  static void archiveField(vxArchive& ar, vxPair<double>& pair) { archiveDoublePair(ar, pair); }
  static void archiveField(vxArchive& ar, SizeField<std::int32_t> size) { archiveSize(ar, size.x, size.y); }
  static void archiveField(vxArchive& ar, vxRadian& angle) {
    double value = angle.value();
    ar || value;
    if (!ar.storing) angle = vxRadian(value);
  }
  // Assigning an unbuilt filter only drops this filter's table.
  template <class Core, class F>
  static void assign(F& to, const F& from) {
    if (from.table_ == nullptr) {
      to.table_ = nullptr;
      return;
    }
    to.vxFrequencyFilter::operator=(from);
    Core::fields([](auto&& a, auto&& b) { assignField(a, b); }, to, from);
    copyTable(to.tableStorage_, to.table_, from.table_, Core::entries(from));
  }
  template <class Core, class F>
  static bool equal(const F& a, const F& b) {
    if (initialized(a) != initialized(b)) return false;
    if (a.table_ == nullptr || b.table_ == nullptr) return a.table_ == b.table_;
    bool same = true;
    Core::fields([&same](auto&& x, auto&& y) { same = same && sameField(x, y); }, a, b);
    return same && sameEntries(a.table_, b.table_, Core::entries(a));
  }
  template <class Core, class F>
  static void archiveFields(vxArchive& ar, F& f) {
    Core::fields([&ar](auto&& field) { archiveField(ar, field); }, f);
  }

  // ---- parameters of the band and Gabor filters
  // Getters and setters need a table.
  template <class F>
  static void requireTable(const F& f) {
    if (f.table_ == nullptr) throw vxFrequencyDefs::Uninitialized(msg::kFilterUninitialized);
  }
  template <class F>
  static vxPair<long> sizeOf(const F& f) {
    requireTable(f);
    return vxPair<long>(f.sizeX_, f.sizeY_);
  }
  // A getter: the field's value, once the table is there.
  template <class F, class T>
  static T get(const F& f, T F::*member) {
    requireTable(f);
    return f.*member;
  }
  // A setter: nothing when the value is the stored one, else a rebuild with it and
  // the other stored parameters. `Core` knows the class's parameters and build.
  template <class Core, class F, class T>
  static void change(F& f, T Core::Params::*member, const T& value) {
    requireTable(f);
    typename Core::Params p = Core::params(f);
    if (p.*member == value) return;
    p.*member = value;
    Core::create(f, p);
  }

  // ---- apply
  // Elements outside a filter's reach: zeroed by the pass filters, kept by the reject
  // filters (copied when the target is another buffer).
  static void outside(bool reject, const float* source, float* target, std::size_t floats) {
    if (!reject) {
      std::fill(target, target + floats, 0.0f);
    } else if (target != source) {
      std::copy(source, source + floats, target);
    }
  }
  // One element times a real gain; `source` and `target` may be the same element.
  static void scale(const float* source, float* target, float gain) {
    const float re = source[0];
    const float im = source[1];
    target[0] = re * gain;
    target[1] = im * gain;
  }
  // The three checks every apply makes, in order.
  static void checkApply(const vxFrequencyBuffer& source, bool built, const wchar_t* unbuiltMessage,
                         long width, long height);
  static void setMask(vxFrequencyBuffer& buffer, long masked, long miny, long maxy) {
    FrequencyBufferAccess::setMask(buffer, masked, miny, maxy);
  }
  static void setAndAllocate(vxFrequencyBuffer& buffer, long width, long height) {
    FrequencyBufferAccess::setAndAllocate(buffer, width, height);
  }
  // The DC square of radius R: signed frequencies -(R - 1) .. R - 1 along both axes,
  // visited row by row through centred element access; nothing when R < 1.
  static void clearDcSquare(vxFrequencyBuffer& target, long radius);
  static DcValues saveDcSquare(const vxFrequencyBuffer& source, long radius);
  static void restoreDcSquare(vxFrequencyBuffer& target, long radius, const DcValues& saved);
  // Before filtering: a reject filter with a protection radius saves its square.
  static DcValues dcBefore(bool reject, const vxFrequencyBuffer& source, long radius) {
    return reject && radius > 0 ? saveDcSquare(source, radius) : DcValues();
  }
  // After filtering: a pass filter clears its square, a reject filter restores it.
  static void dcAfter(bool reject, vxFrequencyBuffer& target, long radius, const DcValues& saved) {
    if (!reject) {
      clearDcSquare(target, radius);
    } else if (radius > 0) {
      restoreDcSquare(target, radius, saved);
    }
  }

  // ---- archive form
  // UnknownVersion naming this source file unless `version` is 0.
  static void checkVersion(unsigned char version);
  // The base level (version byte, persistent part, initialized flag) unless this
  // object's base level was archived already in this pass.
  static void serializeBaseLevel(vxFrequencyFilter& filter, vxArchive& ar);
  // Class level: skipped when visited; version byte, serialize_, visited mark.
  template <class F>
  static void dispatch(F& filter, vxArchive& ar) {
    if (vxPersistent::haveVisited(&filter, sizeof(F))) return;
    unsigned char version = 0;
    ar || version;
    filter.F::serialize_(ar, version);
    vxPersistent::setVisited(&filter, sizeof(F));
  }
  static void archiveLong(vxArchive& ar, std::int32_t& value);
  static void archiveSize(vxArchive& ar, std::int32_t& x, std::int32_t& y);
  static void archiveDoublePair(vxArchive& ar, vxPair<double>& pair);
  // Items "table present" and "float list" of a band or Gabor filter, `entries` being
  // the table size given by the size fields (read just before when loading). When
  // loading, the table is rebuilt from the list (zero-filled up to `entries`) after
  // the size fields have been checked with `sizesValid`; BadData otherwise.
  static void archiveTable(vxArchive& ar, std::vector<float>& storage, float*& table,
                           std::size_t entries, bool sizesValid);
  // Leaves a band or Gabor filter unbuilt after a failed load.
  static void dropTable(vxFrequencyFilter& filter, std::vector<float>& storage, float*& table);
  // Runs `body` (the fields of one class level); when loading throws, the filter is left
  // unbuilt before the exception goes on.
  template <class Body>
  static void loadGuarded(vxArchive& ar, vxFrequencyFilter& filter, std::vector<float>& storage,
                          float*& table, Body body) {
    if (ar.storing) {
      body();
      return;
    }
    try {
      body();
    } catch (...) {
      dropTable(filter, storage, table);
      throw;
    }
  }
};

}  // namespace vx_detail

// The members the band and Gabor classes define alike; they differ in the name of the
// DC radius and the type of sigma and plateau (and of the setters' argument). Each
// filter source defines its family's other members next to its use of this macro and
// #undefs it after; every name the macro needs is passed in or fully qualified.
#define VXFREQ_DEFINE_TABLE_FILTER_COMMON(Class, Radius, Core, Sigma, SigmaArg)                   \
  Class::Class() = default;                                                                      \
  Class::Class(const Class& other) : vxPersistent(), vxRepBase(), vxFrequencyFilter() {          \
    *this = other;                                                                               \
  }                                                                                              \
  Class::~Class() = default;                                                                     \
  Class& Class::operator=(const Class& other) {                                                  \
    if (this != &other) vx_detail::FilterCore::assign<Core>(*this, other);                       \
    return *this;                                                                                \
  }                                                                                              \
  bool Class::operator==(const Class& other) const {                                             \
    return vx_detail::FilterCore::equal<Core>(*this, other);                                     \
  }                                                                                              \
  vxFrequencyFilter* Class::clone() const { return new Class(*this); }                           \
  void Class::apply(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) const {                 \
    Core::apply(*this, in, out, true);                                                           \
  }                                                                                              \
  void Class::apply(vxFrequencyBuffer& buffer) const {                                           \
    Core::apply(*this, buffer, buffer, false);                                                   \
  }                                                                                              \
  double Class::frequency() const { return vx_detail::FilterCore::get(*this, &Class::frequency_); } \
  Sigma Class::sigma() const { return vx_detail::FilterCore::get(*this, &Class::sigma_); }       \
  Sigma Class::plateau() const { return vx_detail::FilterCore::get(*this, &Class::plateau_); }   \
  long Class::Radius() const { return vx_detail::FilterCore::get(*this, &Class::Radius##_); }    \
  long Class::supportWidth() const {                                                             \
    return vx_detail::FilterCore::get(*this, &Class::supportWidth_);                             \
  }                                                                                              \
  vxPair<long> Class::size() const { return vx_detail::FilterCore::sizeOf(*this); }             \
  void Class::frequency(double value) {                                                          \
    vx_detail::FilterCore::change<Core>(*this, &Core::Params::frequency, value);                 \
  }                                                                                              \
  void Class::sigma(SigmaArg value) {                                                            \
    vx_detail::FilterCore::change<Core>(*this, &Core::Params::sigma, value);                     \
  }                                                                                              \
  void Class::plateau(SigmaArg value) {                                                          \
    vx_detail::FilterCore::change<Core>(*this, &Core::Params::plateau, value);                   \
  }                                                                                              \
  void Class::Radius(long value) {                                                               \
    vx_detail::FilterCore::change<Core>(*this, &Core::Params::radius, value);                    \
  }                                                                                              \
  void Class::size(const vxPair<long>& value) {                                                  \
    vx_detail::FilterCore::change<Core>(*this, &Core::Params::size, value);                      \
  }                                                                                              \
  void Class::serialize_(vxArchive& ar, unsigned char version) {                                 \
    Core::serialize(*this, ar, version);                                                         \
  }                                                                                              \
  void Class::dispatchSerialize(vxArchive& ar) { vx_detail::FilterCore::dispatch(*this, ar); }  \
  vxPersistent* Class::make() { return new Class(); }                                            \
  vx_Instantiator Class::sExemplar(typeid(Class), &Class::make)

#endif
