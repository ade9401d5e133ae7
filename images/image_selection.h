#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "images/byte_source.h"
#include "images/combo_model.h"
#include "images/csc_file.h"
#include "images/image_info.h"
#include "images/image_kind.h"
#include "images/language_lists.h"
#include "images/selection_view.h"
#include "images/unpack_directory.h"

namespace vantorel::images {

// Results of choosing a file for a kind.
enum LoadResult : int {
    kLoadOk = 0,
    kLoadWrongExtension = 1,
    kLoadEmptyPath = 2,
    kLoadCancelled = 3,
    kLoadInvalidFile = 4,  // an invalid language pack, or any length in the file that is wrong
    kLoadOpenFailed = 5,   // the file could not be opened as a regular file
};

// Results of unpacking an integrated image.
enum UnpackResult : int { kUnpackOk = 0, kUnpackFailed = 1, kUnpackCancelled = 2 };

// The selected-image set of the console: which file is chosen for each kind, what choosing
// it measured, the CSC and language drop-downs as data, and the integrated image. Everything
// the browse buttons and drop-downs decide lives here; the console's handlers only copy the
// paths and drop-downs into their widgets and answer the SelectionView calls.
//
// A handler is, for example:
//     void CVantorelDlg::OnBnClickedPda() { m_images.OnBrowseButton(IMG_PDA, *this); Show(); }
class ImageSelection {
public:
    explicit ImageSelection(std::string unpackDirectory = UnpackDirectory::DefaultPath());

    // --- Handlers -------------------------------------------------------------------------

    // A browse button of the six kinds: deselects a selected kind; otherwise lets the
    // operator choose a file and selects the kind, or logs the kind's incorrect-file line.
    void OnBrowseButton(ImageKind kind, SelectionView& view);
    // The IMG button: withdraws an unpacked integrated image (deselecting its kinds and
    // deleting its files), or chooses and unpacks one.
    void OnImgButton(SelectionView& view);
    // The CSC drop-down's selection changed to `item`: reads that image's header.
    void OnCscSelectionChanged(int item, SelectionView& view);
    // The language drop-down's selection changed to `item`.
    void OnLanguageSelectionChanged(int item) { m_languages.SelectLanguage(item); }
    // The window closes: deletes the unpacked files.
    void OnWindowClose() const { m_unpack.RemoveAll(); }

    // --- Steps, each usable alone ---------------------------------------------------------

    // Shows "File Loading..." in the kind's path box, asks for a file and loads it.
    int LoadImageFile(ImageKind kind, SelectionView& view);
    // Loads the fixed file of an unpacked kind (EBoot, PDA, Phone); kLoadEmptyPath for a
    // kind that has none.
    int LoadImageFromPath(ImageKind kind, SelectionView& view);
    // Stores `path` as the kind's path and loads it: checks the extension, opens the file,
    // checks every length in it and takes the kind's sizes. On any result but kLoadOk
    // nothing but the path has changed. The path is kept as given (names on this system are
    // case-sensitive); the extension is compared ignoring case.
    int LoadChosenPath(ImageKind kind, const std::string& path, SelectionView& view);
    // Clears a kind with its extra steps, then disables Detect if no kind is left.
    void Deselect(ImageKind kind, SelectionView& view);
    // Chooses an integrated image and unpacks it; the kinds it carries become selected.
    int UnpackIntegratedImage(SelectionView& view);

    // --- What the workers are handed ------------------------------------------------------

    // The language the drop-down's pick stands for.
    LanguageChoice GetLanguageChoice() const { return m_languages.GetLanguageChoice(); }
    // The language a download run sends: a selected CSC image that fixes the language gives
    // index 0 and its code; otherwise the drop-down's pick.
    LanguageChoice WorkerLanguage() const;

    // --- State ----------------------------------------------------------------------------

    bool IsSelected(ImageKind kind) const { return Entry(kind).bSelected; }
    const std::string& Path(ImageKind kind) const { return Entry(kind).strPath; }
    bool ImgSelected() const { return m_bImgSel; }
    const std::string& ImgPath() const { return m_strImgPath; }
    const ImageInfo& Info() const { return m_ImageInfo; }
    // For the settings the console keeps in the same record.
    ImageInfo& Info() { return m_ImageInfo; }
    bool EbootLarge() const { return m_bEbootLarge; }
    const std::string& EbootVersion() const { return m_strEbootVer; }
    bool PdaHasLang() const { return m_bPdaHasLang; }
    uint32_t CscOffset() const { return m_dwCscOffset; }
    const CscImageHeader& CscHeader() const { return m_CscHeader; }
    const std::vector<CscEntry>& CscEntries() const { return m_aCscEntry; }
    const ComboModel& CscCombo() const { return m_cscCombo; }
    const ComboModel& LanguageCombo() const { return m_languages.Combo(); }
    const LanguageLists& Languages() const { return m_languages; }
    const UnpackDirectory& Unpacked() const { return m_unpack; }

    // An EBoot image longer than this is a large one.
    static constexpr uint64_t kLargeEbootSize = 2048000;

private:
    struct KindEntry {
        bool bSelected = false;
        std::string strPath;
    };

    KindEntry& Entry(ImageKind kind) { return m_aKind[static_cast<size_t>(kind)]; }
    const KindEntry& Entry(ImageKind kind) const { return m_aKind[static_cast<size_t>(kind)]; }
    bool AnyKindSelected() const;
    void ClearSizes(ImageKind kind);

    int LoadFile(ImageKind kind, const ReadOnlyFile& file, SelectionView& view);
    int LoadEboot(const ReadOnlyFile& file);
    int LoadPda(const ReadOnlyFile& file, SelectionView& view);
    int LoadLangPack(const ReadOnlyFile& file, SelectionView& view);
    int LoadCsc(const ReadOnlyFile& file, SelectionView& view);
    void ShowCscImage(const CscImageHeader& header, SelectionView& view);
    void DeselectCsc(SelectionView& view);
    int UnpackPart(ImageKind kind, const ReadOnlyFile& container, uint32_t offset, uint32_t size,
                   SelectionView& view);

    std::array<KindEntry, kImageKindCount> m_aKind;
    ImageInfo m_ImageInfo;
    bool m_bEbootLarge = false;
    std::string m_strEbootVer;
    bool m_bPdaHasLang = false;
    uint32_t m_dwCscOffset = 0;
    CscImageHeader m_CscHeader;
    std::vector<CscEntry> m_aCscEntry;
    ComboModel m_cscCombo;
    LanguageLists m_languages;
    bool m_bImgSel = false;
    std::string m_strImgPath;
    UnpackDirectory m_unpack;
};

}  // namespace vantorel::images
