#include "filt/filters/gain_table.h"

#include "filt/buffer/access.h"
#include "platform/archive.h"

#include <algorithm>
#include <utility>

namespace vx_detail {

namespace {
// A loaded table may leave at most this many entries for the zeros that fill a short
// float list; a longer stretch cannot come from a filter that was saved.
constexpr std::size_t kMaxZeroFill = std::size_t(1) << 22;

// Tables are followed by 3 spare floats of 0, so the entry just past the last one (which
// a distance rounded up to the ring's outer edge can select) is still inside the storage.
}  // namespace

float* GainTable::allocate(std::size_t entries) {
  storage_.reset(entries + 3, BlockFill::Zeros);
  return storage_.data();
}

void GainTable::reuseOrAllocate(std::size_t oldEntries, std::size_t entries) {
  if (table_ != nullptr && oldEntries != entries) table_ = nullptr;
  if (table_ == nullptr) table_ = allocate(entries);
}

void GainTable::copyFrom(const float* source, std::size_t entries) {
  table_ = nullptr;
  float* start = allocate(entries);
  std::copy(source, source + entries, start);
  table_ = start;
}

bool GainTable::sameEntries(const float* a, const float* b, std::size_t entries) {
  for (std::size_t i = 0; i < entries; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

void GainTable::archive(vxArchive& ar, std::size_t entries, bool sizesValid) {
  bool present = table_ != nullptr;
  ar || present;
  if (ar.storing) {
    // The entries straight from the table, without a copy.
    storeFloatList(ar, table_, present ? entries : 0);
    return;
  }
  table_ = nullptr;
  const std::size_t count = loadFloatList(ar, storage_);
  if (!present) {
    storage_.clear();
    return;
  }
  if (!sizesValid || entries > kMaxEntries || (entries > count && entries - count > kMaxZeroFill))
    throw vxArchive::BadData(L"Archived filter table does not match the filter's sizes");
  table_ = placeFloatList(storage_, count, entries, 3);
}

void GainTable::drop() {
  table_ = nullptr;
  storage_.clear();
}

void GainTable::swapWith(GainTable other) noexcept {
  std::swap(storage_, other.storage_);
  std::swap(table_, other.table_);
}

}  // namespace vx_detail
