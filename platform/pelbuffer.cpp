#include "platform/pelbuffer.h"

#include "platform/memory.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace {

constexpr std::int64_t kMaxSize = std::numeric_limits<std::int32_t>::max();

bool fits32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() && v <= kMaxSize;
}

}  // namespace

namespace vx_detail {

template <class T>
struct PelStorage {
  static_assert(std::is_trivially_copyable<T>::value, "pixels are copied as bytes");

  // Storage of `height` rows of `width` pixels, each row starting at a multiple of
  // `alignment` bytes (a power of two, at least sizeof(T)); zeroed when `zero` is set,
  // else only the bytes past the last row are.
  PelStorage(std::int32_t width, std::int32_t height, std::size_t alignment, bool zero)
      : align_(std::max<std::size_t>(alignment, __STDCPP_DEFAULT_NEW_ALIGNMENT__)) {
    const std::size_t maxBytes =
        static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
    const std::size_t rowBytes = static_cast<std::size_t>(width) * sizeof(T);
    if (rowBytes > maxBytes - (alignment - 1))
      throw std::invalid_argument("pixel buffer row too large");
    const std::size_t strideBytes = (rowBytes + alignment - 1) / alignment * alignment;
    if (strideBytes / sizeof(T) > static_cast<std::size_t>(kMaxSize)) {
      throw std::invalid_argument("pixel buffer row too large");
    }
    stride = static_cast<std::int32_t>(strideBytes / sizeof(T));
    if (height != 0 && strideBytes > maxBytes / static_cast<std::size_t>(height)) {
      throw std::invalid_argument("pixel buffer too large");
    }
    // Never empty, so that a bound buffer always has an origin.
    bytes_ = std::max<std::size_t>(strideBytes * static_cast<std::size_t>(height), align_);
    bytes_ = (bytes_ + align_ - 1) / align_ * align_;
    data = static_cast<T*>(vx_detail::allocateBlock(
        bytes_, align_, zero ? vx_detail::BlockFill::Zeros : vx_detail::BlockFill::Any));
    if (!zero) {
      const std::size_t rowsBytes = strideBytes * static_cast<std::size_t>(height);
      std::memset(reinterpret_cast<unsigned char*>(data) + rowsBytes, 0, bytes_ - rowsBytes);
    }
  }
  ~PelStorage() { vx_detail::releaseBlock(data, bytes_, align_); }
  PelStorage(const PelStorage&) = delete;
  PelStorage& operator=(const PelStorage&) = delete;

  T* data = nullptr;
  std::int32_t stride = 0;

private:
  std::size_t align_;
  std::size_t bytes_ = 0;
};

}  // namespace vx_detail

// ---------------------------------------------------------------------------------
// vx_PelBuffer

void vx_PelBuffer::offset(long x, long y) {
  if (!fits32(x) || !fits32(y)) throw std::out_of_range("pixel buffer offset outside 32 bits");
  offsetX_ = static_cast<std::int32_t>(x);
  offsetY_ = static_cast<std::int32_t>(y);
}

// ---------------------------------------------------------------------------------
// vxPelBuffer_const

template <class T>
vxPelBuffer_const<T>::vxPelBuffer_const(long width, long height, long alignment)
    : vxPelBuffer_const(width, height, alignment, true) {}

template <class T>
vxPelBuffer_const<T>::vxPelBuffer_const(long width, long height, long alignment,
                                        vx_detail::UnzeroedPixels)
    : vxPelBuffer_const(width, height, alignment, false) {}

template <class T>
vxPelBuffer_const<T>::vxPelBuffer_const(long width, long height, long alignment, bool zero) {
  if (width < 0 || height < 0) throw std::invalid_argument("negative pixel buffer size");
  if (static_cast<std::int64_t>(width) > kMaxSize || static_cast<std::int64_t>(height) > kMaxSize) {
    throw std::invalid_argument("pixel buffer size outside 32 bits");
  }
  std::size_t align = sizeof(T);
  if (alignment > static_cast<long>(sizeof(T))) {
    const unsigned long a = static_cast<unsigned long>(alignment);
    if ((a & (a - 1)) != 0)
      throw std::invalid_argument("pixel buffer alignment is not a power of two");
    if (a > (std::numeric_limits<std::size_t>::max() >> 2)) {
      throw std::invalid_argument("pixel buffer alignment too large");
    }
    align = static_cast<std::size_t>(a);
  }
  storage_ = std::make_shared<vx_detail::PelStorage<T>>(
      static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), align, zero);
  origin_ = storage_->data;
  stride_ = storage_->stride;
  width_ = static_cast<std::int32_t>(width);
  height_ = static_cast<std::int32_t>(height);
  bound_ = true;
}

