// The integrated image of the image selection: unpacking it into the fixed files, selecting
// what it carries, and withdrawing it again.
#include "images/image_selection.h"
#include "images/image_texts.h"
#include "images/integrated_image.h"

namespace vantorel::images {

namespace {

constexpr ImageKind kContainerKinds[kContainerPartCount] = {IMG_EBOOT, IMG_PDA, IMG_PHONE};

}  // namespace

void ImageSelection::OnImgButton(SelectionView& view) {
    if (m_bImgSel) {
        for (const ImageKind kind : kContainerKinds) {
            if (IsSelected(kind)) {
                Deselect(kind, view);
            }
        }
        // Nothing can use the fixed files any more, including one whose kind the operator
        // had already cleared.
        m_unpack.RemoveAll();
        if (!AnyKindSelected()) {
            view.SetDetectEnabled(false);
        }
        m_bImgSel = false;
        m_strImgPath.clear();
        return;
    }
    const int result = UnpackIntegratedImage(view);
    if (result == kUnpackOk) {
        m_bImgSel = true;
        return;
    }
    m_strImgPath.clear();
    view.AppendMainLog(ImgIncorrectFileLine(result));
}

int ImageSelection::UnpackIntegratedImage(SelectionView& view) {
    m_strImgPath = kFileLoadingText;
    view.ShowSelection();
    const auto chosen = view.ChooseFile(kImgFilter);
    if (!chosen) {
        return kUnpackCancelled;
    }
    m_strImgPath = *chosen;
    // A path that is no integrated image is a failed choice like any other kind's.
    if (m_strImgPath.empty() || !EndsWithIgnoringCase(m_strImgPath, ".img")) {
        return kUnpackFailed;
    }
    ReadOnlyFile container;
    if (!container.Open(m_strImgPath)) {
        view.AppendMainLog(CreateFileFailedLine(m_strImgPath));
        view.ShowMessage(CreateFileFailedMessage());
        return kUnpackFailed;
    }
    const auto header = ReadContainerHeader(container);
    if (!header) {
        view.ShowMessage(CertificationFailedMessage());
        return kUnpackFailed;
    }
    for (size_t part = 0; part < kContainerPartCount; ++part) {
        const ContainerEntry& entry = header.value.entries[part];
        if (entry.dwSize == 0) {
            continue;
        }
        const int result =
            UnpackPart(kContainerKinds[part], container, entry.dwOffset, entry.dwSize, view);
        if (result != kUnpackOk) {
            return result;
        }
    }
    return kUnpackOk;
}

int ImageSelection::UnpackPart(ImageKind kind, const ReadOnlyFile& container, uint32_t offset,
                               uint32_t size, SelectionView& view) {
    const std::string fileName = m_unpack.FilePath(kind);
    switch (m_unpack.Write(kind, container, offset, size)) {
        case UnpackWrite::kOk:
            break;
        case UnpackWrite::kCreateFailed:
            view.AppendMainLog(FileCreationFailedLine(fileName));
            view.ShowMessage(FileCreationFailedMessage());
            return kUnpackFailed;
        case UnpackWrite::kWriteFailed:
            view.AppendMainLog(FileWriteFailedLine(fileName));
            view.ShowMessage(FileWriteFailedMessage());
            return kUnpackFailed;
    }
    // The unpacked file replaces whatever the kind held, with all that choosing it set up.
    if (IsSelected(kind)) {
        Deselect(kind, view);
    }
    const int loaded = LoadImageFromPath(kind, view);
    if (loaded != kLoadOk) {
        // An image inside the container that is itself invalid is not selected.
        Entry(kind).strPath.clear();
        view.AppendMainLog(IncorrectFileLine(kind, loaded));
        m_unpack.Remove(kind);
        return kUnpackFailed;
    }
    Entry(kind).bSelected = true;
    return kUnpackOk;
}

int ImageSelection::LoadImageFromPath(ImageKind kind, SelectionView& view) {
    return LoadChosenPath(kind, m_unpack.FilePath(kind), view);
}

}  // namespace vantorel::images
