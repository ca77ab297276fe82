#include "bench/alloc_count.h"

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define BENCH_COUNTING_HEAP 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BENCH_COUNTING_HEAP 0
#endif
#endif
#ifndef BENCH_COUNTING_HEAP
#if defined(__GLIBC__) || defined(__linux__)
#define BENCH_COUNTING_HEAP 1
#else
#define BENCH_COUNTING_HEAP 0
#endif
#endif

#if BENCH_COUNTING_HEAP
#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* memory, size_t size);
void __libc_free(void* memory);
}

namespace {

// One thread runs the product; plain counters do.
int64_t allocations = 0;
int64_t frees = 0;
int64_t liveBytes = 0;
bool trackBytes = false;

void Counted(void* memory) {
  if (memory == nullptr) return;
  ++allocations;
  if (trackBytes) liveBytes += static_cast<int64_t>(malloc_usable_size(memory));
}

void Uncounted(void* memory) {
  if (memory == nullptr) return;
  ++frees;
  if (trackBytes) liveBytes -= static_cast<int64_t>(malloc_usable_size(memory));
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  void* memory = __libc_malloc(size);
  Counted(memory);
  return memory;
}

void* calloc(size_t count, size_t size) {
  void* memory = __libc_calloc(count, size);
  Counted(memory);
  return memory;
}

void* realloc(void* memory, size_t size) {
  if (memory == nullptr) return malloc(size);
  if (size == 0) {
    free(memory);
    return nullptr;
  }
  const int64_t before =
      trackBytes ? static_cast<int64_t>(malloc_usable_size(memory)) : 0;
  void* moved = __libc_realloc(memory, size);
  if (moved != nullptr && trackBytes) {
    liveBytes += static_cast<int64_t>(malloc_usable_size(moved)) - before;
  }
  return moved;
}

void free(void* memory) {
  Uncounted(memory);
  __libc_free(memory);
}

}  // extern "C"

namespace bench {

bool HeapCountsAvailable() { return true; }

void TrackHeapBytes(bool on) { trackBytes = on; }

HeapCounts CurrentHeapCounts() {
  return {allocations, frees, allocations - frees, liveBytes};
}

}  // namespace bench

#else

namespace bench {

bool HeapCountsAvailable() { return false; }
void TrackHeapBytes(bool) {}
HeapCounts CurrentHeapCounts() { return {0, 0, 0, 0}; }

}  // namespace bench

#endif
