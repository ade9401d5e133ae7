// Diagnostics the operator never sees go to standard output, or to whoever captures them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/message_sink.h"

namespace vantorel::link {
namespace {

TEST(DiagnosticsTest, GoToStandardOutputUnlessCaptured) {
    ::testing::internal::CaptureStdout();
    WriteDiagnostic("FAILED to open %s\n", "usb#1-3");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "FAILED to open usb#1-3\n");

    std::vector<std::string> captured;
    ::testing::internal::CaptureStdout();
    {
        DiagnosticCapture capture([&](std::string_view line) { captured.emplace_back(line); });
        WriteDiagnostic("Attempting to open %s\n", "usb#1-4");
    }
    WriteDiagnostic("after\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "after\n");
    EXPECT_EQ(captured, std::vector<std::string>{"Attempting to open usb#1-4\n"});
}

}  // namespace
}  // namespace vantorel::link
