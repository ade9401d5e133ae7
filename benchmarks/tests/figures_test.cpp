#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "benchmarks/event_loop_lateness.h"
#include "benchmarks/figures.h"
#include "benchmarks/station_runs.h"

namespace vantorel::benchmarks {
namespace {

TEST(FiguresTest, MedianOfOddEvenAndNoSamples) {
    EXPECT_DOUBLE_EQ(Median({5.0, 1.0, 3.0}), 3.0);
    EXPECT_DOUBLE_EQ(Median({4.0, 1.0, 3.0, 2.0}), 2.5);
    EXPECT_DOUBLE_EQ(Median({7.0}), 7.0);
    EXPECT_DOUBLE_EQ(Median({}), 0.0);
}

// Nearest rank: of 200 ticks the 99th percentile is the 198th smallest, so two stalls fit
// in the top 1 % and a third shows.
TEST(FiguresTest, PercentileIsTheNearestRank) {
    std::vector<double> ticks(198, 1.0);
    ticks.push_back(40.0);
    ticks.push_back(12.0);
    EXPECT_DOUBLE_EQ(PercentileOf(ticks, 0.99), 1.0);
    ticks[0] = 9.0;
    EXPECT_DOUBLE_EQ(PercentileOf(ticks, 0.99), 9.0);
    EXPECT_DOUBLE_EQ(PercentileOf(ticks, 1.0), 40.0);
    EXPECT_DOUBLE_EQ(PercentileOf(ticks, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(PercentileOf({3.0}, 0.99), 3.0);
    EXPECT_DOUBLE_EQ(PercentileOf({}, 0.99), 0.0);
}

// One object per figure with its three members; text is escaped and a figure that could
// not be measured is null, so the output stays valid JSON that reads back as written.
TEST(FiguresTest, JsonHasOneObjectPerFigure) {
    const std::string json = FiguresJson({
        {"ram_transfer.1slot.bus.rate", 101.5, "MiB/s"},
        {"odd \"name\"\\\n", std::numeric_limits<double>::quiet_NaN(), "x"},
    });
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    ASSERT_TRUE(document.isArray());
    const QJsonArray figures = document.array();
    ASSERT_EQ(figures.size(), 2);
    EXPECT_EQ(figures[0].toObject().value("name").toString(), "ram_transfer.1slot.bus.rate");
    EXPECT_EQ(figures[0].toObject().value("value").toDouble(), 101.5);
    EXPECT_EQ(figures[0].toObject().value("unit").toString(), "MiB/s");
    EXPECT_EQ(figures[1].toObject().value("name").toString(), "odd \"name\"\\\n");
    EXPECT_TRUE(figures[1].toObject().value("value").isNull());
    EXPECT_EQ(figures[1].toObject().size(), 3);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(FiguresJson({}))).array().size(),
              0);
}

TEST(FiguresTest, TableHasAHeaderAndOneLinePerFigure) {
    const std::string table = FiguresTable({{"a.b", 1.5, "ms"}, {"longer.name", 2000, "us"}});
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 3);
    EXPECT_NE(table.find("longer.name"), std::string::npos);
    EXPECT_NE(table.find("1.5  ms"), std::string::npos);
}

SlotRun Slot(double seconds, double cpu, uint64_t bytes, bool ok = true) {
    SlotRun run;
    run.wallSeconds = seconds;
    run.cpuSeconds = cpu;
    run.bytes = bytes;
    run.ok = ok;
    return run;
}

// Rates are per slot: the slowest slot's rate over the fastest's, not time over time of
// slots that moved different amounts.
TEST(FiguresTest, TotalsAddUpSlotsAndCompareTheirRates) {
    const RunTotals totals =
        Totals({Slot(2.0, 0.5, 100), Slot(4.0, 0.25, 100), Slot(1.0, 0.25, 25)});
    EXPECT_TRUE(totals.ok);
    EXPECT_DOUBLE_EQ(totals.wallSeconds, 4.0);
    EXPECT_DOUBLE_EQ(totals.cpuSeconds, 1.0);
    EXPECT_EQ(totals.bytes, 225u);
    EXPECT_DOUBLE_EQ(totals.fairness, 25.0 / 50.0);

    EXPECT_FALSE(Totals({Slot(1.0, 0.1, 10), Slot(1.0, 0.1, 0, false)}).ok);
    EXPECT_FALSE(Totals({}).ok);
}

}  // namespace
}  // namespace vantorel::benchmarks
