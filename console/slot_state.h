#pragma once

#include <atomic>
#include <cstdint>

#include "engine/attach_handshake.h"
#include "engine/download_batch.h"

namespace vantorel::console {

using engine::IMG_CSC;
using engine::IMG_EBOOT;
using engine::IMG_FINISHED;
using engine::IMG_LANGPACK;
using engine::IMG_PDA;
using engine::IMG_PHONE;
using engine::IMG_SMD;
using engine::SLOT_DONE;
using engine::SLOT_DOWNLOADING;
using engine::SLOT_FAILED;
using engine::SLOT_READY;
using engine::SLOT_WAITING;

// One slot's progress through a batch. The dialog thread owns nState; the slot's worker
// writes nImageKind and nPartIndex while the dialog words its notifications from them.
struct SLOT_STATUS {
    std::atomic<int32_t> nState{SLOT_WAITING};
    std::atomic<int32_t> nImageKind{IMG_EBOOT};
    std::atomic<int32_t> nPartIndex{0};
};

}  // namespace vantorel::console
