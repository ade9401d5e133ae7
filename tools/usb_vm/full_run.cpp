#include "tools/usb_vm/full_run.h"

#include <thread>

#include "engine/byte_sum.h"

namespace vantorel::usb_vm {

namespace {

constexpr int kGreetingAttempts = 3;
constexpr uint32_t kImageKindEboot = 0;
constexpr uint32_t kImageKindCsc = 2;
constexpr uint32_t kImageKindPhone = 4;
// Only command 1001 looks at it.
constexpr uint32_t kNoPdaSector = UINT32_MAX;

class FullRun {
public:
    FullRun(ProbedHandset& handset, const ProbeImages& images, const ProbeRunContext& context)
        : m_handset(handset),
          m_link(*handset.link),
          m_images(images),
          m_context(context),
          m_reporter(handset.name) {}

    FullRunReport Run() {
        const auto start = SteadyClock::now();
        m_report.bPassed =
            BootLoader() && Reboot() && AfterReboot() &&
            FlashImage("modem image", kImageKindPhone, engine::kCmdFlashPhone, m_images.phone) &&
            FlashImage("CSC image", kImageKindCsc, engine::kCmdFlashCsc, m_images.csc);
        m_link.Close();
        m_report.wholeTime = SteadyClock::now() - start;
        return m_report;
    }

private:
    bool Fail(std::string what) {
        m_report.failure = std::move(what);
        return false;
    }

    bool ToRam(const char* what, uint32_t kind, const std::vector<uint8_t>& image) {
        const RamTransfer transfer = SendToRam(m_link, kind, image);
        if (!transfer.bDone) {
            return Fail(std::string(what) + ": " + transfer.failure);
        }
        m_report.payloadBytes += image.size();
        m_report.packetTime += transfer.elapsed;
        if (kind == kImageKindEboot) {
            m_report.medianWrite = transfer.medianWrite;
            m_report.medianEcho = transfer.medianEcho;
        }
        return true;
    }

    bool BootLoader() {
        if (!Greet(m_link, kGreetingAttempts)) {
            return Fail("no OKUD to the greeting");
        }
        engine::SendCommand(m_link, engine::kCmdNotifyUpdateImage, engine::kMaskEboot, 0, 0);
        if (!ToRam("boot loader", kImageKindEboot, m_images.eboot)) {
            return false;
        }
        const uint32_t sum = engine::ByteSum(m_images.eboot.data(), m_images.eboot.size());
        if (!engine::SendCommandCheck(m_link, engine::kCmdFlashEboot, 0,
                                      static_cast<uint32_t>(m_images.eboot.size()), sum)) {
            return Fail("command 4: the reply is not the boot loader's sum");
        }
        engine::Reply4 version{};
        if (ReadReplyExact(m_link, version) != engine::kReplySize ||
            engine::ReplyValue(version) != m_context.options.protocolVersion) {
            return Fail("no protocol version word " +
                        std::to_string(m_context.options.protocolVersion) + " after command 4");
        }
        return true;
    }

    bool Reboot() {
        const auto start = SteadyClock::now();
        if (!engine::SendCommand(m_link, engine::kCmdReboot, engine::kLaunchAddress, 0, 0)) {
            return Fail("command 20 on a closed link");
        }
        m_link.Close();
        const auto bound = m_context.options.reopenBound;
        // Until the handset has left, the recorded path still names the old session.
        if (!WaitUntilListed(m_context.directory, m_handset.devicePath, false, bound)) {
            return Fail("still listed " + std::to_string(bound.count()) + " ms after command 20");
        }
        const auto deadline = SteadyClock::now() + bound;
        while (!m_link.Open(&link::GUID_DEVINTERFACE_DOWNLOAD, m_handset.slot,
                            m_handset.devicePath.c_str())) {
            if (SteadyClock::now() >= deadline) {
                return Fail("not open again by its recorded path " + std::to_string(bound.count()) +
                            " ms after it left");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        m_report.rebootTime = SteadyClock::now() - start;
        return true;
    }

    bool AfterReboot() {
        if (m_link.DevicePath() != m_handset.devicePath) {
            return Fail("the link recorded " + m_link.DevicePath() + " on re-opening");
        }
        if (!Greet(m_link, kGreetingAttempts)) {
            return Fail("no OKUD to the greeting after the reboot");
        }
        engine::Reply4 version{};
        if (engine::QueryBootLoaderVersion(m_link, version) != engine::kReplySize ||
            engine::BootLoaderVersionText(version) != m_context.options.bootLoaderVersion) {
            return Fail("version query answered '" + engine::BootLoaderVersionText(version) + "'");
        }
        return true;
    }

    bool FlashImage(const char* what, uint32_t kind, uint32_t command,
                    const std::vector<uint8_t>& image) {
        if (!ToRam(what, kind, image)) {
            return false;
        }
        const uint32_t sum = engine::ByteSum(image.data(), image.size());
        if (engine::FlashWrite(m_link, command, 0, static_cast<uint32_t>(image.size()), sum,
                               m_reporter, m_handset.slot, m_context.clock, kNoPdaSector) != 0) {
            return Fail(std::string(what) + ": flash-write exchange failed");
        }
        engine::Reply4 done{};
        if (ReadReplyExact(m_link, done) != engine::kReplySize || done != engine::kReplyOkud) {
            return Fail(std::string(what) + ": no OKUD after the flash write");
        }
        return true;
    }

    ProbedHandset& m_handset;
    link::CWinUsbInterface& m_link;
    const ProbeImages& m_images;
    const ProbeRunContext& m_context;
    ProbeReporter m_reporter;
    FullRunReport m_report;
};

}  // namespace

FullRunReport RunFullSequence(ProbedHandset& handset, const ProbeImages& images,
                              const ProbeRunContext& context) {
    return FullRun(handset, images, context).Run();
}

}  // namespace vantorel::usb_vm
