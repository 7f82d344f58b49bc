// Large arrays in huge pages where the system offers them on request (Linux with
// transparent huge pages set to "madvise"): the first writes to a few hundred megabytes
// of fresh memory then cost hundreds of page faults instead of tens of thousands, which
// on a virtual machine took a quarter of a big import's time. Only the advice is given;
// memory still comes as it is first written, and elsewhere nothing changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#endif

namespace veltrane {

// Arrays smaller than this are left as they come.
inline constexpr size_t c_nLargeArrayBytes = size_t{4} << 20;

// Advises that [p, p + nBytes) is one large array, written soon.
inline void AdviseLargeArray(const void* p, size_t nBytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (nBytes < c_nLargeArrayBytes) return;
  constexpr uintptr_t c_nPage = 4096;
  const uintptr_t a = (reinterpret_cast<uintptr_t>(p) + c_nPage - 1) & ~(c_nPage - 1);
  const uintptr_t b = (reinterpret_cast<uintptr_t>(p) + nBytes) & ~(c_nPage - 1);
  if (b > a) madvise(reinterpret_cast<void*>(a), b - a, MADV_HUGEPAGE);  // advice: failure changes nothing
#else
  (void)p;
  (void)nBytes;
#endif
}

// For a short-lived process that works in phases over one big input (the command-line
// import): the large arrays one phase lets go are kept for the next instead of being given
// back to the system and asked for again, which costs a page fault and a cleared page for
// every page written (a tenth of a 100,000-element import). Freed memory is not returned
// while the process runs, so a long-lived one (the window) leaves this alone.
inline void KeepFreedMemory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

// v.reserve(n), the room advised as one large array.
template <class T>
void ReserveLarge(std::vector<T>& v, size_t n) {
  v.reserve(n);
  AdviseLargeArray(v.data(), v.capacity() * sizeof(T));
}
inline void ReserveLarge(std::string& s, size_t n) {
  s.reserve(n);
  AdviseLargeArray(s.data(), s.capacity());
}

// v as n copies of x, in memory advised as one large array.
template <class T>
void AssignLarge(std::vector<T>& v, size_t n, const T& x) {
  if (v.capacity() < n) {
    v = std::vector<T>();
    ReserveLarge(v, n);
  }
  v.assign(n, x);
}

}  // namespace veltrane
