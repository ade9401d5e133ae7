// The groups --only takes are the groups the program measures, and its help names them all.
#include <gtest/gtest.h>

#include "benchmarks/benchmark_arguments.h"

namespace vantorel::benchmarks {
namespace {

TEST(BenchmarkArgumentsTest, EveryFigureGroupCanBeMeasuredAlone) {
    const std::string usage = BenchmarkUsage();
    for (const char* group : kFigureGroups) {
        BenchmarkArguments arguments;
        std::string error;
        EXPECT_TRUE(ParseBenchmarkArguments({"--only", group}, arguments, error))
            << group << ": " << error;
        EXPECT_TRUE(arguments.only.contains(group)) << group;
        EXPECT_NE(usage.find(group), std::string::npos) << group << " missing from\n" << usage;
    }
    BenchmarkArguments arguments;
    std::string error;
    EXPECT_FALSE(ParseBenchmarkArguments({"--only", "shifts"}, arguments, error));
    EXPECT_EQ(error, "bad value for --only: 'shifts' (no such group)");
}

}  // namespace
}  // namespace vantorel::benchmarks
