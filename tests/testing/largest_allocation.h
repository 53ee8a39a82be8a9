// The largest single heap allocation made while a piece of code runs, for
// tests that a reader refuses a huge file from its head instead of reading
// it whole. It uses the address sanitizer's allocation hooks, so it works in
// sanitizer builds only (elsewhere it reports nothing and the test skips).
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's hook interface (GCC ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                          void (*onFree)(const volatile void*));
#endif

namespace yel::testing {

namespace allocation_watch {
inline std::atomic<bool> watching{false};
inline std::atomic<std::size_t> largest{0};
extern "C" inline void OnMalloc(const volatile void*, std::size_t size) {
  if (!watching.load(std::memory_order_relaxed)) return;
  std::size_t seen = largest.load(std::memory_order_relaxed);
  while (size > seen && !largest.compare_exchange_weak(seen, size)) {
  }
}
extern "C" inline void OnFree(const volatile void*) {}
}  // namespace allocation_watch

// Runs code and returns the size of the largest allocation it made;
// nothing without the address sanitizer.
inline std::optional<std::size_t> LargestAllocation(const std::function<void()>& code) {
#if defined(__SANITIZE_ADDRESS__)
  static const bool installed =
      __sanitizer_install_malloc_and_free_hooks(&allocation_watch::OnMalloc, &allocation_watch::OnFree) != 0;
  if (!installed) return std::nullopt;
  allocation_watch::largest = 0;
  allocation_watch::watching = true;
  try {
    code();
  } catch (...) {
    allocation_watch::watching = false;
    throw;
  }
  allocation_watch::watching = false;
  return allocation_watch::largest.load();
#else
  code();
  return std::nullopt;
#endif
}

}  // namespace yel::testing
