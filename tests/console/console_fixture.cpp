#include "tests/console/console_fixture.h"

#include <QTimer>

#include "tests/support/shown_logs.h"

namespace vantorel::console::test {

QString ConsoleTest::MainLogText() const {
    return vantorel::test::ShownLogText(*dlg, ctl::kMainLog);
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
