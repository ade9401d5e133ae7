// The application object is the Qt application itself, so this program builds it in its
// own main(), offscreen, before the tests run.
#include <gtest/gtest.h>

#include <QTimer>

#include "console/operator_prompts.h"
#include "console/sync_service_controller.h"
#include "console/vantorel_dlg.h"
#include "host/vantorel_app.h"
#include "link/platform/emulated/emulated_bus.h"
#include "tests/support/scratch_home.h"

namespace vantorel::host {
namespace {

class CountingSync final : public console::SyncServiceController {
public:
    void StopSyncProcesses(bool) override { ++stops; }
    void RestartSyncProcesses(bool) override { ++restarts; }
    int stops = 0;
    int restarts = 0;
};

class SilentPrompts final : public console::OperatorPrompts {
public:
    void ShowMessage(QWidget*, const QString&, const QString&, Icon) override { ++shown; }
    bool ConfirmOkCancel(QWidget*, const QString&, const QString&) override { return true; }
    std::optional<QString> ChooseOpenFile(QWidget*, const QString&) override {
        return std::nullopt;
    }
    int shown = 0;
};

link::emulated::EmulatedBus g_bus;
CountingSync g_sync;
SilentPrompts g_prompts;
CVantorelApp* g_app = nullptr;

TEST(VantorelAppTest, TheApplicationIsNamedFromTheStringTable) {
    EXPECT_EQ(CVantorelApp::applicationName(), "VELDHARROWDownloader v2.4.3");
}

TEST(VantorelAppTest, RunsTheMainDialogModallyAndEndsWithIt) {
    QString shownTitle;
    bool bWasMainWindow = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<console::CVantorelDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        bWasMainWindow = dialog == g_app->MainWindow();
        shownTitle = dialog->windowTitle();
        dialog->close();  // no handset detected: closes at once
    });
    EXPECT_FALSE(g_app->InitInstance());
    EXPECT_TRUE(bWasMainWindow);
    EXPECT_EQ(shownTitle, "VELDHARROWDownloader v2.4.3");
    EXPECT_EQ(g_app->MainWindow(), nullptr);
    EXPECT_EQ(g_sync.stops, 1);
    EXPECT_EQ(g_sync.restarts, 1);
    EXPECT_EQ(g_prompts.shown, 0);
    EXPECT_EQ(g_app->ExitInstance(), 0);
}

}  // namespace
}  // namespace vantorel::host

int main(int argc, char** argv) {
    using namespace vantorel;
    test::UseScratchHome();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const console::ConsoleEnvironment environment{host::g_bus,     host::g_bus, host::g_bus,
                                                  false,           Clock{0.0},  host::g_sync,
                                                  host::g_prompts, nullptr};
    host::CVantorelApp app(argc, argv, environment);
    host::g_app = &app;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
