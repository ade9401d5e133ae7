#pragma once

#include <array>
#include <set>
#include <string>
#include <vector>

#include "benchmarks/figure_runs.h"

namespace vantorel::benchmarks {

// The figure groups --only names, in the order they are measured.
inline constexpr std::array<const char*, 7> kFigureGroups{
    "bytesum", "one_slot", "eight_slots", "memory", "console", "soak", "shift"};

// The command line of vantorel-benchmarks.
struct BenchmarkArguments {
    BenchPlan plan;
    std::string jsonPath;
    // The figure groups to measure; empty: all.
    std::set<std::string> only;
    // Google Benchmark's own options (--benchmark_...), passed on to it as they are.
    std::vector<std::string> benchmarkFlags;
    // Instead of the figures, the part of a child process this program started again:
    // the station process or the soak process, with the words after the flag.
    enum class Child { None, Station, Soak } child = Child::None;
    std::vector<std::string> childWords;
    bool bHelp = false;
};

// Reads the command line (without the program name) with QCommandLineParser. False, with a
// message, on anything it does not accept.
bool ParseBenchmarkArguments(const std::vector<std::string>& args, BenchmarkArguments& out,
                             std::string& error);

// The text --help prints.
std::string BenchmarkUsage();

}  // namespace vantorel::benchmarks
