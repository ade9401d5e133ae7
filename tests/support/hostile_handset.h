#pragma once

// A download run against a handset whose every answer comes from a byte string: the worker
// (DownloadThreadProc) with its protocol and transfer steps, without Qt, on a link whose
// replies, disconnects and re-connections are read from the bytes and a console that only
// records. When the bytes run out the handset answers "no data" and cannot be opened, so
// every wait ends. Protocol time runs at scale 0.
//
// The first two bytes choose the images and options of the run; every byte after them is
// read by the link (and the wait for the rebooted handset) as the handset's behaviour:
//   0 no data   1 gone (until opened again)   2 what a cooperative boot loader answers
//   3 "OKUD"    4 "OKDN"    5 "OKU" + next byte    6 the next byte as a 32-bit word
//   7 the next byte n, then n raw bytes (fewer when the bytes end): short and long replies
// (the byte modulo 8). Opening the link and the detection wait take one byte each and
// succeed when its bit 1 is set, so that a run of 2s is a cooperative handset throughout.

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"
#include "engine/download_batch.h"
#include "engine/download_worker.h"
#include "images/lang_pack.h"
#include "link/link_platform.h"
#include "link/usb_interface.h"
#include "samples/sample_images.h"
#include "tests/support/scripted_link.h"

namespace vantorel::test {

// The handset's behaviour, consumed byte by byte.
class ReplyScript {
public:
    ReplyScript(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    std::optional<uint8_t> Next() {
        if (m_at >= m_size) {
            return std::nullopt;
        }
        return m_data[m_at++];
    }
    // Up to `count` bytes; how many there were.
    size_t Take(uint8_t* out, size_t count) {
        const size_t n = std::min(count, m_size - m_at);
        if (n > 0) {
            std::memcpy(out, m_data + m_at, n);
        }
        m_at += n;
        return n;
    }
    size_t Consumed() const { return m_at; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

class HostileLink final : public link::CUsbInterface {
public:
    HostileLink(EmptyPlatform& platform, ReplyScript& script)
        : CUsbInterface(platform.Platform()), m_script(script) {}

    bool Open(const link::Guid*, int, const char*) override {
        const auto byte = m_script.Next();
        m_bOpened = byte && (*byte & 0x02) != 0;
        m_bGone = false;
        m_honest.clear();
        return m_bOpened;
    }
    void Close() override { m_bOpened = false; }
    bool IsOpened() const override { return m_bOpened; }

    uint32_t Write(const void* buffer, uint32_t length) override {
        if (!m_bOpened || m_bGone) {
            return 0;
        }
        PlanHonestReplies(static_cast<const uint8_t*>(buffer), length);
        return length;
    }

    uint32_t Read(void* buffer, uint32_t length, bool) override {
        if (!m_bOpened || m_bGone) {
            return 0;
        }
        const auto op = m_script.Next();
        if (!op) {
            return 0;
        }
        auto* out = static_cast<uint8_t*>(buffer);
        engine::Reply4 reply{};
        switch (*op % 8) {
            case 0:
                return 0;
            case 1:
                m_bGone = true;
                return 0;
            case 2:
                if (!m_honest.empty()) {
                    reply = m_honest.front();
                    m_honest.pop_front();
                } else {
                    reply = engine::kReplyOkud;
                }
                break;
            case 3:
                reply = engine::kReplyOkud;
                break;
            case 4:
                reply = engine::kReplyOkdn;
                break;
            case 5:
                reply = {'O', 'K', 'U', m_script.Next().value_or(0)};
                break;
            case 6:
                engine::StoreLe32(reply.data(), m_script.Next().value_or(0));
                break;
            default: {
                const size_t wanted = m_script.Next().value_or(0);
                std::vector<uint8_t> raw(wanted);
                raw.resize(m_script.Take(raw.data(), raw.size()));
                const size_t count = std::min<size_t>(raw.size(), length);
                if (count > 0) {
                    std::memcpy(out, raw.data(), count);
                }
                return static_cast<uint32_t>(count);
            }
        }
        const size_t count = std::min<size_t>(reply.size(), length);
        std::memcpy(out, reply.data(), count);
        return static_cast<uint32_t>(count);
    }
    using CUsbInterface::Read;

private:
    // What a cooperative boot loader would send for the packet just written.
    void PlanHonestReplies(const uint8_t* bytes, uint32_t length) {
        using namespace engine;
        m_honest.clear();
        if (length < kPacketHeaderSize) {
            m_honest.push_back(kReplyOkud);  // the greeting
            return;
        }
        const uint32_t code = LoadLe32(bytes);
        const uint32_t a1 = LoadLe32(bytes + 4);
        const uint32_t a3 = LoadLe32(bytes + 12);
        const auto word = [](uint32_t value) {
            Reply4 reply{};
            StoreLe32(reply.data(), value);
            return reply;
        };
        switch (code) {
            case kCmdData: {
                const uint32_t payload =
                    std::min<uint32_t>(LoadLe32(bytes + 8), length - kPacketHeaderSize);
                m_honest.push_back(word(ByteSum(bytes + kPacketHeaderSize, payload)));
                break;
            }
            case kCmdFlashEboot:
                m_honest = {word(a3), word(24)};
                break;
            case kCmdNotifyUpdateImage:
                m_honest.push_back(kReplyOkud);
                if ((a1 & kMaskEboot) == 0) {
                    m_honest.push_back(word(24));
                }
                break;
            case kCmdFlashPdaTurn:
            case kCmdFlashPhone:
            case kCmdFlashCsc:
            case kCmdFlashLangPack:
                m_honest = {word(a3), {'O', 'K', 'U', 50}, kReplyOkdn, kReplyOkud};
                break;
            case kCmdVersionQuery:
                m_honest.push_back({'9', 'K', '4', 'T'});
                break;
            default:
                m_honest.push_back(kReplyOkud);
                break;
        }
    }

    ReplyScript& m_script;
    bool m_bOpened = true;  // the attach left it open
    bool m_bGone = false;
    std::deque<engine::Reply4> m_honest;
};

// The console as the worker sees it: records, and checks what a worker may send.
class RecordingHost final : public engine::DownloadHost {
public:
    RecordingHost(ReplyScript& script, int slot) : m_script(script), m_nSlot(slot) {}

    void SendSlotStatus(uint32_t code, uint32_t lParam) override {
        if (engine::StatusSlot(lParam) != m_nSlot) {
            Problem("a status for another slot");
        }
        statuses.push_back(code);
    }
    void AppendMainLogText(std::string_view text) override {
        if (text.size() >= 256 || !text.ends_with("\r\n")) {
            Problem("a log line that is too long or not ended");
        }
        log.append(text);
    }
    void SetImageKind(int slot, int32_t kind, bool) override {
        if (slot != m_nSlot || kind < engine::IMG_EBOOT || kind > engine::IMG_SMD) {
            Problem("an image kind out of range");
        }
    }
    void SetTurns(int slot, int32_t turn, int32_t turnTotal) override {
        if (slot != m_nSlot || turn < 1 || turn > turnTotal + 1) {
            Problem("turn counters out of range");
        }
    }
    bool WaitForDetection(int, std::chrono::nanoseconds, std::stop_token) override {
        const auto byte = m_script.Next();
        return byte && (*byte & 0x02) != 0;
    }
    void ClearDetectedDeviceName(int) override {}
    int StopSyncProcesses() override { return 0; }

    void Problem(const char* what) {
        if (problem.empty()) {
            problem = what;
        }
    }

    std::vector<uint32_t> statuses;
    std::string log;
    std::string problem;  // empty while all is well

private:
    ReplyScript& m_script;
    const int m_nSlot;
};

// The image files of hostile runs: small, written once per process.
struct HostileImages {
    samples::SampleSet set;
    uint32_t dwPdaPackData = 0;  // the pack's data behind pda_lang.nb0
};

inline const HostileImages& WrittenImages() {
    static const HostileImages images = [] {
        std::string directory =
            (std::filesystem::temp_directory_path() / "hostile-XXXXXX").string();
        if (::mkdtemp(directory.data()) == nullptr) {
            std::abort();
        }
        samples::SampleSizes sizes;
        sizes.dwEboot = 3000;
        sizes.dwLargeEboot = 2100;
        sizes.dwPdaImage = 5000;
        sizes.dwLangPackData = 2500;
        sizes.dwCsc = 3000;
        sizes.multiCscBlocks = {1};
        sizes.dwPhone = 2500;
        sizes.dwSmd = 4096;
        HostileImages written;
        written.set = samples::WriteSampleSet(directory, sizes, 5);
        written.dwPdaPackData = sizes.dwLangPackData;
        // The files stay for the life of the process; the directory goes with it.
        static const struct Remover {
            std::string path;
            ~Remover() {
                std::error_code ignored;
                std::filesystem::remove_all(path, ignored);
            }
        } remover{directory};
        return written;
    }();
    return images;
}

// The images and options of a run, from its first two bytes.
inline void ChooseRun(uint8_t images, uint8_t options, engine::DownloadImages& chosen,
                      engine::DownloadOptions& settings, bool& bWaitAfterDownload) {
    namespace fs = std::filesystem;
    const samples::SampleSet& set = WrittenImages().set;
    const auto size = [](const std::string& path) {
        return static_cast<uint32_t>(fs::file_size(path));
    };
    const bool packInPda = (images & 0x40) != 0;
    chosen.bEboot = (images & 0x01) != 0;
    chosen.bPda = (images & 0x02) != 0;
    chosen.bCsc = (images & 0x04) != 0;
    chosen.bLangPack = (images & 0x08) != 0 || (chosen.bPda && packInPda);
    chosen.bPhone = (images & 0x10) != 0;
    chosen.bSmd = (images & 0x20) != 0;
    chosen.bEbootLarge = (images & 0x80) != 0;
    const std::string& eboot = chosen.bEbootLarge ? set.ebootLarge : set.eboot;
    const std::string& pda = packInPda ? set.pdaWithLang : set.pda;
    if (chosen.bEboot) {
        chosen.strEbootPath = eboot;
        chosen.info.dwEbootSize = size(eboot);
    }
    if (chosen.bPda) {
        chosen.strPdaPath = pda;
        chosen.info.dwPdaSize = size(pda);
    }
    if (chosen.bCsc) {
        chosen.strCscPath = set.csc;
        chosen.info.dwCscSize = size(set.csc);
    }
    if (chosen.bLangPack) {
        if (chosen.bPda && packInPda) {
            chosen.info.dwLangSize = WrittenImages().dwPdaPackData;
        } else {
            chosen.strLangPath = set.langPack;
            chosen.info.dwLangSize = size(set.langPack) - images::kLangPackHeaderSize;
        }
    }
    if (chosen.bPhone) {
        chosen.strPhonePath = set.phone;
        chosen.info.dwPhoneSize = size(set.phone);
    }
    if (chosen.bSmd) {
        chosen.strSmdPath = set.smd;
        chosen.info.dwSmdSize = size(set.smd);
    }
    chosen.dwLanguageIndex = options & 0x0F;

    settings.bControlSector = (options & 0x01) != 0;
    settings.strRamSectorMb = std::to_string((options >> 1) & 0x07);
    settings.bWinUsbMode = (options & 0x10) != 0;
    settings.dwEraseNvCase = (options & 0x40) != 0 ? 0x810u : 0x10u;
    bWaitAfterDownload = (options & 0x20) != 0;
}

// What a hostile run left behind.
struct HostileOutcome {
    std::vector<uint32_t> statuses;
    std::string log;
    std::string problem;  // empty when the run kept every rule
    bool bLinkLeftOpen = false;
    size_t bytesRead = 0;  // of the handset's bytes
};

// Runs one download against the handset of `data`, on the calling thread, and checks what
// a run must never do: report success after a failure or nothing at all, send a status
// for another slot or an unknown code, leave its link open (but after a failed
// re-initialisation, which keeps it as the re-connection opened it).
inline HostileOutcome RunHostileHandset(const uint8_t* data, size_t size) {
    HostileOutcome outcome;
    if (size < 2) {
        return outcome;
    }
    constexpr int kSlot = 2;
    ReplyScript script(data + 2, size - 2);
    EmptyPlatform platform;
    HostileLink handset(platform, script);
    RecordingHost host(script, kSlot);
    engine::DownloadImages images;
    engine::DownloadOptions options;
    bool bWaitAfterDownload = false;
    ChooseRun(data[0], data[1], images, options, bWaitAfterDownload);
    engine::g_dwPdaSectorSize = engine::kDefaultPdaSectorSize;

    engine::SLOT_WORKER_PARAM param;
    param.nSlot = kSlot;
    param.pDlg = &host;
    param.pUsb = &handset;
    param.bWaitAfterDownload = bWaitAfterDownload;
    param.pImages = &images;
    param.pOptions = &options;
    param.pClock = &platform.clock;
    engine::DownloadThreadProc(param, std::stop_token{});

    outcome.statuses = host.statuses;
    outcome.log = host.log;
    outcome.problem = host.problem;
    outcome.bLinkLeftOpen = handset.IsOpened();
    outcome.bytesRead = script.Consumed();

    const auto failure = [](uint32_t code) {
        return code == engine::kStatusReadError || code == engine::kStatusFlashFailed ||
               code == engine::kStatusChecksumMismatch || code == engine::kStatusRebootFailed;
    };
    const auto known = [&](uint32_t code) {
        return failure(code) || code == engine::kStatusEbootInRam ||
               code == engine::kStatusRamProgress || code == engine::kStatusImageInRam ||
               code == engine::kStatusFlashProgress || code == engine::kStatusRebooting ||
               code == engine::kStatusWaitingForBoot || code == engine::kStatusFinished;
    };
    const std::vector<uint32_t>& codes = outcome.statuses;
    const auto firstFailure = std::find_if(codes.begin(), codes.end(), failure);
    if (!std::all_of(codes.begin(), codes.end(), known)) {
        outcome.problem = "an unknown status code";
    } else if (codes.empty() ||
               (!failure(codes.back()) && codes.back() != engine::kStatusFinished)) {
        outcome.problem = "the run ended without a final status";
    } else if (std::count(codes.begin(), codes.end(), engine::kStatusFinished) > 1 ||
               (codes.back() == engine::kStatusFinished && firstFailure != codes.end())) {
        outcome.problem = "a success reported after a failure, or twice";
    } else if (firstFailure != codes.end() &&
               std::any_of(firstFailure + 1, codes.end(),
                           [](uint32_t code) { return code != engine::kStatusFlashFailed; })) {
        outcome.problem = "the run went on after its failure";
    } else if (outcome.bLinkLeftOpen &&
               outcome.log.find("] Re-Init. Failed.\r\n") == std::string::npos) {
        outcome.problem = "the link was left open";
    }
    if (!host.problem.empty()) {
        outcome.problem = host.problem;
    }
    return outcome;
}

}  // namespace vantorel::test
