// The station on this machine's real devices.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/process_memory.h"
#include "command_line/command_option.h"
#include "console/console_environment.h"
#include "console/console_prompts.h"
#include "console/http_setting.h"
#include "console/operator_prompts.h"
#include "console/port_settings.h"
#include "console/program_start.h"
#include "console/vantorel_dlg.h"
#include "host/headless_service.h"
#include "host/linux_process_table.h"
#include "host/station_arguments.h"
#include "host/sync_process_control.h"
#include "host/vantorel_app.h"
#include "line/mqtt/mqtt_line.h"
#include "line/station_line.h"
#include "link/message_sink.h"
#include "link/platform/linux/linux_link_platform.h"
#include "link/platform/linux/udev_hotplug_monitor.h"
#include "records/records_location.h"

namespace {

using namespace vantorel;

constexpr int kExitNoDisplay = 2;

bool KeepServices() {
    const bool bKeep = host::KeepServicesRequested(std::getenv(host::kKeepServicesVariable));
    if (bKeep) {
        link::WriteDiagnostic("%s is set: ModemManager and the MTP volume monitor stay running\n",
                              host::kKeepServicesVariable);
    }
    return bKeep;
}

// This machine's handsets, and the host's programs that compete for them.
struct RealPlatform {
    link::linux_platform::LinuxLinkPlatform platform;
    host::LinuxProcessTable processes;
    host::CSyncProcessControl sync{processes, KeepServices()};
    link::linux_platform::UdevHotplugMonitor hotplug;

    console::ConsoleEnvironment Environment(console::OperatorPrompts& prompts,
                                            std::filesystem::path recordsRoot,
                                            std::filesystem::path settingsFile) {
        return {platform.Directory(),
                platform.Serial(),
                platform.Bulk(),
                platform.OffersBulkLinks(),
                Clock{},
                sync,
                prompts,
                &hotplug,
                std::move(recordsRoot),
                std::move(settingsFile)};
    }
};

// The station as a service: no window and no display, the same dialog offscreen.
int RunHeadless(int argc, char** argv, const host::StationArguments& args) {
    const UniqueFd stopFd = host::WatchStopSignals();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    RealPlatform real;
    console::ConsolePrompts prompts(stdout);
    const command_line::StationChoices& chosen = args.choices;
    const std::filesystem::path recordsRoot = chosen.bNoRecords ? std::filesystem::path()
                                              : chosen.recordsDirectory.empty()
                                                  ? records::DefaultRecordsRoot()
                                                  : std::filesystem::path(chosen.recordsDirectory);
    // The operator's window settings are not the service's.
    const console::ConsoleEnvironment environment = real.Environment(prompts, recordsRoot, {});
    QApplication app(argc, argv);
    return host::RunHeadlessStation(args, environment, stopFd);
}

}  // namespace

int main(int argc, char** argv) {
    LimitAllocatorArenas();

    // Read before Qt starts, so that --help and --version work without a display and a
    // mistake is said at once rather than ignored by a window that starts anyway. Qt's own
    // options stay in argv for QApplication.
    host::StationArguments args;
    std::string error;
    if (!host::ParseStationArguments(std::vector<std::string>(argv + 1, argv + argc), args,
                                     error)) {
        return command_line::RefuseCommandLine("vantorel", error);
    }
    if (args.bHelp) {
        std::fputs(host::StationUsage().c_str(), stdout);
        return 0;
    }
    if (args.bVersion) {
        std::printf("vantorel %s\n", console::ProgramVersion());
        return 0;
    }
    if (args.bHeadless) {
        return RunHeadless(argc, argv, args);
    }
    if (const auto reason =
            console::DisplayProblem(args.Apply(console::CurrentDisplayEnvironment()))) {
        std::fprintf(stderr, "vantorel: %s; the station needs a display for its window\n",
                     reason->c_str());
        return kExitNoDisplay;
    }

    RealPlatform real;
    console::QtOperatorPrompts prompts({}, console::DefaultSettingsFile());
    const console::ConsoleEnvironment environment =
        real.Environment(prompts, records::DefaultRecordsRoot(), console::DefaultSettingsFile());

    host::CVantorelApp app(argc, argv, environment);
    line::StationLine stationLine;  // outlives the dialog, which InitInstance ends
    std::optional<command_line::ListenAddress> http = args.choices.http;
    if (!http) {
        // The operator's setting, when the command line names no address.
        const std::string setting = console::LoadHttpSetting(console::DefaultSettingsFile());
        if (!setting.empty() && !(http = command_line::ParseListenAddress(setting, error))) {
            std::fprintf(stderr, "vantorel: line/http = %s in the settings is not used: %s\n",
                         setting.c_str(), error.c_str());
        }
    }
    if (http) {
        if (!stationLine.Serve(*http, environment.recordsRoot, error)) {
            std::fprintf(stderr, "vantorel: %s\n", error.c_str());
            return command_line::kExitBadCommandLine;
        }
        std::printf("Live page and API: %s\n", stationLine.Url().c_str());
    }
    app.SetStationObserver(&stationLine.State());
    // Publishing starts with the window, whose main log says how it goes, and outlives it.
    std::unique_ptr<line::MqttLine> mqtt;
    app.SetMainWindowHook([&](console::CVantorelDlg* dialog) {
        if (dialog == nullptr) {
            if (mqtt) {
                mqtt->SayTo(line::SayOnStandardError("vantorel"));
            }
            return;
        }
        mqtt = line::StartMqttLine(
            stationLine.State(), {args.line.mqttUrl, args.line.stationId}, environment.settingsFile,
            environment.recordsRoot,
            [dialog](const std::string& text) { dialog->AppendMainLogText(text); });
    });
    app.InitInstance();
    return app.ExitInstance();
}
