#pragma once

#include <map>
#include <string>

namespace vantorel::benchmarks {

// Registers the ByteSum kernels with Google Benchmark, runs them (and any other registered
// benchmark the command line selects) and returns the median bytes per second of each by
// name. Google Benchmark's own table goes to standard error.
std::map<std::string, double> RunByteSumBenchmarks(int repetitions, double minSeconds);

}  // namespace vantorel::benchmarks
