#include "benchmarks/benchmark_arguments.h"

#include <algorithm>

#include "benchmarks/soak_child.h"
#include "benchmarks/station_child.h"
#include "command_line/qt_command_line.h"
#include "command_line/value_parsers.h"

namespace vantorel::benchmarks {

using command_line::CommandOption;
using command_line::RefusedUnless;

namespace {

constexpr const char* kUsageIntro =
    "usage: vantorel-benchmarks [--quick] [--runs N] [--json FILE] [--only GROUP]... "
    "[--benchmark_...]\n"
    "The station's own speed and memory: the figures go to standard output as JSON, a table\n"
    "to standard error. Options --benchmark_... go to Google Benchmark.\n";

constexpr size_t kHelpColumn = 17;

bool IsFigureGroup(const std::string& name) {
    return std::find(kFigureGroups.begin(), kFigureGroups.end(), name) != kFigureGroups.end();
}

std::string OnlyHelp() {
    std::string help = "measure only this group (repeatable):";
    for (size_t i = 0; i < kFigureGroups.size(); ++i) {
        help += (i == 0 ? "\n" : i + 1 == kFigureGroups.size() ? " or " : ", ");
        help += kFigureGroups[i];
    }
    return help;
}

struct Given {
    bool bQuick = false;
    int runs = 0;
};

auto StartsChild(BenchmarkArguments& out, BenchmarkArguments::Child child) {
    return [&out, child](const std::string&) {
        out.child = child;
        return command_line::Taken();
    };
}

std::vector<CommandOption> Options(BenchmarkArguments& out, Given& given) {
    return {
        {"--quick", "", "small sizes and few runs: every figure, quickly",
         command_line::Sets(given.bQuick)},
        {"--runs", "N", "repetitions of each run; medians are reported (5)",
         command_line::SetsNumber(given.runs, true)},
        {"--json", "FILE", "also write the JSON figures to FILE",
         [&out](const std::string& value) {
             out.jsonPath = value;
             return RefusedUnless(!value.empty());
         }},
        {"--only", "GROUP", OnlyHelp(),
         [&out](const std::string& value) {
             out.only.insert(value);
             return RefusedUnless(IsFigureGroup(value), "no such group");
         }},
        command_line::HelpOption(out.bHelp),
        // The program started again by itself; not for the operator.
        {kStationRunFlag, "", "", StartsChild(out, BenchmarkArguments::Child::Station)},
        {kSoakRunFlag, "", "", StartsChild(out, BenchmarkArguments::Child::Soak)},
    };
}

}  // namespace

bool ParseBenchmarkArguments(const std::vector<std::string>& args, BenchmarkArguments& out,
                             std::string& error) {
    out = BenchmarkArguments{};
    Given given;
    std::vector<std::string> own;
    for (const std::string& word : args) {
        (word.starts_with("--benchmark_") ? out.benchmarkFlags : own).push_back(word);
    }
    if (!command_line::ParseWithQt(Options(out, given), own, error, {{}, &out.childWords})) {
        return false;
    }
    if (out.child == BenchmarkArguments::Child::None && !out.childWords.empty()) {
        error = "unexpected argument '" + out.childWords.front() + "'";
        return false;
    }
    if (given.bQuick) {
        out.plan = BenchPlan::Quick();
    }
    if (given.runs > 0) {
        out.plan.runs = given.runs;
        out.plan.kernelRepetitions = given.runs;
    }
    return true;
}

std::string BenchmarkUsage() {
    BenchmarkArguments unused;
    Given given;
    return kUsageIntro + command_line::FormatOptions(Options(unused, given), kHelpColumn);
}

}  // namespace vantorel::benchmarks
