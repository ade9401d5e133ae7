#include "tools/usb_vm/victim_run.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "tools/usb_vm/probe_support.h"
#include "tools/usb_vm/udc_binding.h"

namespace vantorel::usb_vm {

namespace {

// Unbinds a gadget after a hold, unless stopped first; remembers when it did.
class DelayedUnplug {
public:
    DelayedUnplug(UdcBinding udc, std::chrono::milliseconds hold)
        : m_udc(std::move(udc)),
          m_thread([this, hold](std::stop_token stop) { Run(stop, hold); }) {}

    // Stops a pending unplug and joins.
    void Finish() {
        m_thread.request_stop();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    std::optional<SteadyClock::time_point> UnboundAt() {
        std::lock_guard lock(m_mutex);
        return m_unboundAt;
    }

private:
    void Run(std::stop_token stop, std::chrono::milliseconds hold) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, stop, hold, [] { return false; });
            if (stop.stop_requested()) {
                return;
            }
            m_unboundAt = SteadyClock::now();
        }
        m_udc.Unbind();
    }

    const UdcBinding m_udc;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::optional<SteadyClock::time_point> m_unboundAt;
    std::jthread m_thread;  // last: it runs on everything above
};

std::string Millis(SteadyClock::duration duration) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()) +
           " ms";
}

}  // namespace

VictimReport RunVictim(ProbedHandset& handset, const std::vector<uint8_t>& eboot,
                       const ProbeRunContext& context) {
    VictimReport report;
    link::CWinUsbInterface& link = *handset.link;
    const ProbeOptions& options = context.options;
    const auto fail = [&](std::string what) {
        report.failure = std::move(what);
        link.Close();
        return report;
    };
    if (!Greet(link, 3)) {
        return fail("no OKUD to the greeting");
    }
    engine::SendCommand(link, engine::kCmdNotifyUpdateImage, engine::kMaskEboot, 0, 0);

    std::optional<DelayedUnplug> unplug;
    const RamTransfer transfer = SendToRam(link, 0, eboot, [&](uint64_t index) {
        if (index == options.victimPacket) {
            unplug.emplace(UdcBinding(options.configfsRoot / handset.name, ""), options.victimHold);
        }
    });
    const auto unboundAt = unplug ? (unplug->Finish(), unplug->UnboundAt()) : std::nullopt;

    if (transfer.bDone) {
        return fail("the transfer completed: packet " + std::to_string(options.victimPacket) +
                    " was echoed");
    }
    if (!unboundAt) {
        return fail("the read ended before the unplug: " + transfer.failure);
    }
    if (transfer.packetsSent != options.victimPacket) {
        return fail("failed at the wrong packet: " + transfer.failure);
    }
    if (transfer.failedReadCount != 0) {
        return fail("the read after the unplug returned " +
                    std::to_string(transfer.failedReadCount) + " bytes, not 0");
    }
    if (transfer.failedAt < *unboundAt) {
        return fail("the read ended before the unplug: " + transfer.failure);
    }
    report.readEndAfterUnbind = transfer.failedAt - *unboundAt;
    if (report.readEndAfterUnbind > options.unplugBound) {
        return fail("the read ended " + Millis(report.readEndAfterUnbind) +
                    " after the unplug, beyond the bound");
    }
    if (!WaitUntilListed(context.directory, handset.devicePath, false, options.unplugBound)) {
        return fail("still listed after the unplug");
    }
    link.Close();
    report.bPassed = true;
    return report;
}

}  // namespace vantorel::usb_vm
