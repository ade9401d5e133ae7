#include "console/log_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "console/log_text.h"

namespace vantorel::console {

CLogDialog::CLogDialog(int nSlot, const QString& strLog, QWidget* parent)
    : QDialog(parent),
      m_pLogEdit(new QPlainTextEdit(this)),
      m_pCaption(new QLabel(QStringLiteral("Thread Log "), this)) {
    setWindowTitle(QStringLiteral("Log Messages"));
    m_pLogEdit->setReadOnly(true);
    m_pLogEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pLogEdit->setPlainText(LogTextForDisplay(strLog));
    m_pCaption->setText(QStringLiteral("Thread %1 Log:").arg(nSlot));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pCaption);
    layout->addWidget(m_pLogEdit, 1);
    layout->addWidget(buttons);
    resize(640, 360);

    m_pLogEdit->verticalScrollBar()->setValue(m_pLogEdit->verticalScrollBar()->maximum());
}

QString CLogDialog::Caption() const {
    return m_pCaption->text();
}

QString CLogDialog::LogText() const {
    return m_pLogEdit->toPlainText();
}

}  // namespace vantorel::console
