#pragma once

#include <QJsonObject>
#include <QUrlQuery>
#include <filesystem>
#include <optional>
#include <string>

namespace vantorel::line {

inline constexpr int kDefaultPageSize = 50;
inline constexpr int kMostPageSize = 500;
// A page is made from at most this many batch folders, newest first, whatever it asks.
inline constexpr int kMostFoldersPerPage = 400;

// A page's query: `limit` items at most, newest first; for handsets those that ended after
// `since` and before `before` (ISO 8601 times, as the report lines give them), for batches
// those whose folder sorts before the batch named `before`.
struct PageQuery {
    int limit = kDefaultPageSize;
    std::string since;   // UTC, "2026-12-08T16:20:05.123Z"; empty: no bound
    std::string before;  // the same, or a batch name
};

// The query of a page request; nullopt, with the reason, for a parameter it does not know,
// one given twice, or a value out of shape or range. `bTimes`: since and before are times
// (handsets); else only before, a batch name (batches).
std::optional<PageQuery> ParsePageQuery(const QUrlQuery& query, bool bTimes, std::string& error);

// {"handsets": [report objects], "next": {"before": TIME} or null}: the report lines of the
// batch folders under `root`, newest first.
QJsonObject HandsetsPage(const std::filesystem::path& root, const PageQuery& query);
// {"batches": [{"batch", "handsets", "summary" (null while it runs or if it was lost)}],
//  "next": {"before": NAME} or null}
QJsonObject BatchesPage(const std::filesystem::path& root, const PageQuery& query);

}  // namespace vantorel::line
