#include "tests/support/file_dialog_answers.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>

namespace vantorel::test {

namespace {

// The name box of Qt's own (widget) file dialog.
constexpr const char* kNameBox = "fileNameEdit";

}  // namespace

FileDialogAnswers::FileDialogAnswers() {
    qApp->installEventFilter(this);
}

FileDialogAnswers::~FileDialogAnswers() {
    qApp->removeEventFilter(this);
}

bool FileDialogAnswers::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) {
        return false;
    }
    auto* shown = qobject_cast<QDialog*>(watched);
    if (shown == nullptr || shown->windowModality() == Qt::NonModal) {
        return false;
    }
    auto* fileDialog = qobject_cast<QFileDialog*>(shown);
    if (fileDialog == nullptr || m_answers.empty()) {
        m_problems += (fileDialog != nullptr ? "an unexpected file dialog" : "a box") +
                      std::string(" \"") + shown->windowTitle().toStdString() + "\"; ";
        QMetaObject::invokeMethod(
            this, [box = QPointer<QDialog>(shown)] { box ? box->reject() : void(); },
            Qt::QueuedConnection);
        return false;
    }
    const QString path = m_answers.front();
    m_answers.pop_front();
    m_lastOpenedIn = fileDialog->directory().absolutePath();
    // Posted, so that it runs inside the dialog's own event loop once exec() has started it.
    QMetaObject::invokeMethod(
        this,
        [this, dialog = QPointer<QFileDialog>(fileDialog), path] {
            if (!dialog) {
                return;
            }
            auto* nameBox = dialog->findChild<QLineEdit*>(QLatin1String(kNameBox));
            if (nameBox == nullptr) {
                m_problems += "a file dialog without a name box; ";
                dialog->reject();
                return;
            }
            nameBox->setText(path);
            // What its Open button runs: QFileDialog's own accept(), through the public slot.
            static_cast<QDialog*>(dialog.data())->accept();
            if (dialog && dialog->isVisible()) {
                m_problems += "the file dialog did not take " + path.toStdString() + "; ";
                dialog->reject();
            }
        },
        Qt::QueuedConnection);
    return false;
}

}  // namespace vantorel::test
