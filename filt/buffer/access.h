// Internal access to a frequency buffer's private state for the library's own
// transforms, archive code and tests. Not part of the public API.
#ifndef VXFREQ_FILT_BUFFER_ACCESS_H
#define VXFREQ_FILT_BUFFER_ACCESS_H

#include "filt/common/limits.h"
#include "filt/fft.h"

#include <cstdint>
#include <vector>

namespace vx_detail {

// The first 16-byte-aligned float of `storage`, which holds 7 spare floats (3 spare
// for the filters' tables) so that the aligned part still has room.

// The float list of the archive forms (a version byte 0, a 32-bit count, the floats),
// written from `count` floats in place, and read into `values` (grown as the data
// arrive, so that a damaged count cannot make it allocate far more than the archive
// holds), returning the count read.
void storeFloatList(vxArchive& ar, const float* values, std::size_t count);
std::size_t loadFloatList(vxArchive& ar, FloatBlock& values);
// Makes `block`, which holds `count` floats read, hold at least `floats` floats (zero
// past the list) and `spare` more; returns its start.
float* placeFloatList(FloatBlock& block, std::size_t count, std::size_t floats, std::size_t spare);

struct FrequencyBufferAccess {
  static float* data(const vxFrequencyBuffer& b) { return b.data_; }
  static long masked(const vxFrequencyBuffer& b) { return b.masked_; }
  static long maskedMiny(const vxFrequencyBuffer& b) { return b.maskedMiny_; }
  static long maskedMaxy(const vxFrequencyBuffer& b) { return b.maskedMaxy_; }
  static void setMask(vxFrequencyBuffer& b, long masked, long miny, long maxy) {
    b.masked(masked);
    b.maskedMiny(miny);
    b.maskedMaxy(maxy);
  }
  static void setInverseComputed(vxFrequencyBuffer& b, bool v) { b.inverseComputed_ = v; }
  // Whether the values are known to be conjugate-symmetric (a real picture's spectrum,
  // through operations that keep the symmetry); anything else that writes them clears it.
  static bool hermitian(const vxFrequencyBuffer& b) { return b.hermitian_; }
  static void setHermitian(vxFrequencyBuffer& b, bool v) { b.hermitian_ = v; }
  // With BlockFill::Any for a caller that writes every value (see the member).
  static bool setAndAllocate(vxFrequencyBuffer& b, long width, long height,
                             BlockFill fill = BlockFill::Zeros) {
    return b.setAndAllocate(width, height, fill);
  }
  static void setPlacement(vxFrequencyBuffer& b, const vxPair<long>& offset,
                           const vx2XformCache& xform) {
    b.imageOffsetX_ = static_cast<std::int32_t>(offset.x);
    b.imageOffsetY_ = static_cast<std::int32_t>(offset.y);
    b.clientXform_ = xform;
  }
  // The picture's size inside the transform (at most the transform size).
  // The margin of a padded transform (0 for the others).
  static void setPaddingMargin(vxFrequencyBuffer& b, long x, long y) {
    b.paddingMarginX_ = static_cast<std::int32_t>(x);
    b.paddingMarginY_ = static_cast<std::int32_t>(y);
  }
  static vxPair<long> paddingMargin(const vxFrequencyBuffer& b) {
    return vxPair<long>(b.paddingMarginX_, b.paddingMarginY_);
  }
  static void setImageSize(vxFrequencyBuffer& b, long width, long height) {
    b.imageWidth_ = static_cast<std::int32_t>(width);
    b.imageHeight_ = static_cast<std::int32_t>(height);
  }
  // Everything assignment copies but the values: sizes (new storage holding `fill` when
  // they differ), placement, flags and band. `from` holds data and is not `to`.
  static void assignLayout(vxFrequencyBuffer& to, const vxFrequencyBuffer& from,
                           BlockFill fill = BlockFill::Zeros) {
    // The copy takes the source's transform size itself rather than the one its image
    // size would round up to: the two differ for a buffer made by the sized copy
    // constructor, whose values must all come along.
    to.imageWidth_ = from.imageWidth_;
    to.imageHeight_ = from.imageHeight_;
    to.resizeTransform(from.width_, from.height_, fill);
    to.clientXform_ = from.clientXform_;
    to.imageOffsetX_ = from.imageOffsetX_;
    to.imageOffsetY_ = from.imageOffsetY_;
    to.inverseComputed_ = from.inverseComputed_;
    to.hermitian_ = from.hermitian_;
    to.masked_ = from.masked_;
    to.maskedMiny_ = from.maskedMiny_;
    to.maskedMaxy_ = from.maskedMaxy_;
    to.paddingMarginX_ = from.paddingMarginX_;
    to.paddingMarginY_ = from.paddingMarginY_;
  }
  // The floats of the buffer's storage (which may be held while the buffer has no data).
  static std::size_t storageFloats(const vxFrequencyBuffer& b) { return b.storage_.size(); }
  // The band of kept rows to hand to the engines: the mask band when masked, else
  // every row. Bounds beyond -1 and H + 1 keep the same rows as those limits, so they
  // are clamped there and the engines' index arithmetic cannot overflow.
  static void rowBand(const vxFrequencyBuffer& b, long& miny, long& maxy) {
    if (b.masked_ != 0) {
      const long lo = -1;
      const long hi = static_cast<long>(b.height_) + 1;
      miny = b.maskedMiny_ < lo ? lo : (b.maskedMiny_ > hi ? hi : b.maskedMiny_);
      maxy = b.maskedMaxy_ < lo ? lo : (b.maskedMaxy_ > hi ? hi : b.maskedMaxy_);
    } else {
      miny = 0;
      maxy = b.height_;
    }
  }
};

}  // namespace vx_detail

#endif
