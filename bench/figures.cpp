#include "bench/figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vantorel::bench {

namespace {

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

// JSON has no NaN or infinity; a figure that could not be measured is null.
std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

double Median(std::vector<double> samples) {
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    if (samples.size() % 2 == 1) {
        return samples[middle];
    }
    return (samples[middle - 1] + samples[middle]) / 2.0;
}

std::string FiguresJson(const std::vector<Figure>& figures) {
    std::string json = "[\n";
    for (size_t i = 0; i < figures.size(); ++i) {
        const Figure& figure = figures[i];
        json += "  {\"name\": " + JsonString(figure.name) +
                ", \"value\": " + JsonNumber(figure.value) +
                ", \"unit\": " + JsonString(figure.unit) + "}";
        json += i + 1 < figures.size() ? ",\n" : "\n";
    }
    return json + "]\n";
}

std::string FiguresTable(const std::vector<Figure>& figures) {
    size_t nameWidth = 6;
    for (const Figure& figure : figures) {
        nameWidth = std::max(nameWidth, figure.name.size());
    }
    std::string table;
    char line[512];
    std::snprintf(line, sizeof line, "%-*s %14s  %s\n", static_cast<int>(nameWidth), "figure",
                  "value", "unit");
    table += line;
    for (const Figure& figure : figures) {
        std::snprintf(line, sizeof line, "%-*s %14.4g  %s\n", static_cast<int>(nameWidth),
                      figure.name.c_str(), figure.value, figure.unit.c_str());
        table += line;
    }
    return table;
}

}  // namespace vantorel::bench
