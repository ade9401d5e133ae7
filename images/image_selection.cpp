#include "images/image_selection.h"

#include <limits>

#include "images/image_texts.h"
#include "images/language_tables.h"
#include "images/pda_image.h"

namespace vantorel::images {

namespace {

// Every size the station hands on is a 32-bit word.
constexpr uint64_t kMaxImageLength = std::numeric_limits<uint32_t>::max();

}  // namespace

ImageSelection::ImageSelection(std::string unpackDirectory)
    : m_unpack(std::move(unpackDirectory)) {}

void ImageSelection::OnBrowseButton(ImageKind kind, SelectionView& view) {
    if (IsSelected(kind)) {
        Deselect(kind, view);
        return;
    }
    const int result = LoadImageFile(kind, view);
    if (result == kLoadOk) {
        Entry(kind).bSelected = true;
        return;
    }
    Entry(kind).strPath.clear();
    view.AppendMainLog(IncorrectFileLine(kind, result));
}

int ImageSelection::LoadImageFile(ImageKind kind, SelectionView& view) {
    Entry(kind).strPath = kFileLoadingText;
    view.ShowSelection();
    const auto chosen = view.ChooseFile(std::string(ChoiceFilter(kind)));
    if (!chosen) {
        return kLoadCancelled;
    }
    return LoadChosenPath(kind, *chosen, view);
}

int ImageSelection::LoadChosenPath(ImageKind kind, const std::string& path, SelectionView& view) {
    Entry(kind).strPath = path;
    if (path.empty()) {
        return kLoadEmptyPath;
    }
    if (!HasAcceptedExtension(kind, path)) {
        return kLoadWrongExtension;
    }
    ReadOnlyFile file;
    if (!file.Open(path)) {
        return kLoadOpenFailed;
    }
    const int result = LoadFile(kind, file, view);
    if (result == kLoadOk) {
        view.SetDetectEnabled(true);
    }
    return result;
}

int ImageSelection::LoadFile(ImageKind kind, const ReadOnlyFile& file, SelectionView& view) {
    // A multi-CSC file's sizes are its entries', checked by its reader.
    if (kind != IMG_CSC && file.Length() > kMaxImageLength) {
        return kLoadInvalidFile;
    }
    const auto length = static_cast<uint32_t>(file.Length());
    switch (kind) {
        case IMG_EBOOT:
            return LoadEboot(file);
        case IMG_PDA:
            return LoadPda(file, view);
        case IMG_CSC:
            return LoadCsc(file, view);
        case IMG_LANGPACK:
            return LoadLangPack(file, view);
        case IMG_PHONE:
            m_ImageInfo.dwPhoneLen = length;
            m_ImageInfo.dwPhoneSize = length;
            return kLoadOk;
        case IMG_SMD:
            m_ImageInfo.dwSmdSize = length;
            return kLoadOk;
    }
    return kLoadInvalidFile;
}

int ImageSelection::LoadEboot(const ReadOnlyFile& file) {
    m_strEbootVer = EbootVersionText(m_ImageInfo.strToolVersion);
    m_ImageInfo.dwEbootSize = static_cast<uint32_t>(file.Length());
    m_bEbootLarge = file.Length() > kLargeEbootSize;
    return kLoadOk;
}

int ImageSelection::LoadPda(const ReadOnlyFile& file, SelectionView& view) {
    const PdaReadResult pda = ReadPdaImage(file);
    if (!pda) {
        if (pda.refusal.bLangPackInvalid) {
            view.ShowMessage(LangPackInvalidMessage());
        }
        return kLoadInvalidFile;
    }
    m_ImageInfo.dwPdaSize = static_cast<uint32_t>(file.Length());
    // The worker sends the pack behind the image whenever there is one, so that pack replaces
    // a ".lan" chosen before: the list, the size and the language sent are all its own.
    if (pda.layout.pack) {
        Entry(IMG_LANGPACK).strPath.clear();
        m_languages.AcceptPack(*pda.layout.pack);
        m_languages.ShowPackLanguages();
        m_ImageInfo.dwLangSize = static_cast<uint32_t>(pda.layout.packDataSize);
        m_bPdaHasLang = true;
        Entry(IMG_LANGPACK).bSelected = true;
    }
    return kLoadOk;
}

int ImageSelection::LoadLangPack(const ReadOnlyFile& file, SelectionView& view) {
    const auto pack = ReadLangPackHeader(file, 0);
    if (!pack) {
        view.ShowMessage(LangPackInvalidMessage());
        return kLoadInvalidFile;
    }
    m_languages.AcceptPack(pack.value);
    m_languages.ShowPackLanguages();
    m_ImageInfo.dwLangSize = static_cast<uint32_t>(file.Length() - kLangPackHeaderSize);
    return kLoadOk;
}

bool ImageSelection::AnyKindSelected() const {
    for (const KindEntry& entry : m_aKind) {
        if (entry.bSelected) {
            return true;
        }
    }
    return false;
}

void ImageSelection::ClearSizes(ImageKind kind) {
    switch (kind) {
        case IMG_EBOOT:
            m_ImageInfo.dwEbootStart = m_ImageInfo.dwEbootSize = 0;
            break;
        case IMG_PDA:
            m_ImageInfo.dwPdaStart = m_ImageInfo.dwPdaSize = 0;
            break;
        case IMG_CSC:
            m_ImageInfo.dwCscStart = m_ImageInfo.dwCscSize = 0;
            break;
        case IMG_LANGPACK:
            m_ImageInfo.dwLangStart = m_ImageInfo.dwLangSize = 0;
            break;
        case IMG_PHONE:
            m_ImageInfo.dwPhoneStart = m_ImageInfo.dwPhoneSize = 0;
            m_ImageInfo.dwPhoneLen = 0;
            break;
        case IMG_SMD:
            m_ImageInfo.dwSmdStart = m_ImageInfo.dwSmdSize = 0;
            break;
    }
}

void ImageSelection::Deselect(ImageKind kind, SelectionView& view) {
    Entry(kind).strPath.clear();
    switch (kind) {
        case IMG_LANGPACK:
            // While the PDA image brings the pack, the LANG kind stays selected through it.
            m_ImageInfo.dwLangStart = 0;
            if (!m_bPdaHasLang) {
                Entry(kind).bSelected = false;
                ClearSizes(kind);
                m_languages.ResetLanguages(false);
            }
            break;
        case IMG_EBOOT:
            Entry(kind).bSelected = false;
            ClearSizes(kind);
            m_strEbootVer.clear();
            m_bEbootLarge = false;
            break;
        case IMG_PDA:
            Entry(kind).bSelected = false;
            ClearSizes(kind);
            if (m_bPdaHasLang) {
                m_languages.ResetLanguages(false);
                Entry(IMG_LANGPACK).bSelected = false;
                ClearSizes(IMG_LANGPACK);
            }
            break;
        case IMG_CSC:
            Entry(kind).bSelected = false;
            ClearSizes(kind);
            DeselectCsc(view);
            break;
        case IMG_PHONE:
        case IMG_SMD:
            Entry(kind).bSelected = false;
            ClearSizes(kind);
            break;
    }
    if (!AnyKindSelected()) {
        view.SetDetectEnabled(false);
    }
    if (kind == IMG_PDA) {
        m_bPdaHasLang = false;
    }
}

LanguageChoice ImageSelection::WorkerLanguage() const {
    if (IsSelected(IMG_CSC) && IsFixedLanguageCode(m_CscHeader.strDefaultLangCode)) {
        return LanguageChoice{0, m_CscHeader.strDefaultLangCode.substr(0, 4)};
    }
    return GetLanguageChoice();
}

}  // namespace vantorel::images
