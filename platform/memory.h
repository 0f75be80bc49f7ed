// Large blocks of memory: where the library's buffers, pictures and working memory come
// from, and the cache of freed blocks it keeps for the next request.
//
// Every block of 256 KiB or more that the library makes (the values of frequency
// buffers, the pixels of pixel buffers, filter tables, the working memory of the
// transforms) comes from one allocator. On Linux it maps blocks of 2 MiB and more
// aligned to 2 MiB and advises the kernel to back them with transparent huge pages where
// the system allows it (in its "madvise" and "always" modes): the first touch of a fresh
// 4 KiB page costs some 14 microseconds on many virtual machines, so a 32 MiB block of
// small pages costs more to touch than a 2048 x 2048 transform takes. Smaller large
// blocks are mapped in grains of 64 KiB; what matters for them is the cache below, as
// the C++ allocator tends to give such blocks back to the system when they are freed.
// Elsewhere, and where mapping is refused, it takes aligned memory from the C++
// allocator. Smaller blocks come from the C++ allocator directly.
//
// A freed large block goes into a cache, from which a later request of a fitting size
// (at least as large, at most twice) takes it without going to the system. The cache is
// memory the library keeps after a call returns; it holds at most its bound:
//   - by default the most memory in large blocks that was in use at once over the last
//     16 requests of large blocks and one more of the largest of them, so that a program
//     repeating a call (a filtering job, a transform into a new buffer) keeps what one
//     call needs, also when blocks of different sizes in use at different moments add
//     up to more than was in use at once, and one that moves on to smaller pictures soon
//     keeps less;
//   - or a bound of the caller's (vfSetMemoryCacheBound), 0 turning the cache off.
// vfReleaseMemoryCache gives every cached block back to the system at once. A block from
// the cache holds zeros wherever the library promises zeros (new buffers, new pixel
// buffers), and is otherwise written whole before anything can read it: no value of one
// result reaches another. The cache is safe to use from any number of threads.
#ifndef VXFREQ_PLATFORM_MEMORY_H
#define VXFREQ_PLATFORM_MEMORY_H

#include "platform/vx_export.h"

#include <cstddef>

// The cache's bound in bytes: the default (vxMemoryCacheAuto) or the caller's.
constexpr std::size_t vxMemoryCacheAuto = static_cast<std::size_t>(-1);
VX_API std::size_t vfMemoryCacheBound();
// Sets the bound (vxMemoryCacheAuto: the default rule); blocks beyond a smaller bound are
// released at once.
VX_API void vfSetMemoryCacheBound(std::size_t bytes);
// The bytes the cache holds now.
VX_API std::size_t vfMemoryCacheBytes();
// Gives every cached block back to the system.
VX_API void vfReleaseMemoryCache();

namespace vx_detail {

// What a new block must hold: zeros, or anything (every byte is written before it is read).
enum class BlockFill { Zeros, Any };

// `bytes` of memory aligned to `alignment` (a power of two), from the cache or the system;
// std::bad_alloc when there is none. Release it with releaseBlock, with the same size and
// alignment.
VX_API void* allocateBlock(std::size_t bytes, std::size_t alignment, BlockFill fill);
VX_API void releaseBlock(void* block, std::size_t bytes, std::size_t alignment) noexcept;

// Storage of floats from allocateBlock, released with the object; moves, does not copy.
class VX_API FloatBlock {
public:
  FloatBlock() = default;
  ~FloatBlock();
  FloatBlock(FloatBlock&& other) noexcept;
  FloatBlock& operator=(FloatBlock&& other) noexcept;
  FloatBlock(const FloatBlock&) = delete;
  FloatBlock& operator=(const FloatBlock&) = delete;

  // New storage of `count` floats, 64-byte aligned; the old storage is released once the
  // new one is there (std::bad_alloc leaves the object as it was).
  void reset(std::size_t count, BlockFill fill);
  // No storage.
  void clear() noexcept;
  float* data() const { return data_; }
  std::size_t size() const { return size_; }

private:
  float* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace vx_detail

#endif
