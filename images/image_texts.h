#pragma once

#include <cstdint>
#include <string>

#include "images/csc_file.h"
#include "images/selection_view.h"

namespace vantorel::images {

// The selection's own texts: path-box contents, message boxes and log lines.

inline constexpr char kFileLoadingText[] = "File Loading...";
inline constexpr char kImgFilter[] = "IMG ROM Image (*.img)|*.img|";
inline constexpr char kMultiCscBanner[] =
    "----------------- Information of Multi CSC Image ------------------\r\n";
inline constexpr char kCscInformationBanner[] =
    "----------------- Information of selected CSC ------------------\r\n";

Message LangPackInvalidMessage();
Message CreateFileFailedMessage();
Message CertificationFailedMessage();
Message FileCreationFailedMessage();
Message FileWriteFailedMessage();

std::string EbootVersionText(const std::string& toolVersion);
std::string MultiCscEntryLine(int index, const CscEntry& entry);
std::string ImgIncorrectFileLine(int result);
std::string CreateFileFailedLine(const std::string& path);
std::string FileCreationFailedLine(const std::string& path);
std::string FileWriteFailedLine(const std::string& path);

// The four lines after the banner that show a CSC image's header in the second log.
std::string CscVersionLine(const CscImageHeader& header);
std::string CscDefaultLangCodeLine(const CscImageHeader& header);
std::string CscSalesCodeLine(const CscImageHeader& header);
std::string CscPriorityLine(const CscImageHeader& header);

}  // namespace vantorel::images
