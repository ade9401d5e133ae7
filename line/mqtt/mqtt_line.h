#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "line/mqtt/mqtt_publisher.h"
#include "line/mqtt/mqtt_station_options.h"
#include "line/station_state.h"

namespace vantorel::line {

// The station on the line's broker: a publisher fed from the station-state model. The model's
// events are taken on the thread that made this object (the dialog's), a copy each, and only
// queued for the publisher, whose own thread does the rest. Lives longer than the dialog that
// feeds the model: the records hand over their last lines while the dialog closes, and they
// go out (or into the outbox) when this object goes.
class MqttLine : public QObject {
public:
    // Publishing as `options` say; lines for the main log go to `say` until SayTo changes it.
    MqttLine(StationState& state, PublisherSettings settings,
             std::function<void(const std::string&)> say);
    // Takes the model's last events, then ends the publisher (which sends "offline").
    ~MqttLine() override;

    // Where the publisher's lines go from now on: before the dialog goes, the program points
    // them elsewhere (standard error).
    void SayTo(std::function<void(const std::string&)> say);

private:
    void Take();
    void Say(const std::string& text);

    StationState& m_state;
    std::mutex m_sayMutex;
    std::function<void(const std::string&)> m_say;
    std::unique_ptr<MqttPublisher> m_publisher;
    std::unique_ptr<StationSubscription> m_subscription;
};

// The station's publishing as its command line asks: none without a URL; with a URL or station
// id that cannot be used, none and one line to `say` saying why.
std::unique_ptr<MqttLine> StartMqttLine(StationState& state, const MqttOptions& options,
                                        const std::filesystem::path& settingsFile,
                                        const std::filesystem::path& recordsRoot,
                                        const std::function<void(const std::string&)>& say);

// While it lives, `line`'s lines go to `say` (a window's main log); when it goes, to standard
// error as "PROGRAM: ...". Declared after the window, so that it goes first.
class SayWhileWindowLives {
public:
    SayWhileWindowLives(MqttLine* line, std::function<void(const std::string&)> say,
                        std::string program);
    ~SayWhileWindowLives();
    SayWhileWindowLives(const SayWhileWindowLives&) = delete;
    SayWhileWindowLives& operator=(const SayWhileWindowLives&) = delete;

private:
    MqttLine* m_line;
    std::string m_program;
};

// Puts a main log line ("...\r\n") on standard error, as "PROGRAM: ...".
std::function<void(const std::string&)> SayOnStandardError(std::string program);

}  // namespace vantorel::line
