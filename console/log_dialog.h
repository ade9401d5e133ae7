#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;

namespace vantorel::console {

// The viewer of one slot's log ("See Log"), run modally.
class CLogDialog : public QDialog {
public:
    CLogDialog(int nSlot, const QString& strLog, QWidget* parent = nullptr);

    QString Caption() const;
    QString LogText() const;

private:
    QPlainTextEdit* m_pLogEdit;  // 1013
    QLabel* m_pCaption;          // 1014
};

}  // namespace vantorel::console
