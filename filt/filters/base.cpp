// The filter base and the helpers its concrete classes share.
#include "filt/freqfilt.h"

#include "filt/buffer/access.h"
#include "filt/filters/detail.h"
#include "filt/common/messages.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace msg = vx_detail::msg;
using Defs = vxFrequencyDefs;

namespace {
// Named by UnknownVersion when a filter's archive carries a version this code does
// not read.
constexpr const char* kSourceName = "filt/freqfilt";

// A loaded table may leave at most this many entries for the zeros that fill a short
// float list; a longer stretch cannot come from a filter that was saved.
constexpr std::size_t kMaxZeroFill = std::size_t(1) << 22;

// Tables start at the first 16-byte boundary of storage with 3 spare floats; with
// storage aligned to 8 bytes at least one spare float follows the table, so the
// entry just past the last one (which a distance rounded up to the ring's outer
// edge can select) is still inside the storage.
static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ >= 8, "gain tables need 8-byte aligned storage");
}  // namespace

// ---------------------------------------------------------------------------------
// vxFrequencyFilter

vxFrequencyFilter::vxFrequencyFilter() : initialized_(false) {}

vxFrequencyFilter::vxFrequencyFilter(const vxFrequencyFilter& other)
    : vxPersistent(), vxRepBase(), initialized_(other.initialized_) {}

vxFrequencyFilter::~vxFrequencyFilter() = default;

vxFrequencyFilter& vxFrequencyFilter::operator=(const vxFrequencyFilter& other) {
  initialized_ = other.initialized_;
  return *this;
}

bool vxFrequencyFilter::isInitialized() { return initialized_; }

float* vxFrequencyFilter::getFrequencyBufferData(vxFrequencyBuffer& buffer) {
  return vx_detail::FrequencyBufferAccess::data(buffer);
}

const float* vxFrequencyFilter::getFrequencyBufferData(const vxFrequencyBuffer& buffer) {
  return vx_detail::FrequencyBufferAccess::data(buffer);
}

void vxFrequencyFilter::maskFrequencyBuffer(vxFrequencyBuffer& buffer, bool masked, long miny,
                                            long maxy) {
  vx_detail::FrequencyBufferAccess::setMask(buffer, masked ? 1 : 0, miny, maxy);
}

void vxFrequencyFilter::setAndAllocateFrequencyBuffer(vxFrequencyBuffer& buffer, long width,
                                                      long height) {
  vx_detail::FrequencyBufferAccess::setAndAllocate(buffer, width, height);
}

void vxFrequencyFilter::serialize_(vxArchive& ar, unsigned char version) {
  vx_detail::FilterCore::checkVersion(version);
  vxPersistent::dispatchSerialize(ar);
  ar || initialized_;
}

void vxFrequencyFilter::dispatchSerialize(vxArchive& ar) {
  vx_detail::FilterCore::dispatch(*this, ar);
}

// ---------------------------------------------------------------------------------
// Shared helpers

