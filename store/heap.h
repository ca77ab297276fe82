// The store's one way to the C runtime heap.
//
// Everything the store allocates (text storage, list cells, block data,
// nodes) is plain malloc/free memory, because the companion frees what we
// allocate and we free what it does.  The counters and the failure schedule
// let tests see leaks and drive every out-of-memory path; the product never
// sets a schedule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace store_heap {

// std::malloc(size) unless the failure schedule refuses it (null).
void* Allocate(size_t size);
// std::free(memory); null is ignored.
void Free(void* memory);

// Allocations that succeeded and frees of non-null memory, since start.
int64_t Allocations();
int64_t Frees();
// Allocations not yet freed (Allocations() - Frees()).
int64_t Live();

// After `skip` more successful allocations, the next `count` allocations
// fail (count < 0: every one after skip).  FailNone() clears the schedule.
void FailAllocations(int64_t skip, int64_t count);
void FailNone();

}  // namespace store_heap
