#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <string>

namespace vantorel::test {

// Answers the open-file dialogs that the code under test brings up, as the operator does:
// once a dialog is shown and its event loop runs, the next queued path is typed into its
// name box and Open is pressed (the dialog's accept(), which checks the name as Open does).
// Nothing is timed: the answer is posted when the dialog is shown. Any other modal box, a
// file dialog with no answer queued, or a dialog that would not take its answer is noted in
// Problems() and closed, so that it fails the test instead of hanging it.
class FileDialogAnswers final : public QObject {
public:
    FileDialogAnswers();
    ~FileDialogAnswers() override;

    // The path typed into the next file dialog.
    void Queue(const QString& path) { m_answers.push_back(path); }
    bool AllTaken() const { return m_answers.empty(); }

    // The folder the last file dialog opened in (before it was answered).
    const QString& LastOpenedIn() const { return m_lastOpenedIn; }
    // Boxes and dialogs that went other than planned, "; "-separated; empty when none.
    const std::string& Problems() const { return m_problems; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::deque<QString> m_answers;
    QString m_lastOpenedIn;
    std::string m_problems;
};

}  // namespace vantorel::test
