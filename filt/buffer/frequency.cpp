// vxFrequencyBuffer: sizing, copying, comparison and element access.
#include "filt/fft.h"

#include "filt/buffer/access.h"
#include "filt/common/limits.h"
#include "filt/common/messages.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace msg = vx_detail::msg;
using Defs = vxFrequencyDefs;

using vx_detail::isPowerOfTwo;
using vx_detail::nextPowerOfTwo;

namespace {
std::size_t storageFloats(long W, long H) { return 2 * static_cast<std::size_t>(W) * H; }
}  // namespace

vxFrequencyBuffer::vxFrequencyBuffer() = default;

vxFrequencyBuffer::vxFrequencyBuffer(long width, long height) {
  setAndAllocate(width, height);
  clientXform_.setIdentity();
  imageOffsetX_ = 0;
  imageOffsetY_ = 0;
}

vxFrequencyBuffer::vxFrequencyBuffer(const vxFrequencyBuffer& other) { *this = other; }

vxFrequencyBuffer::vxFrequencyBuffer(const vxFrequencyBuffer& source, long width, long height) {
  if (width <= 1) throw Defs::InvalidSize(msg::kCopiedWidthTooSmall);
  if (height <= 1) throw Defs::InvalidSize(msg::kCopiedHeightTooSmall);
  if (source.data_ == nullptr) throw Defs::Uninitialized(msg::kBufferUninitialized);
  if (width > source.width_) throw Defs::InvalidSize(msg::kCopiedWidthTooLarge);
  if (height > source.height_) throw Defs::InvalidSize(msg::kCopiedHeightTooLarge);
  if (!vx_detail::isTransformSide(width)) throw Defs::InvalidSize(msg::kUnsupportedWidth);
  if (!vx_detail::isTransformSide(height)) throw Defs::InvalidSize(msg::kUnsupportedHeight);

  setAndAllocate(width, height);
  inverseComputed_ = source.inverseComputed_;
  const double sx = static_cast<double>(width) / source.width_;
  const double sy = static_cast<double>(height) / source.height_;
  imageWidth_ = static_cast<std::int32_t>(source.imageWidth_ * sx);
  imageHeight_ = static_cast<std::int32_t>(source.imageHeight_ * sy);
  if (source.clientXform_.hasXform) {
    const vx2XformLinear scale(
        vxXform<2>(vxMatrix<2>(vxRadian(0.0), vxRadian(0.0), sx, sy), vxVector<2>(0.0, 0.0)));
    clientXform_.xform(source.clientXform_.linearXform() * scale);
  } else {
    clientXform_ = source.clientXform_;
  }
  imageOffsetX_ = source.imageOffsetX_;
  imageOffsetY_ = source.imageOffsetY_;

  // The frequencies of the smaller size in transform order (fftfreq's): rows 0 .. h2-1
  // and the last height - h2 rows of the source, with h2 = ceil(height / 2), and within
  // them the columns 0 .. w2-1 and the last width - w2 (frequencies -w2 .. w2-1 for
  // even sides).
  const long w2 = (width + 1) / 2;
  const long h2 = (height + 1) / 2;
  const std::size_t low = 2 * static_cast<std::size_t>(w2);
  const std::size_t high = 2 * static_cast<std::size_t>(width - w2);
  for (long row = 0; row < height; ++row) {
    const long srcRow = row < h2 ? row : source.height_ - height + row;
    const float* src = source.data_ + 2 * static_cast<std::size_t>(srcRow) * source.width_;
    float* dst = data_ + 2 * static_cast<std::size_t>(row) * width;
    std::memcpy(dst, src, low * sizeof(float));
    std::memcpy(dst + low, src + 2 * static_cast<std::size_t>(source.width_) - high,
                high * sizeof(float));
  }
}