template <class T>
vxPelBuffer_const<T>::vxPelBuffer_const(const vxPelBuffer_const& parent, long x, long y, long width,
                                        long height) {
  if (!parent.bound_) throw std::out_of_range("window of an unbound pixel buffer");
  const std::int64_t x0 = x, y0 = y, w = width, h = height;
  if (x0 < 0 || y0 < 0 || w < 0 || h < 0 || x0 + w > parent.width_ || y0 + h > parent.height_) {
    throw std::out_of_range("window outside its parent pixel buffer");
  }
  const std::int64_t ox = static_cast<std::int64_t>(parent.offsetX_) + x0;
  const std::int64_t oy = static_cast<std::int64_t>(parent.offsetY_) + y0;
  if (!fits32(ox) || !fits32(oy)) throw std::out_of_range("window offset outside 32 bits");

  storage_ = parent.storage_;
  stride_ = parent.stride_;
  // An empty window keeps the parent's origin: its own corner may lie past the storage.
  origin_ = (w == 0 || h == 0)
                ? parent.origin_
                : parent.origin_ + static_cast<std::ptrdiff_t>(y0) * parent.stride_ + x0;
  width_ = static_cast<std::int32_t>(w);
  height_ = static_cast<std::int32_t>(h);
  offsetX_ = static_cast<std::int32_t>(ox);
  offsetY_ = static_cast<std::int32_t>(oy);
  xform_ = parent.xform_;
  bound_ = true;
}

// ---------------------------------------------------------------------------------
// Pixel operations

template <class T>
void vfPelCopy(const vxPelBuffer_const<T>& src, vxPelBuffer<T>& dst) {
  if (!src.isBound() || !dst.isBound()) return;
  // The overlap of the two windows in the shared frame.
  const std::int64_t sx = src.offset().x, sy = src.offset().y;
  const std::int64_t dx = dst.offset().x, dy = dst.offset().y;
  const std::int64_t left = std::max(sx, dx);
  const std::int64_t top = std::max(sy, dy);
  const std::int64_t right = std::min(sx + src.width(), dx + dst.width());
  const std::int64_t bottom = std::min(sy + src.height(), dy + dst.height());
  if (left >= right || top >= bottom) return;

  const std::size_t rowBytes = static_cast<std::size_t>(right - left) * sizeof(T);
  const std::int64_t rows = bottom - top;
  const std::ptrdiff_t sStride = src.stride();
  const std::ptrdiff_t dStride = dst.stride();
  const T* s = src.pointToOffset() + static_cast<std::ptrdiff_t>(top - sy) * sStride + (left - sx);
  T* d = dst.pointToOffset() + static_cast<std::ptrdiff_t>(top - dy) * dStride + (left - dx);
  if (s == d) return;  // the same pixels

  // Rows are moved one by one (memmove handles overlap within a row). When the
  // destination lies after the source in memory, bottom rows go first so that no
  // source row is overwritten before it is read; the strides are equal whenever the
  // two windows share storage.
  if (std::greater<const T*>()(d, s)) {
    for (std::int64_t r = rows - 1; r >= 0; --r) {
      std::memmove(d + r * dStride, s + r * sStride, rowBytes);
    }
  } else {
    for (std::int64_t r = 0; r < rows; ++r) {
      std::memmove(d + r * dStride, s + r * sStride, rowBytes);
    }
  }
}

template <class T>
void vfPelSet(const vxPelBuffer<T>& dst, T value) {
  if (!dst.isBound()) return;
  T* row = dst.pointToOffset();
  const std::size_t w = static_cast<std::size_t>(dst.width());
  for (long y = 0; y < dst.height(); ++y, row += dst.stride()) std::fill_n(row, w, value);
}

void vfPelSet_U8(const vxPelBuffer<unsigned char>& dst, unsigned char value) {
  if (!dst.isBound()) return;
  unsigned char* row = dst.pointToOffset();
  const std::size_t w = static_cast<std::size_t>(dst.width());
  for (long y = 0; y < dst.height(); ++y, row += dst.stride()) std::memset(row, value, w);
}

template class vxPelBuffer_const<unsigned char>;
template class vxPelBuffer_const<unsigned short>;
template class vxPelBuffer_const<double>;

template VX_API void vfPelCopy<unsigned char>(const vxPelBuffer_const<unsigned char>&,
                                              vxPelBuffer<unsigned char>&);
template VX_API void vfPelCopy<unsigned short>(const vxPelBuffer_const<unsigned short>&,
                                               vxPelBuffer<unsigned short>&);
template VX_API void vfPelCopy<double>(const vxPelBuffer_const<double>&, vxPelBuffer<double>&);
template VX_API void vfPelSet<unsigned char>(const vxPelBuffer<unsigned char>&, unsigned char);
template VX_API void vfPelSet<unsigned short>(const vxPelBuffer<unsigned short>&, unsigned short);
template VX_API void vfPelSet<double>(const vxPelBuffer<double>&, double);
