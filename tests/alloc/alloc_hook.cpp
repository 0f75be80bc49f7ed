// Replacement global allocation functions. Each block carries a small header with
// its size so that live bytes can be counted on release.
#include "alloc_hook.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace vx_detail {
extern void (*gLargeBlockRequested)(std::size_t bytes);
extern void (*gLargeBlockReleased)(std::size_t bytes);
}  // namespace vx_detail

namespace {

std::atomic<std::int64_t> gFailAt{0};
std::atomic<std::int64_t> gCount{0};
std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};
std::atomic<std::size_t> gStart{0};

constexpr std::size_t kHeader = 64;  // keeps every alignment up to 64 bytes

// Counts an allocation of `size` bytes: fails it when it is the armed one, else adds it
// to the live bytes and the peak.
void count(std::size_t size) {
  const std::int64_t failAt = gFailAt.load();
  if (failAt != 0 && ++gCount == failAt) throw std::bad_alloc();
  const std::size_t live = gLive += size;
  std::size_t peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {}
}

void* allocate(std::size_t size, std::size_t alignment) {
  if (alignment > kHeader) throw std::bad_alloc();  // not needed by the library
  count(size);
  void* raw = std::aligned_alloc(kHeader, kHeader + ((size + kHeader - 1) / kHeader) * kHeader);
  if (raw == nullptr) {
    gLive -= size;
    throw std::bad_alloc();
  }
  *static_cast<std::size_t*>(raw) = size;
  return static_cast<char*>(raw) + kHeader;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  char* raw = static_cast<char*>(p) - kHeader;
  gLive -= *reinterpret_cast<std::size_t*>(raw);
  std::free(raw);
}

// The library's large blocks (platform/memory.h) are counted and failed like the others:
// the allocator calls these for every large block it hands out or takes back.
void largeRequested(std::size_t size) { count(size); }

void largeReleased(std::size_t size) { gLive -= size; }

struct InstallLargeBlockHooks {
  InstallLargeBlockHooks() {
    vx_detail::gLargeBlockRequested = &largeRequested;
    vx_detail::gLargeBlockReleased = &largeReleased;
  }
} installLargeBlockHooks;

}  // namespace

void* operator new(std::size_t size) { return allocate(size, alignof(std::max_align_t)); }
void* operator new[](std::size_t size) { return allocate(size, alignof(std::max_align_t)); }
void* operator new(std::size_t size, std::align_val_t a) {
  return allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return allocate(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size, alignof(std::max_align_t));
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }

namespace alloc_hook {

void arm(std::int64_t failAt) {
  gCount = 0;
  gFailAt = failAt;
}

std::int64_t disarm() {
  gFailAt = 0;
  return gCount.load();
}

void resetPeak() {
  gStart = gLive.load();
  gPeak = gLive.load();
}

std::size_t peakAboveStart() { return gPeak.load() - gStart.load(); }

}  // namespace alloc_hook
