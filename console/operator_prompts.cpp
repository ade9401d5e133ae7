#include "console/operator_prompts.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

#include "console/port_settings.h"

namespace vantorel::console {

namespace {

QString CaptionOrAppName(const QString& caption) {
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

// The station's texts carry Windows line breaks; a box shows plain ones.
QString ForDisplay(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QMessageBox::Icon ToBoxIcon(OperatorPrompts::Icon icon) {
    switch (icon) {
        case OperatorPrompts::Icon::Information:
            return QMessageBox::Information;
        case OperatorPrompts::Icon::Warning:
            return QMessageBox::Warning;
        case OperatorPrompts::Icon::Error:
            return QMessageBox::Critical;
        case OperatorPrompts::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// One remembered folder per kind of dialog; the filter tells the kinds apart.
QString FolderKey(const QString& filter) {
    return QStringLiteral("open-file-folders/") +
           QString::fromLatin1(filter.toUtf8().toBase64(QByteArray::Base64UrlEncoding |
                                                        QByteArray::OmitTrailingEquals));
}

}  // namespace

QString QtFileFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters.append(QStringLiteral("%1 (%2)").arg(
            parts[i].section(QLatin1Char('('), 0, 0).trimmed(),
            QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '))));
    }
    return filters.join(QStringLiteral(";;"));
}

void QtOperatorPrompts::ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                                    Icon icon) {
    QMessageBox box(ToBoxIcon(icon), CaptionOrAppName(caption), ForDisplay(text), QMessageBox::Ok,
                    parent);
    box.exec();
}

bool QtOperatorPrompts::ConfirmOkCancel(QWidget* parent, const QString& text,
                                        const QString& caption) {
    QMessageBox box(QMessageBox::Question, CaptionOrAppName(caption), ForDisplay(text),
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

QtOperatorPrompts::QtOperatorPrompts(QString firstFolder, QString settingsFile)
    : m_firstFolder(firstFolder.isEmpty() ? QDir::homePath() : std::move(firstFolder)),
      m_settingsFile(std::move(settingsFile)) {}

std::unique_ptr<QSettings> QtOperatorPrompts::OpenSettings() const {
    const std::filesystem::path file = m_settingsFile.isEmpty()
                                           ? DefaultSettingsFile()
                                           : std::filesystem::path(m_settingsFile.toStdString());
    std::string why;
    if (!IsSettingsFileUsable(file, why)) {
        return nullptr;  // a FIFO or a device there would block or flood QSettings
    }
    return std::make_unique<QSettings>(QString::fromStdString(file.string()), QSettings::IniFormat);
}

QString QtOperatorPrompts::StartFolder(const QString& filter) const {
    const auto settings = OpenSettings();
    const QString folder = settings ? settings->value(FolderKey(filter)).toString() : QString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : m_firstFolder;
}

std::optional<QString> QtOperatorPrompts::ChooseOpenFile(QWidget* parent, const QString& filter) {
    QFileDialog dialog(parent, QString(), StartFolder(filter), QtFileFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().front();
    if (const auto settings = OpenSettings()) {
        settings->setValue(FolderKey(filter), QFileInfo(chosen).absolutePath());
    }
    return chosen;
}

std::optional<QString> QtOperatorPrompts::ChooseSaveFile(QWidget* parent, const QString& filter) {
    QFileDialog dialog(parent, QString(), QString(), QtFileFilter(filter));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

bool OperatorPrompts::OpenFolder(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void OperatorPrompts::CopyText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    if (clipboard->supportsSelection()) {
        clipboard->setText(text, QClipboard::Selection);
    }
}

}  // namespace vantorel::console
