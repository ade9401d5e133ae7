#include "base/allocator_arenas.h"

#include <malloc.h>

#include <algorithm>
#include <thread>

namespace vantorel {

void LimitAllocatorArenas() {
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    mallopt(M_ARENA_MAX, std::max(2, processors));
}

}  // namespace vantorel
