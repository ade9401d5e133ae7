// The main() of the test programs without Qt widgets: the scratch home first of all.
#include <gtest/gtest.h>

#include "tests/support/scratch_home.h"

int main(int argc, char** argv) {
    vantorel::test::UseScratchHome();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
