#include "records/slot_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cmath>

#include "records/append_file.h"
#include "records/records_location.h"

namespace vantorel::records {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QJsonObject ImageObject(const ReportedImage& image) {
    QJsonObject object{{"kind", Text(image.kind)}, {"path", Text(image.path)}};
    if (image.digest) {
        object["size"] = static_cast<qint64>(image.digest->size);
        if (!image.digest->sha256.empty()) {
            object["sha256"] = Text(image.digest->sha256);
        }
    } else if (image.bDigestNotComputed) {
        object["sha256"] = QJsonValue::Null;
        object["sha256_state"] = "not computed";
    }
    return object;
}

QJsonValue CscObject(const std::optional<SentCsc>& csc) {
    if (!csc) {
        return QJsonValue::Null;
    }
    return QJsonObject{
        {"entry", csc->entry.empty() ? QJsonValue(QJsonValue::Null) : Text(csc->entry)},
        {"offset", static_cast<qint64>(csc->offset)},
    };
}

QJsonValue LanguageObject(const std::optional<SentLanguage>& language) {
    if (!language) {
        return QJsonValue::Null;
    }
    return QJsonObject{{"index", static_cast<qint64>(language->index)},
                       {"code", Text(language->code)}};
}

std::string Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

std::string ReportLine(const SlotReport& report) {
    const auto seconds = std::chrono::duration<double>(report.ended - report.started).count();
    QJsonObject object{
        {"slot", report.slot},
        {"device", Text(report.device)},
        {"started", Text(IsoUtc(report.started))},
        {"ended", Text(IsoUtc(report.ended))},
        {"result", report.bDone ? "done" : "failed"},
        {"status", static_cast<qint64>(report.status)},
        {"status_text", Text(report.statusText)},
        {"bytes", static_cast<qint64>(report.bytes)},
        {"seconds", std::round(seconds * 1000.0) / 1000.0},
    };
    if (report.bootLoaderVersion) {
        object["boot_loader_version"] = Text(*report.bootLoaderVersion);
    }
    if (report.protocolVersion) {
        object["protocol_version"] = static_cast<qint64>(*report.protocolVersion);
    }
    QJsonArray images;
    for (const ReportedImage& image : report.images) {
        images.append(ImageObject(image));
    }
    object["images"] = images;
    object["csc"] = CscObject(report.csc);
    object["language"] = LanguageObject(report.language);
    return Compact(object) + "\n";
}

std::string SummaryText(const BatchSummary& summary) {
    const QJsonObject object{
        {"started", Text(IsoUtc(summary.started))},
        {"ended", Text(IsoUtc(summary.ended))},
        {"detected", summary.detected},
        {"done", summary.succeeded},
        {"failed", summary.failed},
        {"end", Text(summary.end)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

bool IsRunningSummary(std::string_view text) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    return document.isObject() && document.object()["end"].toString() == kRunningEnd;
}

std::vector<std::string> ReportLinesOf(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(
            QByteArray(line.data(), static_cast<qsizetype>(line.size())), &error);
        if (error.error == QJsonParseError::NoError && document.isObject()) {
            lines.emplace_back(line);
        }
    }
    return lines;
}

std::vector<std::string> ReadReportLines(const std::string& path) {
    const std::optional<std::string> text = ReadRecordFile(path, kMostRecordBytes);
    return text ? ReportLinesOf(*text) : std::vector<std::string>{};
}

BatchSummary SummaryOfReport(std::string_view text) {
    BatchSummary summary;
    for (const std::string& line : ReportLinesOf(text)) {
        const QJsonObject object =
            QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const QString result = object.value("result").toString();
        summary.succeeded += result == "done" ? 1 : 0;
        summary.failed += result == "failed" ? 1 : 0;
        ++summary.detected;
    }
    return summary;
}

}  // namespace vantorel::records
