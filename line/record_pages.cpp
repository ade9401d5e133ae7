#include "line/record_pages.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <set>
#include <vector>

#include "records/append_file.h"
#include "records/records_location.h"
#include "records/slot_report.h"

namespace vantorel::line {

namespace fs = std::filesystem;

namespace {

// Summaries are a few hundred bytes; anything much larger is not the station's.
constexpr uint64_t kMostSummaryBytes = 64 * 1024;

// The station's batch folders under `root`, newest first; none when it cannot be listed.
std::vector<std::string> BatchFolders(const fs::path& root) {
    std::vector<std::string> names;
    std::error_code error;
    if (root.empty()) {
        return names;
    }
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (records::IsBatchFolderName(name) && it->is_directory(error) && !it->is_symlink()) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

std::optional<std::string> UtcTime(const QString& text) {
    const QDateTime when = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!when.isValid() || text.size() > 40) {
        return std::nullopt;
    }
    return when.toUTC().toString("yyyy-MM-ddTHH:mm:ss.zzzZ").toStdString();
}

QJsonObject Next(const std::string& before) {
    return QJsonObject{{"before", QString::fromStdString(before)}};
}

}  // namespace

std::optional<PageQuery> ParsePageQuery(const QUrlQuery& query, bool bTimes, std::string& error) {
    PageQuery page;
    std::set<QString> seen;
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!seen.insert(key).second) {
            error = "the parameter '" + key.toStdString() + "' is given more than once";
            return std::nullopt;
        }
        if (key == "limit") {
            bool bNumber = false;
            page.limit = value.toInt(&bNumber);
            if (!bNumber || page.limit < 1 || page.limit > kMostPageSize) {
                error = "limit is a whole number from 1 to " + std::to_string(kMostPageSize);
                return std::nullopt;
            }
        } else if (bTimes && (key == "since" || key == "before")) {
            const std::optional<std::string> when = UtcTime(value);
            if (!when) {
                error = key.toStdString() + " is an ISO 8601 time, e.g. 2026-12-08T16:20:05Z";
                return std::nullopt;
            }
            (key == "since" ? page.since : page.before) = *when;
        } else if (!bTimes && key == "before") {
            if (!records::IsBatchFolderName(value.toStdString())) {
                error = "before is a batch's name, e.g. 2026-12-08T16-20-05Z";
                return std::nullopt;
            }
            page.before = value.toStdString();
        } else {
            error = "the parameter '" + key.left(64).toStdString() + "' is not known here";
            return std::nullopt;
        }
    }
    return page;
}

QJsonObject HandsetsPage(const fs::path& root, const PageQuery& query) {
    std::vector<QJsonObject> found;
    int folders = 0;
    for (const std::string& name : BatchFolders(root)) {
        if (++folders > kMostFoldersPerPage) {
            break;
        }
        const std::vector<std::string> lines =
            records::ReadReportLines(root / name / "report.jsonl");
        // A batch that has no handset yet (the running one) says nothing of older ones.
        bool bAnyNewer = lines.empty();
        for (const std::string& line : lines) {
            QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            const std::string ended = report.value("ended").toString().toStdString();
            bAnyNewer = bAnyNewer || query.since.empty() || ended > query.since;
            if ((query.since.empty() || ended > query.since) &&
                (query.before.empty() || ended < query.before)) {
                report["batch"] = QString::fromStdString(name);
                found.push_back(std::move(report));
            }
        }
        // Folders are named by their batch's start: past one with nothing new, all is older.
        if (static_cast<int>(found.size()) > query.limit || !bAnyNewer) {
            break;
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a.value("ended").toString() > b.value("ended").toString();
    });
    QJsonArray page;
    for (size_t at = 0; at < found.size() && static_cast<int>(at) < query.limit; ++at) {
        page.append(found[at]);
    }
    const bool bMore = static_cast<int>(found.size()) > query.limit;
    return {
        {"handsets", page},
        {"next",
         bMore ? QJsonValue(Next(page.last().toObject().value("ended").toString().toStdString()))
               : QJsonValue(QJsonValue::Null)}};
}

QJsonObject BatchesPage(const fs::path& root, const PageQuery& query) {
    QJsonArray page;
    bool bMore = false;
    std::string last;
    for (const std::string& name : BatchFolders(root)) {
        if (!query.before.empty() && name >= query.before) {
            continue;
        }
        if (page.size() == query.limit) {
            bMore = true;
            break;
        }
        const fs::path folder = root / name;
        const std::optional<std::string> summary =
            records::ReadRecordFile(folder / "summary.json", kMostSummaryBytes);
        const QJsonDocument document =
            summary ? QJsonDocument::fromJson(QByteArray::fromStdString(*summary))
                    : QJsonDocument();
        page.append(QJsonObject{
            {"batch", QString::fromStdString(name)},
            {"handsets",
             static_cast<qint64>(records::ReadReportLines(folder / "report.jsonl").size())},
            {"summary",
             document.isObject() ? QJsonValue(document.object()) : QJsonValue(QJsonValue::Null)},
        });
        last = name;
    }
    return {{"batches", page},
            {"next", bMore ? QJsonValue(Next(last)) : QJsonValue(QJsonValue::Null)}};
}

}  // namespace vantorel::line
