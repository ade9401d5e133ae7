#pragma once

namespace vantorel {

// Bounds the C library's allocation arenas to one per processor (two at least). It gives
// every new thread an arena of its own, up to eight per processor, and keeps each one at its
// high-water mark; with eight workers and their links coming and going batch after batch, a
// station that runs all day would hold a little more memory with every arena it opened.
// Called once at start-up, before any thread.
void LimitAllocatorArenas();

}  // namespace vantorel
