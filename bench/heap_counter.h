// Peak heap of a stretch of a benchmark program: replaces the global
// allocation functions with counting ones. Include it from exactly one
// translation unit of a program, since it defines those functions.
// Single-threaded programs only: plain counters.
#pragma once

#include <malloc.h>  // malloc_usable_size

#include <algorithm>  // max
#include <cstddef>    // size_t
#include <cstdint>    // int64_t
#include <cstdlib>    // malloc, free
#include <new>        // bad_alloc

namespace heap_counter {

// Off until start(): then the only cost is one predictable branch per call.
inline bool counting = false;
// Live bytes since start(); freeing a block allocated before it makes this
// negative, which only lowers the baseline.
inline std::int64_t live = 0;
inline std::int64_t peak = 0;

inline void start() noexcept {
  live = peak = 0;
  counting = true;
}

// The largest number of bytes live at once since start(), beyond what was
// live then.
inline std::size_t stop() noexcept {
  counting = false;
  return static_cast<std::size_t>(peak);
}

inline void* allocate(std::size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  if (counting) {
    live += static_cast<std::int64_t>(malloc_usable_size(p));
    peak = std::max(peak, live);
  }
  return p;
}

inline void release(void* p) noexcept {
  if (p == nullptr) return;
  if (counting) live -= static_cast<std::int64_t>(malloc_usable_size(p));
  std::free(p);
}

}  // namespace heap_counter

void* operator new(std::size_t n) { return heap_counter::allocate(n); }
void* operator new[](std::size_t n) { return heap_counter::allocate(n); }
void operator delete(void* p) noexcept { heap_counter::release(p); }
void operator delete[](void* p) noexcept { heap_counter::release(p); }
void operator delete(void* p, std::size_t) noexcept {
  heap_counter::release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  heap_counter::release(p);
}
