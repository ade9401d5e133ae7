#include "console/operator_prompts.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

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

QtOperatorPrompts::QtOperatorPrompts(QString firstFolder, std::filesystem::path settingsFile)
    : m_folders(std::move(firstFolder), std::move(settingsFile)) {}

std::optional<QString> QtOperatorPrompts::ChooseOpenFile(QWidget* parent, const QString& filter) {
    QFileDialog dialog(parent, QString(), m_folders.StartFolder(filter), QtFileFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().front();
    m_folders.Remember(filter, chosen);
    return chosen;
}

std::optional<QString> QtOperatorPrompts::ChooseSaveFile(QWidget* parent, const QString& filter) {
    // Saved files have their own kind, so a saved log never moves where images are opened.
    const QString kind = QStringLiteral("save:") + filter;
    QFileDialog dialog(parent, QString(), m_folders.StartFolder(kind), QtFileFilter(filter));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().front();
    m_folders.Remember(kind, chosen);
    return chosen;
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
