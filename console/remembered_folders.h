#pragma once

#include <QMap>
#include <QString>
#include <filesystem>

namespace vantorel::console {

// Where each kind of open-file dialog opens: the folder the operator last chose a file of
// that kind from, else `firstFolder`. A kind is told by its dialog's filter. The folders are
// kept in `settingsFile` beside the station's other settings, so they outlast a restart;
// with an empty path they last as long as this object. A settings file that is not a
// bounded regular file is neither read nor written.
class RememberedFolders {
public:
    RememberedFolders(QString firstFolder, std::filesystem::path settingsFile);

    // The folder the dialog for `kind` opens in; a remembered one that has gone is no place
    // to open in.
    QString StartFolder(const QString& kind) const;

    // Notes that `file` was chosen with the dialog for `kind`.
    void Remember(const QString& kind, const QString& file);

private:
    QString m_firstFolder;
    std::filesystem::path m_settingsFile;
    QMap<QString, QString> m_folders;  // by settings key; what this object has noted
};

}  // namespace vantorel::console
