#include "engine/download_worker.h"

#include <array>
#include <cstdarg>
#include <cstdlib>

#include "base/text_format.h"
#include "engine/boot_loader_protocol.h"
#include "engine/file_checksum.h"
#include "engine/image_file.h"
#include "engine/pda_turns.h"
#include "engine/ram_transfer.h"
#include "images/csc_file.h"
#include "images/lang_pack.h"
#include "images/pda_image.h"

namespace vantorel::engine {

namespace {

using std::chrono::milliseconds;

constexpr uint32_t kFileFailure = 1;        // high half of 209/215/216 for file, header, version
constexpr uint32_t kSmdBlockSize = 135168;  // 64 pages of 2048 + 64 bytes
constexpr uint32_t kSmdBlocksPerRun = 800;
constexpr uint32_t kMinProtocolVersion = 13;

// Reads a header of `size` bytes at the file's position and hands it to its reader in
// images/, which owns the header's markers; a file that ends first fails like a bad marker.
template <size_t size, typename Parse>
auto ReadHeader(ImageFile& file, Parse parse) -> decltype(parse(nullptr)) {
    std::array<uint8_t, size> bytes{};
    if (file.Read(bytes.data(), size) != size) {
        return {images::FormatError::kTooShort, {}};
    }
    return parse(bytes.data());
}

// The worker reports through itself so that every failure status, whichever layer sends it,
// can say so when the real cause is a handset that stopped answering.
class DownloadRun final : private DownloadReporter {
public:
    DownloadRun(const SLOT_WORKER_PARAM& param, std::stop_token stop)
        : m_nSlot(param.nSlot),
          m_host(*param.pDlg),
          m_link(*param.pUsb),
          m_images(*param.pImages),
          m_options(*param.pOptions),
          m_clock(*param.pClock),
          m_bWaitAfterDownload(param.bWaitAfterDownload),
          m_stop(std::move(stop)),
          m_slot{m_link, *this, m_nSlot, m_clock} {}

    void Run() {
        RunSteps();
        m_file.Close();
        if (!m_bKeepLinkOpen && m_link.IsOpened()) {
            m_link.Close();
        }
    }

private:
    void RunSteps();
    uint32_t ImageMask() const;
    uint32_t SetUpSectorSize();
    bool SendEboot();
    bool CheckProtocolVersion();
    bool RebootIntoNewBootLoader();
    bool SendReboot();
    bool WaitForRedetection();
    bool Reopen();
    bool GreetAgain();
    bool SendCsc();
    bool SendPda();
    bool SendLangPack();
    bool SendPhone();
    bool SendSmd();
    void FinishRun();

    bool Sleep(milliseconds duration) { return m_clock.SleepUnlessStopped(duration, m_stop); }
    bool Stopped() const { return m_stop.stop_requested(); }

