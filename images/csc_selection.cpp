// The CSC kind of the image selection: single and multi-CSC files, the CSC drop-down, the
// CSC information in the second log and the languages a CSC image offers.
#include "images/image_selection.h"
#include "images/image_texts.h"
#include "images/language_tables.h"

namespace vantorel::images {

int ImageSelection::LoadCsc(const ReadOnlyFile& file, SelectionView& view) {
    const auto csc = ReadCscFile(file);
    if (!csc) {
        return kLoadInvalidFile;
    }
    m_cscCombo.Clear();
    m_dwCscOffset = csc.value.dwOffset;
    if (csc.value.bMulti) {
        view.AppendMainLog(kMultiCscBanner);
        for (size_t i = 0; i < csc.value.entries.size(); ++i) {
            const CscEntry& entry = csc.value.entries[i];
            m_cscCombo.Add(entry.strName);
            view.AppendMainLog(MultiCscEntryLine(static_cast<int>(i), entry));
        }
        m_cscCombo.Select(0);
    }
    m_aCscEntry = csc.value.entries;
    ShowCscImage(csc.value.header, view);
    m_ImageInfo.dwCscSize = csc.value.dwSize;
    return kLoadOk;
}

void ImageSelection::OnCscSelectionChanged(int item, SelectionView& view) {
    if (!IsSelected(IMG_CSC) || item < 0 || static_cast<size_t>(item) >= m_aCscEntry.size()) {
        return;
    }
    const CscEntry entry = m_aCscEntry[static_cast<size_t>(item)];
    ReadOnlyFile file;
    const bool opened = file.Open(Path(IMG_CSC));
    const auto header =
        opened ? ReadCscImageHeader(file, entry.dwOffset, entry.dwSize) : Parsed<CscImageHeader>{};
    if (!opened || !header) {
        // The file changed or went away since it was chosen: the choice no longer holds.
        Deselect(IMG_CSC, view);
        view.AppendMainLog(IncorrectFileLine(IMG_CSC, opened ? kLoadInvalidFile : kLoadOpenFailed));
        return;
    }
    m_cscCombo.Select(item);
    m_dwCscOffset = entry.dwOffset;
    ShowCscImage(header.value, view);
    m_ImageInfo.dwCscSize = entry.dwSize;
}

void ImageSelection::ShowCscImage(const CscImageHeader& header, SelectionView& view) {
    m_CscHeader = header;
    view.SetAuxLogVisible(true);
    view.ClearAuxLog();
    view.AppendAuxLog(kCscInformationBanner);
    view.AppendAuxLog(CscVersionLine(header));
    view.AppendAuxLog(CscDefaultLangCodeLine(header));
    view.AppendAuxLog(CscSalesCodeLine(header));
    view.AppendAuxLog(CscPriorityLine(header));
    // A CSC image that fixes its language leaves nothing to choose; the pack's list is kept
    // for the worker.
    if (IsFixedLanguageCode(header.strDefaultLangCode)) {
        m_languages.ResetLanguages(true);
    } else {
        m_languages.ShowCscLanguages(header.dwDefaultLanguage, header.languages);
    }
}

void ImageSelection::DeselectCsc(SelectionView& view) {
    view.ClearAuxLog();
    view.SetAuxLogVisible(false);
    m_cscCombo.Clear();
    m_aCscEntry.clear();
    m_dwCscOffset = 0;
    // The language list returns to what the chosen pack offers, as if no CSC image had been
    // chosen; without a pack there is nothing to offer.
    if (IsSelected(IMG_LANGPACK)) {
        m_languages.ShowPackLanguages();
    } else {
        m_languages.ResetLanguages(true);
    }
}

}  // namespace vantorel::images
