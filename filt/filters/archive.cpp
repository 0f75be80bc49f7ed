#include "filt/filters/archive.h"

#include "filt/common/limits.h"

namespace vx_detail {

namespace {
// Named by UnknownVersion when a filter's archive carries a version this code does
// not read.
constexpr const char* kSourceName = "filt/freqfilt";
}  // namespace

void checkFilterVersion(unsigned char version) {
  requireVersion(version, 0, kSourceName, __LINE__);
}

void archiveLong(vxArchive& ar, std::int32_t& value) {
  long v = value;
  ar || v;
  if (!ar.storing) value = static_cast<std::int32_t>(v);
}

void archiveSize(vxArchive& ar, std::int32_t& x, std::int32_t& y) {
  vxPair<long> size(x, y);
  vf_ArchivePair(ar, size);
  if (!ar.storing) {
    x = static_cast<std::int32_t>(size.x);
    y = static_cast<std::int32_t>(size.y);
  }
}

void archiveDoublePair(vxArchive& ar, vxPair<double>& pair) {
  archiveVersion(ar, 0, 0, nullptr, 0);
  ar || pair.x;
  ar || pair.y;
}

void archiveAngle(vxArchive& ar, vxRadian& angle) {
  double value = angle.value();
  ar || value;
  if (!ar.storing) angle = vxRadian(value);
}

}  // namespace vx_detail
