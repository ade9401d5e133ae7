#include "images/image_texts.h"

#include <cstdlib>

#include "base/text_format.h"

namespace vantorel::images {

Message LangPackInvalidMessage() {
    return {"LangPack image file is invalid", "VELDHARROW", MessageIcon::kError};
}

Message CreateFileFailedMessage() {
    return {"CreateFile failed", "", MessageIcon::kNone};
}

Message CertificationFailedMessage() {
    return {"IMG file certification failed!\r\n", "", MessageIcon::kNone};
}

Message FileCreationFailedMessage() {
    return {"ERROR: file creation ( GENERIC_WRITE | GENERIC_READ ) was failed error code\r\n", "",
            MessageIcon::kNone};
}

Message FileWriteFailedMessage() {
    return {"ERROR: File write failed \r\n", "", MessageIcon::kNone};
}

std::string EbootVersionText(const std::string& toolVersion) {
    // The number the version string spells, its base told by its prefix.
    const unsigned long number = std::strtoul(toolVersion.c_str(), nullptr, 0);
    return FormatText("Eboot Ver : %d", static_cast<int>(static_cast<uint32_t>(number)));
}

std::string MultiCscEntryLine(int index, const CscEntry& entry) {
    return FormatText("Csc(%d) file name: [%s] file size:[0x%x] TotalBlockCnt:[0x%x]\r\n", index,
                      entry.strName.c_str(), entry.dwFileSize, entry.dwBlockCount);
}

std::string ImgIncorrectFileLine(int result) {
    return FormatText("Select IMG file is incorrected. %d\r\n", result);
}

std::string CreateFileFailedLine(const std::string& path) {
    return FormatText("%s CreateFile failed \r\n", path.c_str());
}

std::string FileCreationFailedLine(const std::string& path) {
    return FormatText("%s file creation was failed\r\n", path.c_str());
}

std::string FileWriteFailedLine(const std::string& path) {
    return FormatText("%s File write failed  \r\n", path.c_str());
}

std::string CscVersionLine(const CscImageHeader& header) {
    return FormatText("Version:[%s]\r\n", header.strVersion.c_str());
}

std::string CscDefaultLangCodeLine(const CscImageHeader& header) {
    return FormatText("DefaultLangCode:[%s]\r\n", header.strDefaultLangCode.c_str());
}

std::string CscSalesCodeLine(const CscImageHeader& header) {
    return FormatText("SalesCode:[%s]\r\n", header.strSalesCode.c_str());
}

std::string CscPriorityLine(const CscImageHeader& header) {
    return FormatText("Priority:[%d]\r\n", header.byPriority);
}

}  // namespace vantorel::images