    // A notification, unless the window is closing: then nobody is left to show it. A
    // failure after the handset fell silent is a read error from USB, whichever step saw it.
    void Status(uint32_t code, uint32_t value = 0) {
        if (Stopped()) {
            return;
        }
        if (IsFailure(code) && m_link.ReplyTimedOut()) {
            LogFailure("[%s:%d] No reply from the handset for %d s.\r\n", KindTag(), Tag(),
                       static_cast<int>(m_link.SilenceThatTimedOut().count() / 1000));
            code = kStatusReadError;
            value = 0;
        }
        m_host.SendSlotStatus(code, MakeStatusParam(m_nSlot, value));
    }
    static bool IsFailure(uint32_t code) {
        return code == kStatusReadError || code == kStatusFlashFailed ||
               code == kStatusChecksumMismatch || code == kStatusRebootFailed;
    }
    const char* KindTag() const {
        static constexpr const char* kTags[] = {"EBoot", "PDA", "CSC", "LANGPACK", "Phone", "SMD"};
        return m_nKind >= 0 && static_cast<size_t>(m_nKind) < std::size(kTags) ? kTags[m_nKind]
                                                                               : "Setup";
    }
    // DownloadReporter, for the protocol operations that report on their own.
    void SendSlotStatus(uint32_t code, uint32_t lParam) override {
        Status(code, StatusValue(lParam));
    }
    void AppendMainLogText(std::string_view text) override { m_host.AppendMainLogText(text); }
    void AppendFailureLogText(std::string_view text) override { m_host.AppendFailureLogText(text); }
    void NoteWrongChecksumAt(int slot, uint32_t packet) override {
        m_host.NoteWrongChecksumAt(slot, packet);
    }
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, format);
        const std::string line = FormatTextV(format, args);
        va_end(args);
        m_host.AppendMainLogText(line);
    }
    // A line that says why the run fails.
    void LogFailure(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, format);
        const std::string line = FormatTextV(format, args);
        va_end(args);
        m_host.AppendFailureLogText(line);
    }
    int Tag() const { return m_nSlot + 1; }

    bool OpenImage(const std::string& path, uint64_t offset) {
        return m_file.Open(path) && m_file.Seek(offset) && m_file.Position() == offset;
    }
    // A DownloadToRam failure: its status, with the error flag in the high half.
    bool ToRam(int32_t kind, uint32_t start, uint32_t end, uint32_t ramAddress) {
        uint32_t errorFlag = 0;
        const uint32_t code =
            DownloadToRam(m_slot, kind, m_file, start, end, ramAddress, errorFlag);
        if (code != 0) {
            Status(code, errorFlag);
            return false;
        }
        return !Stopped();
    }
    bool ReadOkud() {
        Reply4 reply{};
        ReadReply4(m_link, reply);
        return reply == kReplyOkud;
    }
    void SetKind(int32_t kind, bool resetPartIndex) {
        m_nKind = kind;
        m_host.SetImageKind(m_nSlot, kind, resetPartIndex);
    }

    const int m_nSlot;
    DownloadHost& m_host;
    link::CUsbInterface& m_link;
    const DownloadImages& m_images;
    const DownloadOptions& m_options;
    const Clock& m_clock;
    const bool m_bWaitAfterDownload;
    const std::stop_token m_stop;
    const SlotContext m_slot;

    ImageFile m_file;
    uint32_t m_dwBootLoaderVersion = 0;
    int32_t m_nKind = IMG_EBOOT;
    bool m_bImportedLanguage = false;  // the PDA file carries the language pack
    bool m_bKeepLinkOpen = false;
};

uint32_t DownloadRun::ImageMask() const {
    uint32_t mask = 0;
    if (m_images.bEboot)
        mask |= kMaskEboot;
    if (m_images.bPda)
        mask |= kMaskPda;
    if (m_images.bCsc)
        mask |= kMaskCsc;
    if (m_images.bLangPack)
        mask |= kMaskLangPack;
    if (m_images.bEbootLarge)
        mask |= kMaskLargeEboot;
    return mask;
}

uint32_t DownloadRun::SetUpSectorSize() {
    uint32_t argument = 0;
    if (m_options.bControlSector) {
        const auto megabytes = static_cast<uint32_t>(std::atoi(m_options.strRamSectorMb.c_str()));
        const uint32_t bytes = (megabytes << 20) & ~uint32_t{0x7FF};
        // An empty, zero or overflowing count would make turns of no bytes that never end;
        // such a count leaves the sector size as it was.
        if (bytes != 0) {
            g_dwPdaSectorSize = bytes;
            argument = bytes;
        }
    }
    Log("[Setup:%d] PDA Sector Size = %d\r\n", Tag(), static_cast<int>(g_dwPdaSectorSize.load()));
    return argument;
}

void DownloadRun::RunSteps() {
    const uint32_t mask = ImageMask();
    const uint32_t sectorArgument = SetUpSectorSize();

    if (m_images.bSmd) {
        if (SendSmd()) {
            FinishRun();
        }
        return;
    }

    const bool notified =
        SendCommand(m_link, kCmdNotifyUpdateImage, mask, sectorArgument, m_options.dwEraseNvCase);
    Log(notified ? "[EBoot:%d] Flash EBOOT_COMMAND_NOTIFY_UPDATE_IMAGE TRUE \r\n"
                 : "[EBoot:%d] Flash EBOOT_COMMAND_NOTIFY_UPDATE_IMAGE FALSE \r\n",
        Tag());
    Log("[EBoot:%d] m_dwEraseNvCase = %x \r\n", Tag(), m_options.dwEraseNvCase);

    if (m_images.bEboot && !SendEboot()) {
        return;
    }
    if (!CheckProtocolVersion()) {
        return;
    }
    const bool anyAfterEboot =
        m_images.bCsc || m_images.bPda || m_images.bLangPack || m_images.bPhone;
    if (m_images.bEboot && anyAfterEboot && !RebootIntoNewBootLoader()) {
        return;
    }

    if (m_dwBootLoaderVersion >= 16) {
        if (m_images.bCsc && !SendCsc())
            return;
        if (m_images.bPda && !SendPda())
            return;
        if ((m_images.bLangPack || m_bImportedLanguage) && !SendLangPack())
            return;
        if (m_images.bPhone && !SendPhone())
            return;
    } else {
        if (m_images.bPda && !SendPda())
            return;
        if (m_images.bCsc && !SendCsc())
            return;
    }
    FinishRun();
}

