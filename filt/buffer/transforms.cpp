// Transforms between frequency buffers.
#include "filt/fft.h"

#include "filt/buffer_access.h"
#include "filt/engines.h"
#include "filt/messages.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using Access = vx_detail::FrequencyBufferAccess;

namespace {
// Runs the complex engine on `in`'s values with the result in `out`'s storage, which
// has `in`'s size: in place when they are the same buffer, else straight from one
// storage into the other (the bits of a copy transformed in place).
void runEngine(const vxFrequencyBuffer& in, vxFrequencyBuffer& out, long direction, long miny,
               long maxy) {
  const vxPair<long> size(in.width(), in.height());
  if (&out == &in)
    vf_ComplexFFT2D(Access::data(out), size, direction, miny, maxy);
  else
    vf_ComplexFFT2DInto(Access::data(in), Access::data(out), size, direction, miny, maxy);
}
}  // namespace

void vfForwardFFT(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) {
  if (!in.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  // `out` becomes a copy of `in` whose values are then replaced by the transform.
  if (&out != &in) Access::assignLayout(out, in);
  Access::setInverseComputed(out, false);
  Access::setMask(out, 0, Access::maskedMiny(out), Access::maskedMaxy(out));
  runEngine(in, out, +1, 0, in.height());
}

void vfInverseFFT(vxFrequencyBuffer& in, vxFrequencyBuffer& out, bool inPlace) {
  if (!in.isInitialized())
    throw vxFrequencyDefs::Uninitialized(vx_detail::msg::kBufferUninitialized);
  const bool keep = inPlace || in.inverseComputed();
  if (!in.inverseComputed()) {
    // `out` may be `in` itself; the band is read before the engine runs either way.
    long miny = 0;
    long maxy = 0;
    Access::rowBand(in, miny, maxy);
    if (inPlace) {
      runEngine(in, in, -1, miny, maxy);
    } else {
      if (&out != &in) Access::assignLayout(out, in);
      runEngine(in, out, -1, miny, maxy);
    }
  }
  if (keep) out = in;
  Access::setInverseComputed(out, false);
  Access::setMask(out, 0, Access::maskedMiny(out), Access::maskedMaxy(out));
  // A buffer already marked is left alone, so the const form never writes to `in`.
  if (keep && !in.inverseComputed()) Access::setInverseComputed(in, true);
}

void vfInverseFFT(const vxFrequencyBuffer& in, vxFrequencyBuffer& out) {
  // The non-in-place path never writes to `in`.
  vfInverseFFT(const_cast<vxFrequencyBuffer&>(in), out, false);
}

// ---------------------------------------------------------------------------
// Archive form of a buffer.

namespace {
constexpr const char* kSourceName = "filt/fft";

void readVersion0(vxArchive& ar) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw vxArchive::UnknownVersion(nullptr, 0);
}

bool isTransformSize(std::int32_t n) { return n >= 1 && n <= 2048 && (n & (n - 1)) == 0; }
}  // namespace

vxArchive& vf_ArchivePair(vxArchive& ar, vxPair<long>& pair) {
  readVersion0(ar);
  ar || pair.x;
  ar || pair.y;
  return ar;
}

vxArchive& vf_ArchiveFloats(vxArchive& ar, std::vector<float>& values) {
  readVersion0(ar);
  if (ar.storing) {
    if (values.size() > 0xFFFFFFFFu) throw vxArchive::BadData(L"Too many floats to archive");
    unsigned long count = static_cast<unsigned long>(values.size());
    ar || count;
    for (float& f : values) ar || f;
    return ar;
  }
  unsigned long count = 0;
  ar || count;
  // Grow in steps as the data arrive, so that a damaged count cannot make us
  // allocate far more than the archive holds.
  constexpr std::size_t kStep = std::size_t(1) << 16;
  values.clear();
  std::size_t done = 0;
  while (done < count) {
    const std::size_t next = std::min<std::size_t>(count, done + kStep);
    values.resize(next);
    for (; done < next; ++done) ar || values[done];
  }
  return ar;
}

vxArchive& operator||(vxArchive& ar, vxFrequencyBuffer& buf) {
  unsigned char version = 1;
  ar || version;
  if (version > 1) throw vxArchive::UnknownVersion(kSourceName, __LINE__);

  std::vector<float> values;
  bool hasData = buf.data_ != nullptr;
  if (ar.storing) {
    if (hasData)
      values.assign(buf.data_, buf.data_ + 2 * static_cast<std::size_t>(buf.width_) * buf.height_);
    ar || buf.width_ || buf.height_ || buf.imageWidth_ || buf.imageHeight_ || buf.masked_ ||
        buf.maskedMiny_ || buf.maskedMaxy_ || buf.inverseComputed_;
    ar || buf.clientXform_;
    vxPair<long> offset(buf.imageOffsetX_, buf.imageOffsetY_);
    vf_ArchivePair(ar, offset);
    ar || hasData;
    vf_ArchiveFloats(ar, values);
    return ar;
  }

  // Loading: fields are replaced as they are read; whatever fails from here on
  // leaves the buffer uninitialized, so no size can disagree with its storage.
  buf.data_ = nullptr;
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
      if (!isTransformSize(buf.width_) || !isTransformSize(buf.height_))
        throw vxArchive::BadData(L"Archived frequency buffer has an unsupported transform size");
      if (buf.imageWidth_ > buf.width_ || buf.imageHeight_ > buf.height_)
        throw vxArchive::BadData(L"Archived frequency buffer has an image larger than its transform");
    }
    vf_ArchiveFloats(ar, values);
    if (!hasData) {
      std::vector<float>().swap(buf.storage_);
      return ar;
    }
    const std::size_t n = 2 * static_cast<std::size_t>(buf.width_) * buf.height_;
    if (values.size() > n)
      throw vxArchive::BadData(L"Archived frequency buffer holds more values than its size");
    buf.storage_.assign(n + 7, 0.0f);
    float* data = vx_detail::alignedStart(buf.storage_);
    std::copy(values.begin(), values.end(), data);
    buf.data_ = data;
  } catch (...) {
    buf.data_ = nullptr;
    throw;
  }
  return ar;
}
