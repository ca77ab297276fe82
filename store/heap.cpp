#include "store/heap.h"

#include <cstdlib>

namespace store_heap {
namespace {

int64_t allocations = 0;
int64_t frees = 0;
int64_t skipBeforeFailing = 0;
int64_t failuresLeft = 0;  // < 0: fail for ever

bool ScheduledToFail() {
  if (failuresLeft == 0) return false;
  if (skipBeforeFailing > 0) {
    --skipBeforeFailing;
    return false;
  }
  if (failuresLeft > 0) --failuresLeft;
  return true;
}

}  // namespace

void* Allocate(size_t size) {
  if (ScheduledToFail()) return nullptr;
  // malloc(0) may answer null or a unique pointer; ask for one byte so that
  // a successful allocation is never null.
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory != nullptr) ++allocations;
  return memory;
}

void Free(void* memory) {
  if (memory == nullptr) return;
  ++frees;
  std::free(memory);
}

int64_t Allocations() { return allocations; }
int64_t Frees() { return frees; }
int64_t Live() { return allocations - frees; }

void FailAllocations(int64_t skip, int64_t count) {
  skipBeforeFailing = skip < 0 ? 0 : skip;
  failuresLeft = count;
}

void FailNone() {
  skipBeforeFailing = 0;
  failuresLeft = 0;
}

}  // namespace store_heap