bool DownloadRun::SendEboot() {
    const ImageInfo& info = m_images.info;
    Log("[EBoot:%d] Download to 0x%x \r\n", Tag(), info.dwDownloadAddr);
    Log("[EBoot:%d] Size: %d Bytes\r\n", Tag(), static_cast<int>(info.dwEbootSize));
    SetKind(IMG_EBOOT, false);
    if (!OpenImage(m_images.strEbootPath, 0)) {
        Status(kStatusReadError, kFileFailure);
        return false;
    }
    const uint32_t checksum = FileByteSum(m_file);
    if (!ToRam(IMG_EBOOT, info.dwEbootStart, info.dwEbootSize, info.dwDownloadAddr)) {
        return false;
    }
    Status(kStatusEbootInRam);
    Log("[EBoot:%d] Flash programming \r\n", Tag());
    uint32_t received = 0;
    const bool accepted = SendCommandCheck(m_link, kCmdFlashEboot, info.dwDownloadAddr,
                                           info.dwEbootSize, checksum, &received);
    m_file.Close();
    // A boot loader that did not take the image must not be rebooted into.
    if (!accepted) {
        if (!m_link.ReplyTimedOut()) {
            LogFailure("[EBoot:%d] Eboot checksum error checksum = %x, Rvalue = %x\r\n", Tag(),
                       checksum, received);
        }
        Status(kStatusChecksumMismatch);
        return false;
    }
    return !Stopped();
}

bool DownloadRun::CheckProtocolVersion() {
    Reply4 reply{};
    ReadReply4(m_link, reply);
    m_dwBootLoaderVersion = ReplyValue(reply);
    Log("[Setup:%d] BootLoader requires downloaer tool version %d\r\n", Tag(),
        static_cast<int>(m_dwBootLoaderVersion));
    if (m_dwBootLoaderVersion < kMinProtocolVersion ||
        m_dwBootLoaderVersion > m_options.dwToolVersion) {
        Status(kStatusReadError, kFileFailure);
        if (!m_link.ReplyTimedOut()) {
            LogFailure("[Setup:%d] Downloader tool version unmatch.\r\n", Tag());
        }
        return false;
    }
    return !Stopped();
}

// After a new boot loader is flashed: reboot the handset into it, wait until it is detected
// again, reopen its link on the same port and greet it as at the start.
bool DownloadRun::RebootIntoNewBootLoader() {
    Status(kStatusRebooting, kFileFailure);
    Log("[Setup:%d] Try downloading again\r\n", Tag());
    return SendReboot() && WaitForRedetection() && Reopen() && GreetAgain();
}

bool DownloadRun::SendReboot() {
    if (!Sleep(milliseconds(m_nSlot * 2000))) {
        return false;
    }
    const uint32_t rebootCommand = m_dwBootLoaderVersion < 18 ? kCmdLaunch : kCmdReboot;
    if (!SendCommand(m_link, rebootCommand, m_images.info.dwLaunchAddr, 0, 0)) {
        LogFailure("[Setup:%d] Failed to Re-Boot device\r\n", Tag());
        Status(kStatusRebootFailed, kFileFailure);
        return false;
    }
    Log("[Setup:%d] Re-Boot device and Close USB port\r\n", Tag());
    m_link.Close();
    return true;
}

bool DownloadRun::WaitForRedetection() {
    if (!m_options.bWinUsbMode) {
        m_host.StopSyncProcesses();
    }
    if (!m_host.WaitForDetection(m_nSlot, m_clock.ToReal(kRedetectionBound), m_stop)) {
        if (Stopped()) {
            return false;
        }
        LogFailure("[Setup:%d] PDADetectEvent error\r\n", Tag());
        Status(kStatusRebootFailed, kFileFailure);
        return false;
    }
    if (m_options.bWinUsbMode) {
        m_host.StopSyncProcesses();
        if (!Sleep(milliseconds(400))) {
            return false;
        }
    }
    return true;
}

