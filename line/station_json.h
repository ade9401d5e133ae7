#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <string>

#include "line/station_state.h"

namespace vantorel::line {

// The names the API and the live page give the station's state.
QJsonObject SlotJson(const SlotView& slot);
QJsonObject CountsJson(const Counts& counts);
// {"sequence": N, "counts": {...}, "slots": [8 slots]}
QJsonObject SnapshotJson(const StationSnapshot& snapshot);

// One Server-Sent Event: "id: N\nevent: NAME\ndata: JSON\n\n". Slot and counts events carry
// the counts; handset and batch events the report line or summary as the records wrote it.
QByteArray EventFrame(const StationEvent& event);
// The whole station as one "snapshot" event: where a new or lagging reader starts.
QByteArray SnapshotFrame(const StationSnapshot& snapshot);

// {"error": {"status", "title", "code", "detail"}}
QByteArray ErrorBody(int status, const std::string& code, const std::string& detail);
const char* StatusTitle(int status);

}  // namespace vantorel::line
