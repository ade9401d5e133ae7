#include <gtest/gtest.h>

#include <algorithm>

#include "link/interface_class.h"
#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

using CloseTest = ConsoleTest;

size_t Restarts(const RecordingSync& sync) {
    const auto calls = sync.Calls();
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), "restart serial"));
}

TEST_F(CloseTest, WithNoHandsetDetectedItClosesAtOnce) {
    dlg->show();
    EXPECT_TRUE(dlg->close());
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(prompts.confirmations.empty());
    EXPECT_EQ(Restarts(sync), 1u);
    dlg.reset();
    EXPECT_EQ(Restarts(sync), 1u) << "the programs are started again once, not twice";
}

TEST_F(CloseTest, WhenEveryHandsetHasEndedItClosesWithoutAsking) {
    StartBatch({0});
    Send(518, 0);
    dlg->show();
    EXPECT_TRUE(dlg->close());
    EXPECT_TRUE(prompts.confirmations.empty());
}

TEST_F(CloseTest, DuringADownloadItAsksAndCancelKeepsItOpen) {
    bus.Plug("1-1");
    ASSERT_TRUE(dlg->m_pUsb[0]->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    StartBatch({0, 1});
    Send(518, 1);
    dlg->show();

    prompts.bConfirm = false;
    EXPECT_FALSE(dlg->close());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(prompts.confirmations, std::vector<QString>{"Now Downloading! Quit Anyway?"});
    EXPECT_TRUE(dlg->m_pUsb[0]->IsOpened());
    EXPECT_EQ(Restarts(sync), 0u);

    prompts.bConfirm = true;
    dlg->reject();  // the Escape key
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(prompts.confirmations.size(), 2u);
    EXPECT_FALSE(dlg->m_pUsb[0]->IsOpened());
    EXPECT_EQ(Restarts(sync), 1u);
}

TEST_F(CloseTest, DestroyingTheDialogClosesItsLinks) {
    bus.Plug("1-2");
    ASSERT_TRUE(dlg->m_pUsb[5]->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 5, nullptr));
    auto cable = bus.Plug("1-3");
    dlg.reset();
    EXPECT_EQ(Restarts(sync), 1u);
    // The handset at 1-2 is free again for another station link.
    ConsoleTest::MakeDialog(false);
    EXPECT_TRUE(dlg->m_pUsb[0]->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_TRUE(dlg->m_pUsb[1]->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 1, nullptr));
}

}  // namespace
}  // namespace vantorel::console::test
