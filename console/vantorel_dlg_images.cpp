// The chosen images as the workers of a batch are handed them.
#include "console/vantorel_dlg.h"

namespace vantorel::console {

engine::DownloadImages CVantorelDlg::CurrentDownloadImages() const {
    using images::ImageKind;
    engine::DownloadImages batch;
    const auto take = [&](ImageKind kind, bool& selected, std::string& path) {
        selected = m_selection.IsSelected(kind);
        path = selected ? m_selection.Path(kind) : std::string();
    };
    take(images::IMG_EBOOT, batch.bEboot, batch.strEbootPath);
    take(images::IMG_PDA, batch.bPda, batch.strPdaPath);
    take(images::IMG_CSC, batch.bCsc, batch.strCscPath);
    take(images::IMG_LANGPACK, batch.bLangPack, batch.strLangPath);
    take(images::IMG_PHONE, batch.bPhone, batch.strPhonePath);
    take(images::IMG_SMD, batch.bSmd, batch.strSmdPath);
    batch.info = m_selection.Info();
    batch.dwCscOffset = m_selection.CscOffset();
    batch.bEbootLarge = m_selection.EbootLarge();
    const images::LanguageChoice language = m_selection.WorkerLanguage();
    batch.dwLanguageIndex = static_cast<uint32_t>(language.index);
    batch.strLanguageCode = language.code;
    return batch;
}

}  // namespace vantorel::console
