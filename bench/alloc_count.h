// A counting C heap for the benchmark and the growth test: malloc, calloc,
// realloc and free are defined in the program and forward to the C
// library's own, counting every block made and freed and the usable bytes
// still held.  Everything (operator new, the store's heap, BSTRs) reaches
// malloc in the end, so these counts see the whole process.
//
// Under AddressSanitizer the sanitizer owns malloc; the counts are then not
// kept (Available() is false) and its leak check stands in for them.
#pragma once

#include <cstdint>

namespace bench {

struct HeapCounts {
  int64_t allocations;  // blocks made (malloc, calloc, realloc of null)
  int64_t frees;        // blocks freed (free of non-null, realloc to 0)
  int64_t liveBlocks;   // allocations - frees
  int64_t liveBytes;    // usable bytes of the live blocks (TrackHeapBytes)
};

bool HeapCountsAvailable();
HeapCounts CurrentHeapCounts();

// Keeps liveBytes from now on (off at start: asking each block's usable
// size costs the benchmark time).  Turn it on before the blocks to be
// compared are made, and leave it on.
void TrackHeapBytes(bool on);

}  // namespace bench
