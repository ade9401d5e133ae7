#pragma once

#include <string>
#include <vector>

namespace vantorel::benchmarks {

// One measured figure as the benchmark program reports it.
struct Figure {
    std::string name;
    double value = 0.0;
    std::string unit;
};

// The median of the samples (the mean of the middle two for an even count); 0 when empty.
double Median(std::vector<double> samples);

// The figures as one JSON array with one object (name, value, unit) per figure.
std::string FiguresJson(const std::vector<Figure>& figures);

// The figures as a short table for a person: one aligned line per figure.
std::string FiguresTable(const std::vector<Figure>& figures);

}  // namespace vantorel::benchmarks
