// The image controls: the browse buttons, the CSC and language drop-downs and the path boxes
// that show the selection, and the chosen images as the workers of a batch are handed them.
#include <QComboBox>
#include <QFile>
#include <QSignalBlocker>
#include <QStringList>

#include "console/dialog_selection_view.h"
#include "console/vantorel_dlg.h"

namespace vantorel::console {

namespace {

struct PathBox {
    images::ImageKind kind;
    int id;
};

constexpr std::array<PathBox, 6> kPathBoxes{{
    {images::IMG_EBOOT, ctl::kEbootPath},
    {images::IMG_PDA, ctl::kPdaPath},
    {images::IMG_CSC, ctl::kCscPath},
    {images::IMG_LANGPACK, ctl::kLangPath},
    {images::IMG_PHONE, ctl::kPhonePath},
    {images::IMG_SMD, ctl::kSmdPath},
}};

// The kinds an integrated image is unpacked into.
constexpr std::array<images::ImageKind, 3> kUnpackedKinds{images::IMG_EBOOT, images::IMG_PDA,
                                                          images::IMG_PHONE};

QString PathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Refills the drop-down only when its items changed, and without a change notification:
// only the operator's picks reach the handlers.
void ShowCombo(QComboBox* combo, const images::ComboModel& model) {
    const QSignalBlocker quiet(combo);
    QStringList items;
    for (const std::string& item : model.items) {
        items.append(QString::fromStdString(item));
    }
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) {
        shown.append(combo->itemText(i));
    }
    if (shown != items) {
        combo->clear();
        combo->addItems(items);
    }
    combo->setCurrentIndex(model.current);
}

}  // namespace

void CVantorelDlg::OnBnClickedEboot() {
    OnBrowseImage(images::IMG_EBOOT);
}

void CVantorelDlg::OnBnClickedPda() {
    OnBrowseImage(images::IMG_PDA);
}

void CVantorelDlg::OnBnClickedCsc() {
    OnBrowseImage(images::IMG_CSC);
}

void CVantorelDlg::OnBnClickedLang() {
    OnBrowseImage(images::IMG_LANGPACK);
}

void CVantorelDlg::OnBnClickedPhone() {
    OnBrowseImage(images::IMG_PHONE);
}

void CVantorelDlg::OnBnClickedSmd() {
    OnBrowseImage(images::IMG_SMD);
}

void CVantorelDlg::OnBrowseImage(images::ImageKind kind) {
    DialogSelectionView view(*this, m_env.prompts);
    m_selection.OnBrowseButton(kind, view);
    ShowImageSelection();
}

void CVantorelDlg::OnBnClickedImg() {
    DialogSelectionView view(*this, m_env.prompts);
    m_selection.OnImgButton(view);
    ShowImageSelection();
}

void CVantorelDlg::OnCbnSelchangeCsc() {
    DialogSelectionView view(*this, m_env.prompts);
    m_selection.OnCscSelectionChanged(m_controls.As<QComboBox>(ctl::kCscCombo)->currentIndex(),
                                      view);
    ShowImageSelection();
}

void CVantorelDlg::OnCbnSelchangeLanguage() {
    m_selection.OnLanguageSelectionChanged(
        m_controls.As<QComboBox>(ctl::kLanguageCombo)->currentIndex());
    ShowImageSelection();
}

void CVantorelDlg::ShowImageSelection() {
    // A long path does not fit its box: the tooltip holds the whole of it.
    const auto showPath = [this](int id, const std::string& path) {
        m_controls.SetText(id, PathText(path));
        GetDlgItem(id)->setToolTip(PathText(path));
    };
    for (const PathBox& box : kPathBoxes) {
        showPath(box.id, m_selection.Path(box.kind));
    }
    showPath(ctl::kImgPath, m_selection.ImgPath());
    m_controls.SetText(ctl::kEbootVersion, QString::fromStdString(m_selection.EbootVersion()));
    ShowCombo(m_controls.As<QComboBox>(ctl::kCscCombo), m_selection.CscCombo());
    ShowCombo(m_controls.As<QComboBox>(ctl::kLanguageCombo), m_selection.LanguageCombo());
    m_controls.Show(ctl::kAuxLog, m_selection.IsSelected(images::IMG_CSC));
    // Each chosen file's digest is under way while the operator goes on.
    if (m_records) {
        for (const PathBox& box : kPathBoxes) {
            if (m_selection.IsSelected(box.kind) && !m_selection.Path(box.kind).empty()) {
                m_records->Digests().Request(m_selection.Path(box.kind));
            }
        }
    }
}

bool CVantorelDlg::HasChosenImages() const {
    for (const PathBox& box : kPathBoxes) {
        if (m_selection.IsSelected(box.kind)) {
            return true;
        }
    }
    return false;
}

// Also when the IMG choice itself failed part-way: the images unpacked before the failure
// stay chosen, and their files are the station's to remove.
void CVantorelDlg::DeleteUnpackedImages() {
    bool bUnpacked = m_selection.ImgSelected();
    for (const images::ImageKind kind : kUnpackedKinds) {
        bUnpacked = bUnpacked || (m_selection.IsSelected(kind) &&
                                  m_selection.Path(kind) == m_selection.Unpacked().FilePath(kind));
    }
    if (bUnpacked) {
        m_selection.OnWindowClose();
    }
}

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
