// The archive form of a frequency buffer and of its pieces.
#include "filt/fft.h"

#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
constexpr const char* kSourceName = "filt/fft";

// The pieces carry a version byte 0 of their own, refused without a name.
void readVersion0(vxArchive& ar) { vx_detail::archiveVersion(ar, 0, 0, nullptr, 0); }
}  // namespace

vxArchive& vf_ArchivePair(vxArchive& ar, vxPair<long>& pair) {
  readVersion0(ar);
  ar || pair.x;
  ar || pair.y;
  return ar;
}

namespace vx_detail {

void storeFloatList(vxArchive& ar, const float* values, std::size_t count) {
  readVersion0(ar);
  if (count > 0xFFFFFFFFu) throw vxArchive::BadData(L"Too many floats to archive");
  unsigned long stored = static_cast<unsigned long>(count);
  ar || stored;
  for (std::size_t i = 0; i < count; ++i) {
    float f = values[i];
    ar || f;
  }
}

std::size_t loadFloatList(vxArchive& ar, FloatBlock& values) {
  readVersion0(ar);
  unsigned long count = 0;
  ar || count;
  constexpr std::size_t kStep = std::size_t(1) << 16;
  values.clear();
  std::size_t done = 0;
  while (done < count) {
    if (done == values.size()) {
      // Twice the room, or what the count still promises, whichever is less.
      const std::size_t room = std::min<std::size_t>(count, std::max(kStep, 2 * done));
      FloatBlock grown;
      grown.reset(room, BlockFill::Any);
      if (done > 0) std::memcpy(grown.data(), values.data(), done * sizeof(float));
      values = std::move(grown);
    }
    ar || values.data()[done++];
  }
  return done;
}

float* placeFloatList(FloatBlock& block, std::size_t count, std::size_t floats, std::size_t spare) {
  const std::size_t needed = std::max(count, floats) + spare;
  if (block.size() < needed) {
    // New room comes zeroed by the allocator (fresh pages, huge ones where large).
    FloatBlock room;
    room.reset(needed, BlockFill::Zeros);
    if (count > 0) std::memcpy(room.data(), block.data(), count * sizeof(float));
    block = std::move(room);
    return block.data();
  }
  std::fill(block.data() + count, block.data() + block.size(), 0.0f);
  return block.data();
}

}  // namespace vx_detail

vxArchive& vf_ArchiveFloats(vxArchive& ar, std::vector<float>& values) {
  if (ar.storing) {
    vx_detail::storeFloatList(ar, values.data(), values.size());
    return ar;
  }
  vx_detail::FloatBlock block;
  const std::size_t count = vx_detail::loadFloatList(ar, block);
  values.assign(block.data(), block.data() + count);
  return ar;
}

vxArchive& operator||(vxArchive& ar, vxFrequencyBuffer& buf) {
  // Version 1 is written; 0, which stored the client transform as a plain transform, is
  // read too.
  const unsigned char version = vx_detail::archiveVersion(ar, 1, 1, kSourceName, __LINE__);

  bool hasData = buf.data_ != nullptr;
  if (ar.storing) {
    ar || buf.width_ || buf.height_ || buf.imageWidth_ || buf.imageHeight_ || buf.masked_ ||
        buf.maskedMiny_ || buf.maskedMaxy_ || buf.inverseComputed_;
    ar || buf.clientXform_;
    vxPair<long> offset(buf.imageOffsetX_, buf.imageOffsetY_);
    vf_ArchivePair(ar, offset);
    ar || hasData;
    // The values straight from the storage, without a copy.
    vx_detail::storeFloatList(ar, buf.data_,
                              hasData ? 2 * static_cast<std::size_t>(buf.width_) * buf.height_ : 0);
    return ar;
  }

  // Loading: fields are replaced as they are read; whatever fails from here on
  // leaves the buffer uninitialized, so no size can disagree with its storage. The
  // padding margin is not archived: a loaded buffer has none.
  buf.data_ = nullptr;
  buf.paddingMarginX_ = 0;
  buf.paddingMarginY_ = 0;
  try {
    ar || buf.width_ || buf.height_ || buf.imageWidth_ || buf.imageHeight_ || buf.masked_ ||
        buf.maskedMiny_ || buf.maskedMaxy_ || buf.inverseComputed_;
    if (version >= 1) {
      ar || buf.clientXform_;
    } else {
      vxXform<2> xform;
      ar || xform;
      buf.clientXform_.xform(vx2XformLinear(xform));
    }
    vxPair<long> offset;
    vf_ArchivePair(ar, offset);
    buf.imageOffsetX_ = static_cast<std::int32_t>(offset.x);
    buf.imageOffsetY_ = static_cast<std::int32_t>(offset.y);
    ar || hasData;
    if (hasData) {
      if (!vx_detail::isTransformSide(buf.width_) || !vx_detail::isTransformSide(buf.height_))
        throw vxFrequencyDefs::InvalidSize(vx_detail::extendedMode()
                                               ? vx_detail::msg::kArchiveSizeExtended
                                               : vx_detail::msg::kArchiveSizeCompatible);
      if (buf.imageWidth_ > buf.width_ || buf.imageHeight_ > buf.height_)
        throw vxArchive::BadData(
            L"Archived frequency buffer has an image larger than its transform");
    }
    // The values straight into the buffer's storage (fewer than W H values load
    // zero-filled), without a second copy.
    const std::size_t count = vx_detail::loadFloatList(ar, buf.storage_);
    if (!hasData) {
      buf.storage_.clear();
      return ar;
    }
    const std::size_t n = 2 * static_cast<std::size_t>(buf.width_) * buf.height_;
    if (count > n)
      throw vxArchive::BadData(L"Archived frequency buffer holds more values than its size");
    // Fewer values than the size load zero-filled, but only at the compatible sizes (at
    // most 32 MiB): beyond them an archive must hold every value, so that loading never
    // allocates far more than the archive holds.
    if (count < n &&
        !(vx_detail::isCompatibleSide(buf.width_) && vx_detail::isCompatibleSide(buf.height_)))
      throw vxArchive::BadData(L"Archived frequency buffer holds fewer values than its size");
    buf.data_ = vx_detail::placeFloatList(buf.storage_, count, n, 0);
  } catch (...) {
    buf.data_ = nullptr;
    throw;
  }
  return ar;
}
