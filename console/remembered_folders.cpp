#include "console/remembered_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <system_error>

namespace vantorel::console {

namespace {

// A settings file far beyond what the station writes is not one of ours to read.
constexpr std::uintmax_t kLargestSettingsFile = 1 << 20;

QString FolderKey(const QString& kind) {
    return QStringLiteral("open-file-folders/") +
           QString::fromLatin1(kind.toUtf8().toBase64(QByteArray::Base64UrlEncoding |
                                                      QByteArray::OmitTrailingEquals));
}

// QSettings would block on a FIFO and read a device without end: only a missing file (to be
// written) or a bounded regular one is used.
bool Usable(const std::filesystem::path& file, bool bMayBeMissing) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return bMayBeMissing;
    }
    return !error && std::filesystem::is_regular_file(status) &&
           std::filesystem::file_size(file, error) <= kLargestSettingsFile && !error;
}

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

RememberedFolders::RememberedFolders(QString firstFolder, std::filesystem::path settingsFile)
    : m_firstFolder(firstFolder.isEmpty() ? QDir::homePath() : std::move(firstFolder)),
      m_settingsFile(std::move(settingsFile)) {}

QString RememberedFolders::StartFolder(const QString& kind) const {
    const QString key = FolderKey(kind);
    QString folder = m_folders.value(key);
    if (folder.isEmpty() && !m_settingsFile.empty() && Usable(m_settingsFile, false)) {
        folder = QSettings(Q(m_settingsFile), QSettings::IniFormat).value(key).toString();
    }
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : m_firstFolder;
}

void RememberedFolders::Remember(const QString& kind, const QString& file) {
    const QString key = FolderKey(kind);
    const QString folder = QFileInfo(file).absolutePath();
    m_folders.insert(key, folder);
    if (!m_settingsFile.empty() && Usable(m_settingsFile, true)) {
        QSettings(Q(m_settingsFile), QSettings::IniFormat).setValue(key, folder);
    }
}

}  // namespace vantorel::console