vxFrequencyBuffer::vxFrequencyBuffer(const vxPelBuffer_const<double>& real,
                                     const vxPelBuffer_const<double>& imaginary) {
  if (!real.isBound()) throw Defs::UnboundWindow();
  if (!imaginary.isBound()) throw Defs::UnboundWindow();
  if (real.height() != imaginary.height() || real.width() != imaginary.width() ||
      real.offset().x != imaginary.offset().x || real.offset().y != imaginary.offset().y)
    throw Defs::InvalidSize(msg::kPelBuffersDiffer);

  setAndAllocate(real.width(), real.height());
  clientXform_ = real.clientXform();
  imageOffsetX_ = static_cast<std::int32_t>(real.offset().x);
  imageOffsetY_ = static_cast<std::int32_t>(real.offset().y);
  const double* re = real.pointToOffset();
  const double* im = imaginary.pointToOffset();
  for (long y = 0; y < imageHeight_; ++y) {
    float* dst = data_ + 2 * static_cast<std::size_t>(y) * width_;
    for (long x = 0; x < imageWidth_; ++x) {
      dst[2 * x] = static_cast<float>(re[x]);
      dst[2 * x + 1] = static_cast<float>(im[x]);
    }
    re += real.stride();
    im += imaginary.stride();
  }
  vf_ZeroPadding(imageWidth_, imageHeight_, width_, height_, data_);
}

vxFrequencyBuffer::~vxFrequencyBuffer() = default;

vxPair<long> vfTransformSize(long width, long height) {
  const long limit = vx_detail::maxTransformSide();
  if (width > limit || height > limit) throw Defs::InvalidSize(vx_detail::tooLargeMessage());
  return vxPair<long>(vx_detail::transformSide(width, 0, 0),
                      vx_detail::transformSide(height, 0, 1));
}

bool vxFrequencyBuffer::setAndAllocate(long width, long height, vx_detail::BlockFill fill) {
  const vxPair<long> size = vfTransformSize(width, height);
  imageWidth_ = static_cast<std::int32_t>(width);
  imageHeight_ = static_cast<std::int32_t>(height);
  paddingMarginX_ = 0;
  paddingMarginY_ = 0;
  return resizeTransform(size.x, size.y, fill);
}

bool vxFrequencyBuffer::setAndAllocate(long width, long height) {
  return setAndAllocate(width, height, vx_detail::BlockFill::Zeros);
}

bool vxFrequencyBuffer::resizeTransform(long W, long H) {
  return resizeTransform(W, H, vx_detail::BlockFill::Zeros);
}

bool vxFrequencyBuffer::resizeTransform(long W, long H, vx_detail::BlockFill fill) {
  if (data_ != nullptr && (W != width_ || H != height_)) data_ = nullptr;
  width_ = static_cast<std::int32_t>(W);
  height_ = static_cast<std::int32_t>(H);
  masked_ = 0;
  inverseComputed_ = false;
  hermitian_ = false;
  if (data_ != nullptr) return false;
  storage_.reset(storageFloats(W, H), fill);
  data_ = storage_.data();
  return true;
}

vxFrequencyBuffer& vxFrequencyBuffer::operator=(const vxFrequencyBuffer& other) {
  if (this == &other) return *this;
  if (other.data_ == nullptr) {
    masked_ = 0;
    data_ = nullptr;
    return *this;
  }
  vx_detail::FrequencyBufferAccess::assignLayout(*this, other, vx_detail::BlockFill::Any);
  std::memcpy(data_, other.data_, 2 * static_cast<std::size_t>(width_) * height_ * sizeof(float));
  return *this;
}

vxFrequencyBuffer::vxFrequencyBuffer(vxFrequencyBuffer&& other) noexcept {
  *this = std::move(other);
}

vxFrequencyBuffer& vxFrequencyBuffer::operator=(vxFrequencyBuffer&& other) noexcept {
  if (this == &other) return *this;
  // An uninitialized buffer moves as it is assigned: this buffer drops its data and
  // keeps its storage and fields.
  if (other.data_ == nullptr) {
    masked_ = 0;
    data_ = nullptr;
    return *this;
  }
  width_ = std::exchange(other.width_, 0);
  height_ = std::exchange(other.height_, 0);
  imageWidth_ = std::exchange(other.imageWidth_, 0);
  imageHeight_ = std::exchange(other.imageHeight_, 0);
  masked_ = std::exchange(other.masked_, 0);
  maskedMiny_ = std::exchange(other.maskedMiny_, 0);
  maskedMaxy_ = std::exchange(other.maskedMaxy_, 0);
  clientXform_ = std::move(other.clientXform_);
  imageOffsetX_ = std::exchange(other.imageOffsetX_, 0);
  imageOffsetY_ = std::exchange(other.imageOffsetY_, 0);
  storage_ = std::move(other.storage_);
  data_ = std::exchange(other.data_, nullptr);
  inverseComputed_ = std::exchange(other.inverseComputed_, false);
  hermitian_ = std::exchange(other.hermitian_, false);
  paddingMarginX_ = std::exchange(other.paddingMarginX_, 0);
  paddingMarginY_ = std::exchange(other.paddingMarginY_, 0);
  return *this;
}