bool DownloadRun::Reopen() {
    m_host.ClearDetectedDeviceName(m_nSlot);
    const std::string recordedPath = m_link.DevicePath();
    bool reconnected = false;
    for (int attempt = 0; attempt < kReconnectAttempts && !reconnected; ++attempt) {
        if (m_link.Open(&link::GUID_DEVINTERFACE_DOWNLOAD, m_nSlot, recordedPath.c_str())) {
            Log("[Setup:%d] Device is Re-Connected.\r\n", Tag());
            reconnected = true;
        } else if (!Sleep(kReconnectPause)) {
            return false;
        }
    }
    if (!reconnected) {
        LogFailure("[Setup:%d] Re-Connection Time-out.\r\n", Tag());
        Status(kStatusRebootFailed, kFileFailure);
        return false;
    }
    // A window that closed during the re-opening closed the links before it finished: the
    // handset is not greeted (its answer may take 11 s), and the run's end closes it again.
    return !Stopped();
}

bool DownloadRun::GreetAgain() {
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (WriteGreeting(m_link) > 0) {
            break;
        }
        if (!Sleep(milliseconds(20))) {
            return false;
        }
    }
    Reply4 reply{};
    if (ReadReplyBounded(m_link, reply, [&] { return Sleep(milliseconds(20)); }) == 0 &&
        Stopped()) {
        return false;
    }
    Log("[Setup:%d] receive %c%c%c%c\r\n", Tag(), reply[0], reply[1], reply[2], reply[3]);
    if (reply != kReplyOkud) {
        LogFailure("[Setup:%d] Re-Init. Failed.\r\n", Tag());
        Status(kStatusRebootFailed, kFileFailure);
        m_bKeepLinkOpen = true;
        return false;
    }
    Log("[Setup:%d] Re-Init. Success.\r\n", Tag());
    if (!Sleep(milliseconds(50))) {
        return false;
    }
    Reply4 version{};
    QueryBootLoaderVersion(m_link, version);
    Log("[Setup:%d] Target Device EBOOT version = %c%c%c%c\r\n", Tag(), version[3], version[2],
        version[1], version[0]);
    return Sleep(milliseconds(4000));
}

bool DownloadRun::SendCsc() {
    const ImageInfo& info = m_images.info;
    Log("[CSC:%d] Download start 0x%x\r\n", Tag(), info.dwDownloadAddr);
    SetKind(IMG_CSC, true);
    if (!OpenImage(m_images.strCscPath, m_images.dwCscOffset) ||
        !ReadHeader<images::kCscHeaderSize>(m_file, images::ParseCscImageHeader)) {
        Status(kStatusReadError, kFileFailure);
        return false;
    }
    // The sum leaves the file at the CSC offset, so the header goes out with the image.
    const uint32_t checksum = FileRangeByteSum(m_file, m_images.dwCscOffset, info.dwCscSize);
    Log("[CSC:%d] Size:%d Bytes\r\n", Tag(), static_cast<int>(info.dwCscSize));
    if (!ToRam(IMG_CSC, info.dwCscStart, info.dwCscSize, info.dwDownloadAddr)) {
        return false;
    }
    Status(kStatusImageInRam);
    if (FlashWrite(m_link, kCmdFlashCsc, 0, info.dwCscSize, checksum, *this, m_nSlot, m_clock,
                   g_dwPdaSectorSize) != 0) {
        LogFailure("[CSC:%d] Writing flash error\r\n", Tag());
        return false;
    }
    m_file.Close();
    if (!ReadOkud()) {
        Status(kStatusReadError, kFileFailure);
        LogFailure("[CSC:%d] write not complete\r\n", Tag());
        return false;
    }
    Log("[CSC:%d] write complete\r\n", Tag());
    return Sleep(milliseconds(4000));
}

