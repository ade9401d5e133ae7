#include "records/slot_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <fstream>

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
    }
    return object;
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
    return Compact(object) + "\n";
}

std::string SummaryText(const BatchSummary& summary) {
    const QJsonObject object{
        {"started", Text(IsoUtc(summary.started))},
        {"ended", Text(IsoUtc(summary.ended))},
        {"detected", summary.detected},
        {"done", summary.succeeded},
        {"failed", summary.failed},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

std::vector<std::string> ReadReportLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        if (error.error == QJsonParseError::NoError && document.isObject()) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace vantorel::records
