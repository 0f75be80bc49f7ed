#include "platform/memory.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define VX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VX_ASAN 1
#endif
#endif
#if defined(VX_ASAN)
#include <sanitizer/asan_interface.h>
#define VX_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define VX_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define VX_POISON(p, n) ((void)(p), (void)(n))
#define VX_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace vx_detail {
// Test instrumentation (not exported): called for every large block requested (it may
// throw std::bad_alloc) and released, so that the allocation-failure tests reach the
// blocks of this allocator too.
void (*gLargeBlockRequested)(std::size_t bytes) = nullptr;
void (*gLargeBlockReleased)(std::size_t bytes) = nullptr;
}  // namespace vx_detail

namespace {

constexpr std::size_t kLargeBlock = std::size_t(256) << 10;  // from here on: the cache
constexpr std::size_t kPage = std::size_t(2) << 20;          // a transparent huge page
constexpr std::size_t kGrain = std::size_t(64) << 10;        // below a huge page

// The bytes a large block of `bytes` takes: whole huge pages from the size of one on,
// whole grains of 64 KiB below.
std::size_t roundedSize(std::size_t bytes) {
  const std::size_t unit = bytes >= kPage ? kPage : kGrain;
  return (bytes + unit - 1) / unit * unit;
}

// A block from the system, aligned to a huge page where it can be mapped; holds zeros.
void* systemBlock(std::size_t size) {
#if defined(__linux__)
  if (size < kPage) {
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
  }
  // Mapped a huge page larger, then trimmed to the huge pages inside.
  void* raw =
      mmap(nullptr, size + kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto address = reinterpret_cast<std::uintptr_t>(raw);
  const std::size_t before = (kPage - address % kPage) % kPage;  // up to the first huge page
  char* const base = static_cast<char*>(raw);
  if (before > 0) munmap(base, before);
  if (kPage > before) munmap(base + before + size, kPage - before);
  void* block = base + before;
#if defined(MADV_HUGEPAGE)
  madvise(block, size, MADV_HUGEPAGE);  // refused where the system has none: small pages then
#endif
  return block;
#else
  void* block = ::operator new(size, std::align_val_t(4096), std::nothrow);
  if (block != nullptr) std::memset(block, 0, size);
  return block;
#endif
}

void releaseSystemBlock(void* block, std::size_t size) noexcept {
#if defined(__linux__)
  munmap(block, size);
#else
  ::operator delete(block, std::align_val_t(4096));
  (void)size;
#endif
}

struct CachedBlock {
  void* block;
  std::size_t size;
};

// The cache of freed large blocks. It lives as long as the program; at exit it gives its
// blocks back, and blocks freed after that go straight to the system.
class BlockCache {
public:
  ~BlockCache() {
    const std::lock_guard<std::mutex> lock(mutex_);
    releaseAll();
    closed_ = true;
  }

  void* take(std::size_t bytes, vx_detail::BlockFill fill) {
    const std::size_t size = roundedSize(bytes);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      inUse_ += size;
      recentSize_[next_ % kRecent] = size;
      recent_[next_++ % kRecent] = inUse_;
      // The smallest cached block that fits: at least the size, at most twice it.
      auto best = blocks_.end();
      for (auto it = blocks_.begin(); it != blocks_.end(); ++it)
        if (it->size >= size && it->size <= 2 * size &&
            (best == blocks_.end() || it->size < best->size))
          best = it;
      if (best != blocks_.end()) {
        void* block = best->block;
        held_ -= best->size;
        // A block larger than the request keeps its size for when it comes back.
        if (best->size != size) {
          larger_.push_back(*best);
          inUse_ += best->size - size;
        }
        blocks_.erase(best);
        VX_UNPOISON(block, bytes);
        if (fill == vx_detail::BlockFill::Zeros) std::memset(block, 0, bytes);
        return block;
      }
    }
    void* block = systemBlock(size);
    if (block == nullptr) {
      // Memory that the cache holds may be what the system lacks.
      vfReleaseMemoryCache();
      block = systemBlock(size);
    }
    if (block == nullptr) {
      const std::lock_guard<std::mutex> lock(mutex_);
      inUse_ -= size;
      throw std::bad_alloc();
    }
    // Fresh pages carry no marks, even where an earlier block of this cache lay.
    VX_UNPOISON(block, size);
    return block;
  }

  void give(void* block, std::size_t bytes) noexcept {
    std::size_t size = roundedSize(bytes);
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = larger_.begin(); it != larger_.end(); ++it)
      if (it->block == block) {
        size = it->size;
        larger_.erase(it);
        break;
      }
    inUse_ -= std::min(inUse_, size);
    const std::size_t bound = boundNow();
    if (closed_ || size > bound) {
      VX_UNPOISON(block, size);  // the tail past the request may still be marked
      releaseSystemBlock(block, size);
      return;
    }
    VX_POISON(block, size);
    try {
      blocks_.push_back(CachedBlock{block, size});
    } catch (...) {
      VX_UNPOISON(block, size);
      releaseSystemBlock(block, size);
      return;
    }
    held_ += size;
    trim(bound);
  }

