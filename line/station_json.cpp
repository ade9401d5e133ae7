#include "line/station_json.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vantorel::line {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QByteArray Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray Frame(uint64_t id, const char* name, const QByteArray& data) {
    return "id: " + QByteArray::number(static_cast<qulonglong>(id)) + "\nevent: " + name +
           "\ndata: " + data + "\n\n";
}

}  // namespace

QJsonObject SlotJson(const SlotView& slot) {
    return {
        {"slot", slot.slot + 1},
        {"caption", Text(slot.caption)},
        {"background", Text(slot.background)},
        {"bar_text", Text(slot.barText)},
        {"progress", slot.progress},
        {"line", Text(slot.lineUnderBar)},
        {"device", Text(slot.device)},
        {"port", Text(slot.port)},
        {"state", Text(slot.state)},
    };
}

QJsonObject CountsJson(const Counts& counts) {
    return {{"detected", counts.detected}, {"done", counts.succeeded}, {"failed", counts.failed}};
}

QJsonObject SnapshotJson(const StationSnapshot& snapshot) {
    QJsonArray slotArray;
    for (const SlotView& slot : snapshot.slotViews) {
        slotArray.append(SlotJson(slot));
    }
    return {{"sequence", static_cast<qint64>(snapshot.lastSequence)},
            {"counts", CountsJson(snapshot.counts)},
            {"slots", slotArray}};
}

QByteArray EventFrame(const StationEvent& event) {
    switch (event.kind) {
        case StationEvent::Kind::SlotChanged: {
            QJsonObject data = SlotJson(event.slot);
            data["counts"] = CountsJson(event.counts);
            return Frame(event.sequence, "slot", Compact(data));
        }
        case StationEvent::Kind::CountsChanged:
            return Frame(event.sequence, "counts", Compact(CountsJson(event.counts)));
        case StationEvent::Kind::HandsetEnded:
            return Frame(event.sequence, "handset", QByteArray::fromStdString(event.json));
        case StationEvent::Kind::BatchEnded:
            return Frame(event.sequence, "batch", QByteArray::fromStdString(event.json));
    }
    return {};
}

QByteArray SnapshotFrame(const StationSnapshot& snapshot) {
    return Frame(snapshot.lastSequence, "snapshot", Compact(SnapshotJson(snapshot)));
}

const char* StatusTitle(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 413:
            return "Payload Too Large";
        case 414:
            return "URI Too Long";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        case 505:
            return "HTTP Version Not Supported";
        default:
            return "Error";
    }
}

QByteArray ErrorBody(int status, const std::string& code, const std::string& detail) {
    const QJsonObject error{{"status", status},
                            {"title", StatusTitle(status)},
                            {"code", Text(code)},
                            {"detail", Text(detail)}};
    return Compact(QJsonObject{{"error", error}});
}

}  // namespace vantorel::line
