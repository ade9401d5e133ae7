// The main() of the test programs with widgets. The scratch home and the offscreen platform
// come before the application exists, because test discovery runs this program without the
// test's environment and Qt reads both once.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/scratch_home.h"

int main(int argc, char** argv) {
    vantorel::test::UseScratchHome();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
