// Pixel buffers of the core layer: windows onto reference-counted, shared pixel
// storage. Copying a buffer gives a second window onto the same pixels; pixel values
// are copied only explicitly (vfPelCopy). Moving a buffer hands its window over: the
// moved-from buffer is left unbound, as a default-constructed one, so that it can
// never point at pixels it no longer keeps alive. Every window has a position (its offset)
// in one frame shared by all buffers, which vfPelCopy uses to match pixels.
#ifndef VXFREQ_PLATFORM_PELBUFFER_H
#define VXFREQ_PLATFORM_PELBUFFER_H

#include "platform/geometry.h"
#include "platform/vx_export.h"

#include <cstdint>
#include <memory>
#include <utility>

namespace vx_detail {
// Pixel storage shared by all windows onto it: width x height pixels, each row
// starting at an address aligned as requested, rows `stride` pixels apart.
template <class T>
struct PelStorage;
// Asks a new buffer for storage that is not set to 0, for the library's loops that
// write every pixel of every row, row padding included, themselves: spread over
// threads, those writes are the first touch of fresh memory, which a serial zeroing
// pass would otherwise take on one thread. Pixel values are unspecified until written.
struct UnzeroedPixels {};
}  // namespace vx_detail

// What every pixel buffer has, whatever its pixel type.
class VX_API vx_PelBuffer {
public:
  // Whether the window is bound to pixels, and its size in pixels.
  bool isBound() const { return bound_; }
  long width() const { return width_; }
  long height() const { return height_; }
  // The window's position in the shared frame.
  vxPair<long> offset() const { return vxPair<long>(offsetX_, offsetY_); }
  // Moves the window in the frame; pixels are not touched. Offsets are 32-bit:
  // std::out_of_range for one that does not fit.
  void offset(long x, long y);
  void offset(const vxPair<long>& xy) { offset(xy.x, xy.y); }
  // The client transform, read directly.
  const vx2XformCache& clientXform() const { return xform_; }
  // Takes the client transform of `other`, or `xform`.
  void copyXforms(const vx_PelBuffer& other) { xform_ = other.xform_; }
  void copyXforms(const vx2XformCache& xform) { xform_ = xform; }

protected:
  vx_PelBuffer() = default;
  // Takes `other`'s window (bound flag, size, offset, client transform) and leaves
  // `other` unbound, at offset (0, 0), with the identity client transform.
  void takeWindow(vx_PelBuffer& other) noexcept {
    bound_ = other.bound_;
    width_ = other.width_;
    height_ = other.height_;
    offsetX_ = other.offsetX_;
    offsetY_ = other.offsetY_;
    xform_.setIdentity();
    std::swap(xform_, other.xform_);
    other.bound_ = false;
    other.width_ = other.height_ = other.offsetX_ = other.offsetY_ = 0;
  }
  bool bound_ = false;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t offsetX_ = 0;
  std::int32_t offsetY_ = 0;
  vx2XformCache xform_;
};

// A read-only window.
template <class T>
class VX_API vxPelBuffer_const : public vx_PelBuffer {
public:
  // Unbound.
  vxPelBuffer_const() = default;
  // A new bound buffer of width x height pixels at offset (0, 0), pixels 0, each row
  // aligned to `alignment` bytes (a power of two; smaller values mean the pixel size).
  // Throws std::invalid_argument for a size that is negative or beyond 32 bits, one
  // whose storage would not fit in memory addresses, or an alignment above the pixel
  // size that is not a power of two; std::bad_alloc when memory runs out.
  vxPelBuffer_const(long width, long height, long alignment);
  // As above, with the pixels left unset (see vx_detail::UnzeroedPixels).
  vxPelBuffer_const(long width, long height, long alignment, vx_detail::UnzeroedPixels);
  // A window onto the rectangle of `parent` whose top-left pixel is (x, y) of the
  // parent's window, placed in the frame at parent offset + (x, y), with the parent's
  // client transform. The rectangle must lie inside the bound parent window, and the
  // new offset fit 32 bits (std::out_of_range otherwise).
  vxPelBuffer_const(const vxPelBuffer_const& parent, long x, long y, long width, long height);
  // Copies are second windows onto the same pixels.
  vxPelBuffer_const(const vxPelBuffer_const&) = default;
  vxPelBuffer_const& operator=(const vxPelBuffer_const&) = default;
  // Moves hand the window and the share of the storage over; `other` is left unbound.
  vxPelBuffer_const(vxPelBuffer_const&& other) noexcept { take(other); }
  vxPelBuffer_const& operator=(vxPelBuffer_const&& other) noexcept {
    if (this != &other) take(other);
    return *this;
  }
  ~vxPelBuffer_const() = default;