namespace vx_detail {

std::int32_t truncToInt32(double value) {
  if (value > -2147483649.0 && value < 2147483648.0) return static_cast<std::int32_t>(value);
  return std::numeric_limits<std::int32_t>::min();
}

void FilterCore::checkFrequency(double frequency) {
  if (!(frequency >= 0.0 && frequency <= 0.5)) throw Defs::InvalidArgument(msg::kFrequencyRange);
}

bool FilterCore::isFilterSize(long n) { return n >= 1 && n <= (1L << 30) && (n & (n - 1)) == 0; }

void FilterCore::checkSize(const vxPair<long>& size) {
  if (!isFilterSize(size.x)) throw Defs::InvalidSize(msg::kPowerOfTwo);
  if (!isFilterSize(size.y)) throw Defs::InvalidSize(msg::kPowerOfTwo);
}

void FilterCore::noticeMutation(vxFrequencyFilter& filter) {
  if (filter.mutationFlag()) filter.mutating_();
}

float* FilterCore::allocateTable(std::vector<float>& storage, std::size_t entries) {
  storage.resize(entries + 3);
  return alignedStart(storage);
}

void FilterCore::copyTable(std::vector<float>& storage, float*& table, const float* source,
                           std::size_t entries) {
  // Unbuilt until the copy is in place, should the storage fail to grow.
  table = nullptr;
  float* start = allocateTable(storage, entries);
  std::copy(source, source + entries, start);
  table = start;
}

bool FilterCore::sameEntries(const float* a, const float* b, std::size_t entries) {
  for (std::size_t i = 0; i < entries; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

void FilterCore::checkApply(const vxFrequencyBuffer& source, bool built,
                            const wchar_t* unbuiltMessage, long width, long height) {
  if (!source.isInitialized()) throw Defs::Uninitialized(msg::kBufferUninitialized);
  if (!built) throw Defs::Uninitialized(unbuiltMessage);
  if (source.width() != width || source.height() != height)
    throw Defs::InvalidSize(msg::kFilterSize);
}

void FilterCore::clearDcSquare(vxFrequencyBuffer& target, long radius) {
  for (long y = 1 - radius; y <= radius - 1; ++y) {
    for (long x = 1 - radius; x <= radius - 1; ++x) {
      target.putReal(x, y, 0.0, true);
      target.putImaginary(x, y, 0.0, true);
    }
  }
}

DcValues FilterCore::saveDcSquare(const vxFrequencyBuffer& source, long radius) {
  DcValues saved;
  for (long y = 1 - radius; y <= radius - 1; ++y)
    for (long x = 1 - radius; x <= radius - 1; ++x) saved.push_back(source.get(x, y, true));
  return saved;
}

void FilterCore::restoreDcSquare(vxFrequencyBuffer& target, long radius, const DcValues& saved) {
  auto next = saved.begin();
  for (long y = 1 - radius; y <= radius - 1; ++y)
    for (long x = 1 - radius; x <= radius - 1; ++x) target.put(x, y, *next++, true);
}

void FilterCore::checkVersion(unsigned char version) {
  if (version != 0) throw vxArchive::UnknownVersion(kSourceName, __LINE__);
}

void FilterCore::serializeBaseLevel(vxFrequencyFilter& filter, vxArchive& ar) {
  if (vxPersistent::haveVisited(&filter, sizeof(vxFrequencyFilter))) return;
  unsigned char version = 0;
  ar || version;
  filter.vxFrequencyFilter::serialize_(ar, version);
  vxPersistent::setVisited(&filter, sizeof(vxFrequencyFilter));
}

void FilterCore::archiveLong(vxArchive& ar, std::int32_t& value) {
  long v = value;
  ar || v;
  if (!ar.storing) value = static_cast<std::int32_t>(v);
}

void FilterCore::archiveSize(vxArchive& ar, std::int32_t& x, std::int32_t& y) {
  vxPair<long> size(x, y);
  vf_ArchivePair(ar, size);
  if (!ar.storing) {
    x = static_cast<std::int32_t>(size.x);
    y = static_cast<std::int32_t>(size.y);
  }
}

void FilterCore::archiveDoublePair(vxArchive& ar, vxPair<double>& pair) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw vxArchive::UnknownVersion(nullptr, 0);
  ar || pair.x;
  ar || pair.y;
}

void FilterCore::archiveTable(vxArchive& ar, std::vector<float>& storage, float*& table,
                              std::size_t entries, bool sizesValid) {
  bool present = table != nullptr;
  std::vector<float> list;
  if (ar.storing && present) list.assign(table, table + entries);
  ar || present;
  vf_ArchiveFloats(ar, list);
  if (ar.storing) return;

  table = nullptr;
  if (!present) {
    std::vector<float>().swap(storage);
    return;
  }
  if (!sizesValid || entries > kMaxTableEntries ||
      (entries > list.size() && entries - list.size() > kMaxZeroFill))
    throw vxArchive::BadData(L"Archived filter table does not match the filter's sizes");
  const std::size_t count = std::max(list.size(), entries);
  storage.assign(count + 3, 0.0f);
  float* start = alignedStart(storage);
  std::copy(list.begin(), list.end(), start);
  table = start;
}

void FilterCore::dropTable(vxFrequencyFilter& filter, std::vector<float>& storage, float*& table) {
  table = nullptr;
  std::vector<float>().swap(storage);
  filter.initialized_ = false;
}

}  // namespace vx_detail