bool vxFrequencyBuffer::operator==(const vxFrequencyBuffer& other) const {
  if (data_ == nullptr) return other.data_ == nullptr;
  if (other.data_ == nullptr) return false;
  if (width_ != other.width_ || height_ != other.height_ || imageWidth_ != other.imageWidth_ ||
      imageHeight_ != other.imageHeight_ || inverseComputed_ != other.inverseComputed_ ||
      masked_ != other.masked_)
    return false;
  if (masked_ != 0 && (maskedMiny_ != other.maskedMiny_ || maskedMaxy_ != other.maskedMaxy_))
    return false;
  if (imageOffsetX_ != other.imageOffsetX_ || imageOffsetY_ != other.imageOffsetY_) return false;
  const std::size_t n = 2 * static_cast<std::size_t>(width_) * height_;
  for (std::size_t i = 0; i < n; ++i)
    if (data_[i] != other.data_[i]) return false;
  return true;
}

long vxFrequencyBuffer::width() const {
  if (data_ == nullptr) throw Defs::Uninitialized(msg::kBufferUninitialized);
  return width_;
}

long vxFrequencyBuffer::height() const {
  if (data_ == nullptr) throw Defs::Uninitialized(msg::kBufferUninitialized);
  return height_;
}

std::size_t vxFrequencyBuffer::elementIndex(long x, long y, bool centered) const {
  if (data_ == nullptr) throw Defs::Uninitialized(msg::kBufferUninitialized);
  if (inverseComputed_) throw Defs::InvalidBuffer(msg::kInverseComputed);
  const long W = width_;
  const long H = height_;
  if (centered) {
    if (x < -(W >> 1) || x >= ((W + 1) >> 1) || y < -(H >> 1) || y >= ((H + 1) >> 1))
      throw Defs::BadCoord(msg::kBadCoord);
    if (x < 0) x += W;
    if (y < 0) y += H;
  } else if (x < 0 || x >= W || y < 0 || y >= H) {
    throw Defs::BadCoord(msg::kBadCoord);
  }
  return 2 * (static_cast<std::size_t>(y) * W + static_cast<std::size_t>(x));
}

vxPair<double> vxFrequencyBuffer::get(long x, long y, bool centered) const {
  const std::size_t i = elementIndex(x, y, centered);
  return vxPair<double>(data_[i], data_[i + 1]);
}

double vxFrequencyBuffer::getReal(long x, long y, bool centered) const {
  return data_[elementIndex(x, y, centered)];
}

double vxFrequencyBuffer::getImaginary(long x, long y, bool centered) const {
  return data_[elementIndex(x, y, centered) + 1];
}

void vxFrequencyBuffer::put(long x, long y, vxPair<double> value, bool centered) {
  const std::size_t i = elementIndex(x, y, centered);
  hermitian_ = false;
  data_[i] = static_cast<float>(value.x);
  data_[i + 1] = static_cast<float>(value.y);
}

void vxFrequencyBuffer::putReal(long x, long y, double value, bool centered) {
  const std::size_t i = elementIndex(x, y, centered);
  hermitian_ = false;
  data_[i] = static_cast<float>(value);
}

void vxFrequencyBuffer::putImaginary(long x, long y, double value, bool centered) {
  const std::size_t i = elementIndex(x, y, centered) + 1;
  hermitian_ = false;
  data_[i] = static_cast<float>(value);
}

void vf_ZeroPadding(long w, long h, long W, long H, float* data) {
  vfThrowExceptionOnFailure(vsys_attention_check());
  const long rows = h > 0 ? (h < H ? h : H) : 0;
  const long keep = w > 0 ? (w < W ? w : W) : 0;
  for (long y = 0; y < rows; ++y) {
    float* row = data + 2 * static_cast<std::size_t>(y) * W;
    std::memset(row + 2 * keep, 0, 2 * static_cast<std::size_t>(W - keep) * sizeof(float));
  }
  if (rows < H)
    std::memset(data + 2 * static_cast<std::size_t>(rows) * W, 0,
                2 * static_cast<std::size_t>(H - rows) * W * sizeof(float));
}
