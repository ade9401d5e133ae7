#include "tests/console/console_fixture.h"

#include <QPlainTextEdit>
#include <QTimer>

namespace vantorel::console::test {

QString ConsoleTest::MainLogEdit() const {
    return qobject_cast<QPlainTextEdit*>(dlg->GetDlgItem(ctl::kMainLog))->toPlainText();
}

void WithModal(const std::function<void()>& open, const std::function<void(QWidget&)>& check) {
    bool bChecked = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr) {
            check(*modal);
            bChecked = true;
            modal->close();
        }
    });
    open();
    EXPECT_TRUE(bChecked) << "no modal dialog came up";
}

}  // namespace vantorel::console::test
