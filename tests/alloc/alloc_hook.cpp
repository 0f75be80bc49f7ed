// Replacement global allocation functions that can fail on request.
#include "alloc_hook.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::int64_t> gFailAt{0};
std::atomic<std::int64_t> gCount{0};
constexpr std::size_t kAlign = 64;  // every alignment the library asks for

void* allocate(std::size_t size, std::size_t alignment) {
  const std::int64_t failAt = gFailAt.load();
  if (failAt != 0 && ++gCount == failAt) throw std::bad_alloc();
  if (alignment > kAlign) throw std::bad_alloc();  // not needed by the library
  void* p = std::aligned_alloc(kAlign, ((size + kAlign - 1) / kAlign + (size == 0)) * kAlign);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void release(void* p) noexcept { std::free(p); }

}  // namespace

void* operator new(std::size_t size) { return allocate(size, alignof(std::max_align_t)); }
void* operator new[](std::size_t size) { return allocate(size, alignof(std::max_align_t)); }
void* operator new(std::size_t size, std::align_val_t a) { return allocate(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocate(size, static_cast<std::size_t>(a)); }
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

}  // namespace alloc_hook
