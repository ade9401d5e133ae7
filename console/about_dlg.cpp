#include "console/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "console/control_ids.h"
#include "console/string_resource.h"
#include "resources/string_table.h"

namespace vantorel::console {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(StringResource(resources::IDS_ABOUTBOX));

    auto* icon = new QLabel(this);
    icon->setPixmap(StationIcon().pixmap(48, 48));
    auto* text = new QLabel(StringResource(resources::IDS_APP_TITLE), this);
    text->setObjectName(QStringLiteral("IDC_%1").arg(ctl::kAboutText));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

QString CAboutDlg::AboutText() const {
    return findChild<QLabel*>(QStringLiteral("IDC_%1").arg(ctl::kAboutText))->text();
}

}  // namespace vantorel::console
