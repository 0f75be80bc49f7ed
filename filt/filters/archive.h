// The pieces of the filters' archive forms (internal): the class level's version byte
// and visited mark, the base level, and the small values of the fields.
#ifndef VXFREQ_FILT_FILTERS_ARCHIVE_H
#define VXFREQ_FILT_FILTERS_ARCHIVE_H

#include "filt/freqfilt.h"

#include <cstddef>
#include <cstdint>

namespace vx_detail {

// UnknownVersion naming this library's filter source ("filt/freqfilt") unless
// `version` is 0.
void checkFilterVersion(unsigned char version);

// A class level of `object` (`size` bytes): skipped when visited in this pass; else a
// version byte, `serialize(version)` (the class's serialize_), the visited mark.
template <class Serialize>
void dispatchClassLevel(vxArchive& ar, const void* object, std::size_t size, Serialize serialize) {
  if (vxPersistent::haveVisited(object, size)) return;
  unsigned char version = 0;
  ar || version;
  serialize(version);
  vxPersistent::setVisited(object, size);
}

// The base level of a filter (version byte, persistent part, initialized flag) unless
// it was archived already in this pass; `serializeBase(version)` calls the base's
// serialize_, which only the filter's own classes may reach.
template <class SerializeBase>
void serializeBaseLevel(vxArchive& ar, const vxFrequencyFilter& filter,
                        SerializeBase serializeBase) {
  dispatchClassLevel(ar, &filter, sizeof(vxFrequencyFilter), serializeBase);
}

// A 32-bit field as the archive's long, a size as the versioned pair of longs, a pair
// of doubles with its version byte 0, an angle as its radians.
void archiveLong(vxArchive& ar, std::int32_t& value);
void archiveSize(vxArchive& ar, std::int32_t& x, std::int32_t& y);
void archiveDoublePair(vxArchive& ar, vxPair<double>& pair);
void archiveAngle(vxArchive& ar, vxRadian& angle);

// Runs `body` (the fields of one class level); when loading throws, `drop()` leaves
// the filter unbuilt before the exception goes on.
template <class Body, class Drop>
void loadGuarded(vxArchive& ar, Body body, Drop drop) {
  if (ar.storing) {
    body();
    return;
  }
  try {
    body();
  } catch (...) {
    drop();
    throw;
  }
}

}  // namespace vx_detail

#endif
