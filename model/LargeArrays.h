// Large arrays: assigned in room of exactly their size, and memory kept between the phases
// of a short-lived process. They are not advised as huge pages. On a virtual machine whose
// host takes back memory left free for a few seconds (free page reporting), a huge page
// comes from exactly such memory and the host must fault in all of it again: the 1M
// sheet's import took 0.7 s of system time that way against 0.2 s in plain pages. Huge
// pages only won when the memory had been used a moment before (0.05 s).
#pragma once

#include <cstddef>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace veltrane {

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

// v as n copies of x, in room of exactly n when it has less (not doubled).
template <class T>
void AssignLarge(std::vector<T>& v, size_t n, const T& x) {
  if (v.capacity() < n) {
    v = std::vector<T>();
    v.reserve(n);
  }
  v.assign(n, x);
}

}  // namespace veltrane
