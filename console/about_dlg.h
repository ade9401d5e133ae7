#pragma once

#include <QDialog>

namespace vantorel::console {

// The About box: the station's name under the About entry's title.
class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QString AboutText() const;  // control 1083
};

}  // namespace vantorel::console
