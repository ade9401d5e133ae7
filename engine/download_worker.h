#pragma once

#include <cstdint>
#include <stop_token>

#include "engine/download_batch.h"

namespace vantorel::engine {

// How long a worker waits for its handset to come back after the reboot into the new boot
// loader. Handsets re-enumerate within seconds, and slots reboot 2 s apart, so two minutes
// is generous for eight slots; past it the handset is taken as lost rather than holding
// its slot for good.
inline constexpr Clock::Duration kRedetectionBound{120000};
// Re-opening the link once the handset is back: tries, and the pause after a failed one.
inline constexpr int kReconnectAttempts = 15;
inline constexpr Clock::Duration kReconnectPause{3000};
// The wait after the download while the handset boots, longer when a language pack went too.
inline constexpr Clock::Duration kWaitAfterDownload{200000};
inline constexpr Clock::Duration kWaitAfterDownloadWithLanguage{350000};

// One whole download run for the handset in param.nSlot; the outcome goes out as status
// notifications only. A stop request (the window closing) ends the run at its next wait
// without further notifications. Always returns 0.
uint32_t DownloadThreadProc(const SLOT_WORKER_PARAM& param, std::stop_token stop);

}  // namespace vantorel::engine
