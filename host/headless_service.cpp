#include "host/headless_service.h"

#include <sys/signalfd.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "base/unique_fd.h"
#include "console/station_script.h"
#include "console/vantorel_dlg.h"
#include "line/mqtt/mqtt_line.h"
#include "line/station_line.h"

namespace vantorel::host {

namespace {

constexpr int kTickMs = 250;

void Say(const std::string& line) {
    std::printf("vantorel: %s\n", line.c_str());
    std::fflush(stdout);
}

// The main log as it grows, on standard output (journald's, under systemd).
class MainLogEcho {
public:
    explicit MainLogEcho(const console::CVantorelDlg& dlg) : m_dlg(dlg) {}
    void Flush() {
        const std::string text = m_dlg.m_logs.Text(console::ShownLog::Main);
        if (text.size() < m_shown) {
            m_shown = 0;  // a reset cleared it
        }
        if (text.size() > m_shown) {
            std::string added = text.substr(m_shown);
            std::erase(added, '\r');
            std::fputs(added.c_str(), stdout);
            std::fflush(stdout);
            m_shown = text.size();
        }
    }

private:
    const console::CVantorelDlg& m_dlg;
    size_t m_shown = 0;
};

}  // namespace

UniqueFd WatchStopSignals() {
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGTERM);
    sigaddset(&stopSet, SIGINT);
    // Blocked in every thread made after this one, so only the descriptor sees them.
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
    return UniqueFd(signalfd(-1, &stopSet, SFD_CLOEXEC | SFD_NONBLOCK));
}

int RunHeadlessStation(const StationArguments& args, const console::ConsoleEnvironment& env,
                       const UniqueFd& stopFd) {
    if (!stopFd) {
        Say("cannot watch for SIGTERM and SIGINT");
        return 1;
    }
    line::StationLine stationLine;  // outlives the dialog
    // Publishing to the line's broker: it hears the last report lines as the dialog goes.
    std::unique_ptr<line::MqttLine> mqtt;
    console::CVantorelDlg dlg(env);
    dlg.OnInitDialog();
    dlg.SetStationObserver(&stationLine.State());
    const auto sayInMainLog = [&dlg](const std::string& text) { dlg.AppendMainLogText(text); };
    mqtt = line::StartMqttLine(stationLine.State(), {args.line.mqttUrl, args.line.stationId},
                               env.settingsFile, env.recordsRoot, sayInMainLog);
    const line::SayWhileWindowLives mqttSays(mqtt.get(), sayInMainLog, "vantorel");
    MainLogEcho echo(dlg);

    const command_line::StationChoices& chosen = args.choices;
    if (chosen.http) {
        std::string error;
        if (!stationLine.Serve(*chosen.http, env.recordsRoot, error)) {
            Say(error);
            return command_line::kExitBadCommandLine;
        }
        Say("live page and API: " + stationLine.Url());
    }
    console::StationScript script(dlg, env.prompts);
    std::string error;
    // Each handset starts as it is plugged in, unless the options say otherwise.
    if (!script.SetOption("Start downloading immediately", true, error)) {
        Say(error);
        return 1;
    }
    for (const auto& [kind, path] : chosen.imageFiles) {
        if (!script.ChooseImage(kind, path, error)) {
            Say("cannot choose " + error);
            return command_line::kExitBadCommandLine;
        }
    }
    for (const command_line::OptionChoice& option : chosen.options) {
        if (!script.SetOption(option.caption, option.bChecked, error)) {
            Say(error);
            return command_line::kExitBadCommandLine;
        }
    }
    if (chosen.bSlotsFollowPorts) {
        if (chosen.portMap) {
            dlg.SetPortMap(*chosen.portMap);
        }
        dlg.SetSlotsFollowPorts(true);
    }
    const auto arm = [&] {
        std::string why;
        if (!script.PressDetect(why)) {
            Say("cannot arm detection: " + why);
            return false;
        }
        return true;
    };
    if (!arm()) {
        return 1;
    }
    Say("detecting: plug in handsets in download mode");

    bool bStopping = false;
    std::chrono::steady_clock::time_point stopBy;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        echo.Flush();
        if (bStopping) {
            if (script.BusyCount() == 0 || std::chrono::steady_clock::now() >= stopBy) {
                QApplication::quit();
            }
            return;
        }
        // A batch that ended makes way for the next: the slots are reset and armed again.
        if (script.AllAttachedEnded() && script.BusyCount() == 0) {
            Say("batch ended: " + std::to_string(dlg.m_nSuccessCount) + " done, " +
                std::to_string(dlg.m_nFailCount) + " failed");
            dlg.Controls().As<QAbstractButton>(console::ctl::kResetAll)->click();
            if (!arm()) {
                QApplication::exit(1);
            }
        }
    });
    tick.start(kTickMs);

    QSocketNotifier stopNotifier(stopFd.Get(), QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        signalfd_siginfo info{};
        while (::read(stopFd.Get(), &info, sizeof info) == sizeof info) {
        }
        if (bStopping) {
            return;
        }
        bStopping = true;
        stopBy = std::chrono::steady_clock::now() + args.stopBound;
        dlg.m_bDetecting = 0;  // no new handset is taken
        Say("stopping: " + std::to_string(script.BusyCount()) + " handset(s) may take " +
            std::to_string(args.stopBound.count()) + " s to finish");
    });

    const int code = QApplication::exec();
    if (script.BusyCount() != 0) {
        Say("ending " + std::to_string(script.BusyCount()) + " running handset(s)");
    }
    dlg.StopWorkers();
    QCoreApplication::processEvents();  // their last notifications
    echo.Flush();
    Say("stopped");
    return code;
}

}  // namespace vantorel::host