bool DownloadRun::SendPda() {
    const ImageInfo& info = m_images.info;
    Log("[PDA:%d] Download start 0x%x\r\n", Tag(), info.dwDownloadAddr);
    SetKind(IMG_PDA, true);
    const auto parsed = OpenImage(m_images.strPdaPath, 0)
                            ? ReadHeader<images::kPdaHeaderSize>(m_file, images::ParsePdaHeader)
                            : images::Fail<images::PdaHeader>(images::FormatError::kUnreadable);
    if (!parsed) {
        Status(kStatusReadError, kFileFailure);
        return false;
    }
    const images::PdaHeader& header = parsed.value;
    Log("[PDA:%d] Size:%d Bytes\r\n", Tag(), static_cast<int>(header.dwImageSize));

    const uint32_t sectorSize = g_dwPdaSectorSize;
    const std::vector<PdaTurn> turns =
        PlanPdaTurns(header.dwImageSize, header.dwLastTurnCheck, sectorSize);
    const auto turnTotal = static_cast<int32_t>(turns.size());
    int32_t turn = 1;
    m_host.SetTurns(m_nSlot, turn, turnTotal);
    for (const PdaTurn& plan : turns) {
        if (!ToRam(IMG_PDA, 0, plan.length, info.dwDownloadAddr)) {
            return false;
        }
        Status(kStatusImageInRam);
        if (FlashWrite(m_link, kCmdFlashPdaTurn, plan.position, plan.length, plan.check, *this,
                       m_nSlot, m_clock, sectorSize) != 0) {
            LogFailure("[PDA:%d] Writing flash error\r\n", Tag());
            return false;
        }
        if (!ReadOkud()) {
            Status(kStatusReadError, kFileFailure);
            LogFailure("[PDA:%d] %d turn write not complete\r\n", Tag(), turn - 1);
            return false;
        }
        ++turn;
        m_host.SetTurns(m_nSlot, turn, turnTotal);
        Log("[PDA:%d] %d turn write complete\r\n", Tag(), turn - 1);
    }

    m_file.Close();
    if (!Sleep(milliseconds(100))) {
        return false;
    }
    const uint64_t packEnd = uint64_t{header.dwImageSize} + images::kPdaHeaderSize;
    if (packEnd < info.dwPdaSize) {
        Log("[PDA:%d] PDA import language image\r\n", Tag());
        m_bImportedLanguage = true;
        if (!OpenImage(m_images.strPdaPath, packEnd)) {
            Status(kStatusReadError, kFileFailure);
            return false;
        }
    }
    return true;
}

bool DownloadRun::SendLangPack() {
    const ImageInfo& info = m_images.info;
    Log("[LANGPACK:%d] Download start 0x%x\r\n", Tag(), info.dwDownloadAddr);
    SetKind(IMG_LANGPACK, true);
    SendCommand(m_link, kCmdLanguageChoice, 0, m_images.dwLanguageIndex,
                LanguageCodeWord(m_images.strLanguageCode));
    if (!m_bImportedLanguage && !OpenImage(m_images.strLangPath, 0)) {
        Status(kStatusReadError, kFileFailure);
        return false;
    }
    const auto checkWord =
        ReadHeader<images::kLangPackHeaderSize>(m_file, images::ParseLangPackCheckWord);
    if (!checkWord) {
        Status(kStatusReadError, kFileFailure);
        return false;
    }
    Log("[LANGPACK:%d] Size:%d Bytes\r\n", Tag(), static_cast<int>(info.dwLangSize));
    if (!ToRam(IMG_LANGPACK, info.dwLangStart, info.dwLangSize, info.dwDownloadAddr)) {
        return false;
    }
    Status(kStatusImageInRam);
    if (FlashWrite(m_link, kCmdFlashLangPack, 0, info.dwLangSize, checkWord.value, *this, m_nSlot,
                   m_clock, g_dwPdaSectorSize) != 0) {
        LogFailure("[LANGPACK:%d] Writing flash error\r\n", Tag());
        return false;
    }
    if (!Sleep(milliseconds(20))) {
        return false;
    }
    if (!ReadOkud()) {
        Status(kStatusReadError, kFileFailure);
        LogFailure("[LANGPACK:%d] write not complete\r\n", Tag());
        return false;
    }
    m_file.Close();
    Log("[LANGPACK:%d] write complete\r\n", Tag());
    return Sleep(milliseconds(1000));
}

bool DownloadRun::SendPhone() {
    const ImageInfo& info = m_images.info;
    Log("[Phone:%d] Download to 0x%x \r\n", Tag(), info.dwDownloadAddr);
    Log("[Phone:%d] StartOffset: %d \r\n", Tag(), static_cast<int>(info.dwPhoneStart));
    Log("[Phone:%d] EndOffset: %d \r\n", Tag(), static_cast<int>(info.dwPhoneSize));
    SetKind(IMG_PHONE, false);
    if (!OpenImage(m_images.strPhonePath, 0)) {
        Status(kStatusReadError, kFileFailure);
        return false;
    }
    const uint32_t checksum = FileByteSum(m_file);
    if (!ToRam(IMG_PHONE, info.dwPhoneStart, info.dwPhoneSize, info.dwDownloadAddr)) {
        return false;
    }
    Status(kStatusImageInRam);
    if (FlashWrite(m_link, kCmdFlashPhone, 0, info.dwPhoneSize, checksum, *this, m_nSlot, m_clock,
                   g_dwPdaSectorSize) != 0) {
        LogFailure("[PHONE:%d] Writing flash error\r\n", Tag());
        return false;
    }
    m_file.Close();
    if (!ReadOkud()) {
        Status(kStatusReadError, kFileFailure);
        LogFailure("[PHONE:%d] write not complete\r\n", Tag());
        return false;
    }
    Log("[PHONE:%d] write complete\r\n", Tag());
    return !Stopped();
}

