#pragma once

#include <vector>

#include "benchmarks/figure_runs.h"
#include "benchmarks/figures.h"

namespace vantorel::benchmarks {

// Handsets per hour of a whole shift on the emulated bench, in batches and with slots that
// run on their own: the same handsets (flash times spread the same way), the same operator
// swapping one handset at a time, eight sockets, at the plan's clock scale.
void AddShiftFigures(const BenchPlan& plan, std::vector<Figure>& figures);

}  // namespace vantorel::benchmarks