  std::size_t bound() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return bound_;
  }
  void setBound(std::size_t bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    bound_ = bytes;
    trim(boundNow());
  }
  std::size_t held() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }
  void release() {
    const std::lock_guard<std::mutex> lock(mutex_);
    releaseAll();
  }

private:
  static constexpr int kRecent = 16;

  // The caller's bound, or the most that was in use at once over the recent requests and
  // room for the largest of them: blocks of different sizes used at different moments
  // of a repeated call can add up to more than were in use at once, and a bound of that
  // alone would give one of them back on every round (the oldest, the next one needed).
  std::size_t boundNow() const {
    if (bound_ != vxMemoryCacheAuto) return bound_;
    std::size_t most = 0;
    std::size_t largest = 0;
    for (std::size_t s : recent_) most = std::max(most, s);
    for (std::size_t s : recentSize_) largest = std::max(largest, s);
    return most + largest;
  }

  // Gives back the oldest blocks until the cache holds at most `bound`.
  void trim(std::size_t bound) {
    while (held_ > bound && !blocks_.empty()) {
      const CachedBlock oldest = blocks_.front();
      blocks_.erase(blocks_.begin());
      held_ -= oldest.size;
      VX_UNPOISON(oldest.block, oldest.size);
      releaseSystemBlock(oldest.block, oldest.size);
    }
  }

  void releaseAll() { trim(0); }

  std::mutex mutex_;
  std::vector<CachedBlock> blocks_;
  std::vector<CachedBlock> larger_;  // handed out for smaller requests
  std::size_t held_ = 0;
  std::size_t inUse_ = 0;  // in large blocks handed out and not yet given back
  std::size_t bound_ = vxMemoryCacheAuto;
  std::size_t recent_[kRecent] = {};      // inUse_ after each of the last requests
  std::size_t recentSize_[kRecent] = {};  // the sizes of the last requests
  unsigned next_ = 0;
  bool closed_ = false;
};

BlockCache& blockCache() {
  static BlockCache cache;
  return cache;
}

}  // namespace

std::size_t vfMemoryCacheBound() { return blockCache().bound(); }

void vfSetMemoryCacheBound(std::size_t bytes) { blockCache().setBound(bytes); }

std::size_t vfMemoryCacheBytes() { return blockCache().held(); }

void vfReleaseMemoryCache() { blockCache().release(); }

namespace vx_detail {

void* allocateBlock(std::size_t bytes, std::size_t alignment, BlockFill fill) {
  if (bytes < kLargeBlock || alignment > kPage) {
    void* block = ::operator new(bytes == 0 ? 1 : bytes, std::align_val_t(alignment));
    if (fill == BlockFill::Zeros) std::memset(block, 0, bytes);
    return block;
  }
  if (gLargeBlockRequested != nullptr) gLargeBlockRequested(bytes);
  return blockCache().take(bytes, fill);
}

void releaseBlock(void* block, std::size_t bytes, std::size_t alignment) noexcept {
  if (block == nullptr) return;
  if (bytes < kLargeBlock || alignment > kPage) {
    ::operator delete(block, std::align_val_t(alignment));
    return;
  }
  if (gLargeBlockReleased != nullptr) gLargeBlockReleased(bytes);
  blockCache().give(block, bytes);
}

FloatBlock::~FloatBlock() { clear(); }

FloatBlock::FloatBlock(FloatBlock&& other) noexcept : data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

FloatBlock& FloatBlock::operator=(FloatBlock&& other) noexcept {
  if (this != &other) {
    clear();
    data_ = other.data_;
    size_ = other.size_;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

void FloatBlock::reset(std::size_t count, BlockFill fill) {
  if (count > static_cast<std::size_t>(-1) / sizeof(float)) throw std::bad_alloc();
  void* block = allocateBlock(count * sizeof(float), 64, fill);
  clear();
  data_ = static_cast<float*>(block);
  size_ = count;
}

void FloatBlock::clear() noexcept {
  releaseBlock(data_, size_ * sizeof(float), 64);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace vx_detail