bool DownloadRun::SendSmd() {
    const ImageInfo& info = m_images.info;
    Log("[SMD:%d] Download to 0x%x \r\n", Tag(), info.dwDownloadAddr);
    Log("[SMD:%d] Size: %d Bytes\r\n", Tag(), static_cast<int>(info.dwSmdSize));
    Log("[SMD:%d] SMD Download start\r\n", Tag());
    SetKind(IMG_SMD, false);
    SendCommand(m_link, kCmdSmdStart, 0, 0, 0);
    if (!OpenImage(m_images.strSmdPath, 0)) {
        Status(kStatusReadError, kFileFailure);
        return false;
    }
    if (!ToRam(IMG_SMD, info.dwEbootStart, static_cast<uint32_t>(kPacketSize),
               info.dwDownloadAddr)) {
        return false;
    }
    Log("[SMD:%d] NAND Format\r\n", Tag());
    // The format is over only when the handset says so.
    if (SendCommandForReply(m_link, kCmdNandFormat, 0, 0, 0) != kReplySize) {
        Status(kStatusReadError, 0);
        return false;
    }
    Log("[SMD:%d] END NAND Format\r\n", Tag());

    for (;;) {
        if (Stopped()) {
            return false;
        }
        SendCommandNoReply(m_link, kCmdNextSmdRange, 0, 0, 0);
        Reply4 reply{};
        const uint32_t got = ReadReply4(m_link, reply);
        if (reply == kReplyOkud) {
            return true;
        }
        uint32_t startBlock = ReplyValue(reply);
        Reply4 countReply{};
        // A short answer means the handset went away: without this the loop would ask an
        // absent handset for ranges of zero blocks for ever.
        if (got != kReplySize || ReadReply4(m_link, countReply) != kReplySize) {
            Status(kStatusReadError, 0);
            return false;
        }
        uint32_t remaining = ReplyValue(countReply);
        Log("[SMD:%d] nSMDStartSbn = %d nSMDNumOfBlks = %d\r\n", Tag(),
            static_cast<int>(startBlock), static_cast<int>(remaining));
        while (remaining > kSmdBlocksPerRun) {
            if (!ToRam(IMG_SMD, info.dwEbootStart, kSmdBlocksPerRun * kSmdBlockSize,
                       info.dwDownloadAddr)) {
                return false;
            }
            SendBlockWrite(m_link, kCmdWriteSmdBlocks, info.dwDownloadAddr, kSmdBlocksPerRun,
                           startBlock);
            startBlock += kSmdBlocksPerRun;
            remaining -= kSmdBlocksPerRun;
        }
        if (!ToRam(IMG_SMD, info.dwEbootStart, remaining * kSmdBlockSize, info.dwDownloadAddr)) {
            return false;
        }
        SendBlockWrite(m_link, kCmdWriteSmdBlocks, info.dwDownloadAddr, remaining, startBlock);
    }
}

void DownloadRun::FinishRun() {
    if (!Sleep(milliseconds(1000))) {
        return;
    }
    const bool noLaunch = (m_options.dwEraseNvCase & 0x800) != 0 && m_images.bSmd;
    if (!noLaunch) {
        SendCommand(m_link, kCmdLaunch, m_images.info.dwLaunchAddr, 0, 0);
    }
    if (m_link.IsOpened()) {
        m_link.Close();
    }
    if (m_bWaitAfterDownload) {
        Status(kStatusWaitingForBoot);
        const bool withLanguage = m_images.bLangPack || m_bImportedLanguage;
        if (!Sleep(withLanguage ? kWaitAfterDownloadWithLanguage : kWaitAfterDownload)) {
            return;
        }
    }
    Status(kStatusFinished);
}

}  // namespace

uint32_t DownloadThreadProc(const SLOT_WORKER_PARAM& param, std::stop_token stop) {
    DownloadRun(param, std::move(stop)).Run();
    return 0;
}

}  // namespace vantorel::engine