  // The window's top-left pixel (null when unbound); rows follow `stride()` pixels apart.
  const T* pointToOffset() const { return origin_; }
  long stride() const { return stride_; }
  // Pixel (x, y) of the window; no range check.
  const T& at(long x, long y) const { return origin_[y * stride_ + x]; }

protected:
  std::shared_ptr<vx_detail::PelStorage<T>> storage_;
  T* origin_ = nullptr;
  std::int32_t stride_ = 0;

private:
  // Takes `other`'s window and share of the storage, leaving `other` unbound.
  void take(vxPelBuffer_const& other) noexcept {
    takeWindow(other);
    storage_.swap(other.storage_);
    other.storage_.reset();
    origin_ = other.origin_;
    stride_ = other.stride_;
    other.origin_ = nullptr;
    other.stride_ = 0;
  }
  // The new bound buffer of both public constructors, its pixels zeroed or not.
  vxPelBuffer_const(long width, long height, long alignment, bool zero);
};

// A writable window.
template <class T>
class vxPelBuffer : public vxPelBuffer_const<T> {
public:
  vxPelBuffer() = default;
  // As the constructors of vxPelBuffer_const, for a writable window.
  vxPelBuffer(long width, long height, long alignment)
      : vxPelBuffer_const<T>(width, height, alignment) {}
  vxPelBuffer(long width, long height, long alignment, vx_detail::UnzeroedPixels unzeroed)
      : vxPelBuffer_const<T>(width, height, alignment, unzeroed) {}
  vxPelBuffer(const vxPelBuffer& parent, long x, long y, long width, long height)
      : vxPelBuffer_const<T>(parent, x, y, width, height) {}

  // Writable access to the pixels, as in vxPelBuffer_const.
  T* pointToOffset() const { return this->origin_; }
  T& at(long x, long y) const { return this->origin_[y * this->stride_ + x]; }
};

// Copies the pixels of `src` into `dst` where the two windows overlap in the shared
// frame; the other pixels of `dst` keep their values. Nothing happens when either is
// unbound or they do not overlap. Overlapping storage is copied as if through a
// temporary.
template <class T>
VX_API void vfPelCopy(const vxPelBuffer_const<T>& src, vxPelBuffer<T>& dst);
// Sets every pixel of the window to `value` (nothing when unbound).
template <class T>
VX_API void vfPelSet(const vxPelBuffer<T>& dst, T value);
VX_API void vfPelSet_U8(const vxPelBuffer<unsigned char>& dst, unsigned char value);

// Pixel types the library provides (buffers, vfPelCopy and vfPelSet).
extern template class vxPelBuffer_const<unsigned char>;
extern template class vxPelBuffer_const<unsigned short>;
extern template class vxPelBuffer_const<double>;
extern template VX_API void vfPelCopy<unsigned char>(const vxPelBuffer_const<unsigned char>&,
                                                     vxPelBuffer<unsigned char>&);
extern template VX_API void vfPelCopy<unsigned short>(const vxPelBuffer_const<unsigned short>&,
                                                      vxPelBuffer<unsigned short>&);
extern template VX_API void vfPelCopy<double>(const vxPelBuffer_const<double>&,
                                              vxPelBuffer<double>&);
extern template VX_API void vfPelSet<unsigned char>(const vxPelBuffer<unsigned char>&,
                                                    unsigned char);
extern template VX_API void vfPelSet<unsigned short>(const vxPelBuffer<unsigned short>&,
                                                     unsigned short);
extern template VX_API void vfPelSet<double>(const vxPelBuffer<double>&, double);

#endif
