// The fields of the band and Gabor filters, listed once per family, and the
// assignment, comparison and archiving written once over such a list (internal).
//
// A family (BandFilterFamily, GaborFilterFamily) describes its classes' fields in
// archive order by a static `fields(visit, f...)` that calls `visit` with the matching
// field of every filter given, and gives access to the rest:
//   table(f)          the GainTable view of f's table fields
//   tablePointer(f)   f's table pointer
//   entries(f)        the table's entry count that f's size fields give
//   initialized(f)    f's initialized flag (a reference)
// Families are the friends of their classes; nothing here needs to be.
#ifndef VXFREQ_FILT_FILTERS_FIELDS_H
#define VXFREQ_FILT_FILTERS_FIELDS_H

#include "filt/filters/archive.h"
#include "filt/filters/gain_table.h"

#include <cstdint>
#include <type_traits>
#include <utility>

namespace vx_detail {

// The size, one field of two values.
template <class T>
struct SizeField {
  T& x;
  T& y;
  bool operator==(const SizeField& o) const { return x == o.x && y == o.y; }
};
template <class T>
SizeField<T> sizeField(T& x, T& y) {
  return SizeField<T>{x, y};
}

template <class T>
void assignField(T& to, const T& from) {
  to = from;
}
template <class T>
void assignField(SizeField<T> to, SizeField<const T> from) {
  to.x = from.x;
  to.y = from.y;
}
template <class T>
bool sameField(const T& a, const T& b) {
  return a == b;
}
inline void archiveField(vxArchive& ar, std::int32_t& value) { archiveLong(ar, value); }
inline void archiveField(vxArchive& ar, double& value) { ar || value; }
inline void archiveField(vxArchive& ar, vxPair<double>& pair) { archiveDoublePair(ar, pair); }
inline void archiveField(vxArchive& ar, vxRadian& angle) { archiveAngle(ar, angle); }
inline void archiveField(vxArchive& ar, SizeField<std::int32_t> size) {
  archiveSize(ar, size.x, size.y);
}

// Assignment: the fields and a copy of the table; assigning an unbuilt filter only
// drops this filter's table (the flag and the parameters stay).
template <class Family, class F>
void assignFilter(F& to, const F& from) {
  if (Family::tablePointer(from) == nullptr) {
    Family::table(to).drop();
    return;
  }
  Family::initialized(to) = Family::initialized(from);
  Family::fields([](auto&& a, auto&& b) { assignField(a, b); }, to, from);
  Family::table(to).copyFrom(Family::tablePointer(from), Family::entries(from));
}

template <class T>
void swapField(T& a, T& b) noexcept {
  using std::swap;
  swap(a, b);
}
template <class T>
void swapField(SizeField<T> a, SizeField<T> b) noexcept {
  swapField(a.x, b.x);
  swapField(a.y, b.y);
}

// Exchanges everything two filters hold: flag, fields and table.
template <class Family, class F>
void swapFilters(F& a, F& b) noexcept {
  swapField(Family::initialized(a), Family::initialized(b));
  Family::fields([](auto&& x, auto&& y) { swapField(x, y); }, a, b);
  Family::table(a).swapWith(Family::table(b));
}

// Moving a built filter: `to` takes `from`'s flag, fields and table, `from` is left as a
// new filter and `to`'s old table is released. Moving an unbuilt one does what assigning
// it does: `to` drops its table, and nothing else changes.
template <class Family, class F>
void moveFilter(F& to, F& from) noexcept {
  if (Family::tablePointer(from) == nullptr) {
    Family::table(to).drop();
    return;
  }
  F old;
  swapFilters<Family>(old, to);
  swapFilters<Family>(to, from);
}

// Equality: both unbuilt, or both built with the same flag, parameters and table.
template <class Family, class F>
bool equalFilters(const F& a, const F& b) {
  if (Family::initialized(a) != Family::initialized(b)) return false;
  const float* ta = Family::tablePointer(a);
  const float* tb = Family::tablePointer(b);
  if (ta == nullptr || tb == nullptr) return ta == tb;
  bool same = true;
  Family::fields([&same](auto&& x, auto&& y) { same = same && sameField(x, y); }, a, b);
  return same && GainTable::sameEntries(ta, tb, Family::entries(a));
}

// The fields of one filter through the archive, in order.
template <class Family, class F>
void archiveFields(vxArchive& ar, F& f) {
  Family::fields([&ar](auto&& field) { archiveField(ar, field); }, f);
}

}  // namespace vx_detail

#endif
