// The gain table of a band or Gabor filter (internal): `entries` floats at the first
// 16-byte boundary of a storage that holds 3 floats more, and a pointer to them that
// is null exactly while the filter is unbuilt.
#ifndef VXFREQ_FILT_FILTERS_GAIN_TABLE_H
#define VXFREQ_FILT_FILTERS_GAIN_TABLE_H

#include "platform/memory.h"

#include <cstddef>

class vxArchive;

namespace vx_detail {

// A view of a filter's table fields, through which they are sized, copied, compared
// and archived.
class GainTable {
public:
  // Largest table a build makes (the entry count stays a 32-bit value).
  static constexpr std::size_t kMaxEntries = 0x7FFFFFFFu - 3u;

  GainTable(FloatBlock& storage, float*& table) : storage_(storage), table_(table) {}

  // A build's table: the one held when it has `entries` entries already (it was
  // `oldEntries` long), else new storage. Stays null while the storage cannot grow.
  void reuseOrAllocate(std::size_t oldEntries, std::size_t entries);
  // Copies a table of `entries` floats into this storage (assignment); unbuilt until
  // the copy is in place.
  void copyFrom(const float* source, std::size_t entries);
  static bool sameEntries(const float* a, const float* b, std::size_t entries);
  // Items "table present" and "float list" of the archive form, `entries` being the
  // table size the size fields give (read just before when loading). When loading, the
  // table is rebuilt from the list (zero-filled up to `entries`) once the size fields
  // have been found valid (`sizesValid`); vxArchive::BadData otherwise.
  void archive(vxArchive& ar, std::size_t entries, bool sizesValid);
  // No table, no storage.
  void drop();
  // Exchanges the two tables and their storage (no entry is copied).
  void swapWith(GainTable other) noexcept;

private:
  float* allocate(std::size_t entries);

  FloatBlock& storage_;
  float*& table_;
};

}  // namespace vx_detail

#endif
