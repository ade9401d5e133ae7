#include "base/process_memory.h"

#include <malloc.h>

#include <algorithm>
#include <thread>

namespace vantorel {

void LimitAllocatorArenas() {
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    mallopt(M_ARENA_MAX, std::max(2, processors));
}

void ReturnFreedMemory() {
    malloc_trim(0);
}

}  // namespace vantorel
