// The records a batch leaves on disk: the dialog's side. The logs reach them line by line
// as they reach the window (vantorel_dlg_logs.cpp); here a batch starts and ends, each
// slot's run is measured, and the operator opens the folder or saves the main log.
#include <QFile>
#include <QFileInfo>

#include "console/operator_prompts.h"
#include "console/vantorel_dlg.h"

namespace vantorel::console {

namespace {

// The kinds as a report names them, in the order of the image kinds.
constexpr std::array<const char*, 6> kKindNames{"eboot", "pda", "csc", "langpack", "phone", "smd"};

}  // namespace

void CVantorelDlg::StartBatchRecords() {
    if (m_records) {
        // No line slips in between the log so far and the new folder's first lines.
        std::lock_guard order(m_logOrder);
        m_records->StartBatch(m_logs.Text(ShownLog::Main));
    }
}

void CVantorelDlg::RecordBatchImages(const engine::DownloadImages& images) {
    if (!m_records) {
        return;
    }
    const std::array<std::pair<bool, const std::string*>, 6> chosen{{
        {images.bEboot, &images.strEbootPath},
        {images.bPda, &images.strPdaPath},
        {images.bCsc, &images.strCscPath},
        // A pack that the PDA image carries is read from the PDA file.
        {images.bLangPack, images.strLangPath.empty() ? &images.strPdaPath : &images.strLangPath},
        {images.bPhone, &images.strPhonePath},
        {images.bSmd, &images.strSmdPath},
    }};
    std::vector<records::ReportedImage> reported;
    for (size_t kind = 0; kind < chosen.size(); ++kind) {
        if (chosen[kind].first && !chosen[kind].second->empty()) {
            reported.push_back({kKindNames[kind], *chosen[kind].second, std::nullopt});
        }
    }
    std::optional<records::SentCsc> csc;
    if (images.bCsc) {
        const images::ComboModel& entries = m_selection.CscCombo();
        const bool bEntry = !m_selection.CscEntries().empty() && entries.current >= 0 &&
                            static_cast<size_t>(entries.current) < entries.items.size();
        csc = records::SentCsc{bEntry ? entries.items[static_cast<size_t>(entries.current)] : "",
                               images.dwCscOffset};
    }
    std::optional<records::SentLanguage> language;
    if (images.bLangPack) {
        language = records::SentLanguage{images.dwLanguageIndex, images.strLanguageCode};
    }
    m_records->SetImages(std::move(reported), std::move(csc), std::move(language));
}

void CVantorelDlg::RecordSlotStart(int slot) {
    m_slotStarted[slot] = std::chrono::system_clock::now();
    m_slotBytesAtStart[slot] = m_pUsb[slot] ? m_pUsb[slot]->BytesWritten() : 0;
}

void CVantorelDlg::RecordSlotEnd(int slot, uint32_t code, const std::string& statusText) {
    records::SlotReport report;
    report.slot = slot + 1;
    report.device = m_pUsb[slot] ? m_pUsb[slot]->DevicePath() : std::string();
    report.started = m_slotStarted[slot];
    report.ended = std::chrono::system_clock::now();
    report.bDone = m_aSlotStatus[slot].nState == SLOT_DONE;
    report.status = code;
    report.statusText = statusText;
    report.bytes = m_pUsb[slot] ? m_pUsb[slot]->BytesWritten() - m_slotBytesAtStart[slot] : 0;
    if (m_records) {
        m_records->SlotEnded(std::move(report));  // the records tell the observer
    } else if (StationObserver* observer = m_pObserver.load()) {
        observer->HandsetEnded(records::ReportLine(report));
    }
}

void CVantorelDlg::RecordBatchEnd(const char* end) {
    if (m_records) {
        m_records->BatchEnded({{},
                               std::chrono::system_clock::now(),
                               m_nDetectedCount,
                               m_nSuccessCount,
                               m_nFailCount,
                               end});
    }
}

void CVantorelDlg::OnOpenRecordsFolder() {
    if (!m_records) {
        return;
    }
    const std::filesystem::path folder =
        m_records->Folder().empty() ? m_records->Root() : m_records->Folder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const QString path = QFile::decodeName(folder.c_str());
    if (!m_env.prompts.OpenFolder(path)) {
        // No file manager here (a kiosk, a bare X session): the path itself is what helps.
        m_env.prompts.CopyText(path);
        m_env.prompts.ShowMessage(
            this,
            QStringLiteral("No file manager opened the records folder:\r\n%1\r\n\r\nIts path "
                           "is copied to the clipboard.")
                .arg(path),
            QStringLiteral("Records folder"), OperatorPrompts::Icon::Information);
    }
}

void CVantorelDlg::OnSaveMainLogAs() {
    const std::optional<QString> path =
        m_env.prompts.ChooseSaveFile(this, QStringLiteral("Log (*.log)|*.log|Text (*.txt)|*.txt|"));
    if (!path) {
        return;
    }
    // A name typed without an ending gets the log's, as the filter promised.
    const QString target = QFileInfo(*path).suffix().isEmpty() ? *path + ".log" : *path;
    // The dialog asked about replacing the name it was given, not about this one.
    if (target != *path && QFileInfo::exists(target) &&
        !m_env.prompts.ConfirmOkCancel(this, QStringLiteral("%1 exists. Replace it?").arg(target),
                                       QString())) {
        return;
    }
    QFile file(target);
    const QByteArray text = QByteArray::fromStdString(m_logs.Text(ShownLog::Main));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        m_env.prompts.ShowMessage(
            this, QStringLiteral("Cannot write %1: %2").arg(target, file.errorString()), QString(),
            OperatorPrompts::Icon::Error);
    }
}

}  // namespace vantorel::console
