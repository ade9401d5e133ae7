#pragma once

namespace vantorel {

// Bounds the C library's allocation arenas to one per processor (two at least). It gives
// every new thread an arena of its own, up to eight per processor, and keeps each one at its
// high-water mark; with eight workers and their links coming and going batch after batch, a
// station that runs all day would hold a little more memory with every arena it opened.
// Called once at start-up, before any thread.
void LimitAllocatorArenas();

// Hands the pages that freed allocations left in every arena back to the system. A batch
// leaves the arenas holding its high-water mark in free pieces; the station calls this when
// the operator clears the bench for the next batch, so that memory does not stay with the
// process between batches.
void ReturnFreedMemory();

}  // namespace vantorel
