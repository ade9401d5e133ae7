#include "console/failure_advice.h"

#include "base/text_format.h"
#include "engine/slot_status.h"

namespace vantorel::console {

using namespace engine;

std::string FailureAdvice(uint32_t code, uint32_t value, const FailureFacts& facts) {
    switch (code) {
        case kStatusReadError:
            if (value == 1) {
                return "The station stopped at this image's file, header or the boot loader's "
                       "version: check the images and the slot's log, then try again";
            }
            if (!facts.bHandsetPresent) {
                return "Unplugged during the download";
            }
            return "The handset stopped answering: unplug it, plug it in again and retry";
        case kStatusFlashFailed:
            return "The handset could not write the image to its flash: retry; replace the "
                   "handset if it fails again";
        case kStatusChecksumMismatch:
            if (facts.wrongChecksumPacket) {
                return FormatText(
                    "The handset answered a wrong checksum at packet %u: retry; replace the "
                    "handset if it fails again",
                    *facts.wrongChecksumPacket);
            }
            return "The handset answered a wrong checksum: retry; replace the handset if it "
                   "fails again";
        case kStatusRebootFailed:
            return "The handset did not come back after its reboot: check the cable and try "
                   "again";
        default:
            return {};
    }
}

std::vector<uint32_t> FailureStatusCodes() {
    return {kStatusReadError, kStatusFlashFailed, kStatusChecksumMismatch, kStatusRebootFailed};
}

}  // namespace vantorel::console
