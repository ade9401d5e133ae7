#pragma once

namespace vantorel::console {

// Takes the host's competing device programs out of the station's way and brings them back.
// The link mode decides how: the bulk link stops the competing service; the serial-style
// link ends the competing processes and starts them again at close.
class SyncServiceController {
public:
    virtual ~SyncServiceController() = default;

    // Safe to call from any thread.
    virtual void StopSyncProcesses(bool bWinUsbMode) = 0;
    virtual void RestartSyncProcesses(bool bWinUsbMode) = 0;
};

}  // namespace vantorel::console
