#include "benchmarks/figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace vantorel::benchmarks {

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
    QJsonArray array;
    for (const Figure& figure : figures) {
        QJsonObject object;
        object.insert("name", QString::fromStdString(figure.name));
        // JSON has no NaN or infinity; a figure that could not be measured is null.
        object.insert("value", std::isfinite(figure.value) ? QJsonValue(figure.value)
                                                           : QJsonValue(QJsonValue::Null));
        object.insert("unit", QString::fromStdString(figure.unit));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
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

}  // namespace vantorel::benchmarks
