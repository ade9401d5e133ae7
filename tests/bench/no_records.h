#pragma once

#include "bench/bench_arguments.h"

namespace vantorel::bench::test {

// The bench's command line with no records kept: tests leave nothing in the user's own
// state folder.
inline BenchArguments NoRecords() {
    BenchArguments args;
    args.bNoRecords = true;
    return args;
}

}  // namespace vantorel::bench::test
