#include "engine/download_batch.h"

namespace vantorel::engine {

std::atomic<uint32_t> g_dwPdaSectorSize{kDefaultPdaSectorSize};

}  // namespace vantorel::engine
