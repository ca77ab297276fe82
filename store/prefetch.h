// Asks the processor to start loading memory that will be read soon.  Only a
// hint: it never faults, whatever the address, and compilers without the
// builtin make it nothing.
#pragma once

inline void PrefetchForRead(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address, 0, 3);
  // GCC counts a prefetch as having no effect, so a helper made only of
  // prefetches passes for pure and its calls are dropped as dead; the empty
  // volatile statement keeps them.
  __asm__ __volatile__("" : : "r"(address));
#else
  (void)address;
#endif
}
