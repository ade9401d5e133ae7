// The station on this machine's real devices.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/process_memory.h"
#include "command_line/command_option.h"
#include "console/console_environment.h"
#include "console/operator_prompts.h"
#include "console/port_settings.h"
#include "console/program_start.h"
#include "console/vantorel_dlg.h"
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

constexpr int kExitNoDisplay = 2;

}  // namespace

int main(int argc, char** argv) {
    using namespace vantorel;
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
    if (const auto reason =
            console::DisplayProblem(args.Apply(console::CurrentDisplayEnvironment()))) {
        std::fprintf(stderr, "vantorel: %s; the station needs a display for its window\n",
                     reason->c_str());
        return kExitNoDisplay;
    }

    link::linux_platform::LinuxLinkPlatform platform;
    host::LinuxProcessTable processes;
    const bool bKeepServices =
        host::KeepServicesRequested(std::getenv(host::kKeepServicesVariable));
    if (bKeepServices) {
        link::WriteDiagnostic("%s is set: ModemManager and the MTP volume monitor stay running\n",
                              host::kKeepServicesVariable);
    }
    host::CSyncProcessControl sync(processes, bKeepServices);
    console::QtOperatorPrompts prompts({}, console::DefaultSettingsFile());
    link::linux_platform::UdevHotplugMonitor hotplug;
    const console::ConsoleEnvironment environment{
        platform.Directory(),
        platform.Serial(),
        platform.Bulk(),
        platform.OffersBulkLinks(),
        Clock{},
        sync,
        prompts,
        &hotplug,
        records::DefaultRecordsRoot(),
        console::DefaultSettingsFile(),
    };

    host::CVantorelApp app(argc, argv, environment);
    line::StationLine stationLine;  // outlives the dialog, which InitInstance ends
    if (args.http) {
        if (!stationLine.Serve(*args.http, environment.recordsRoot, error)) {
            std::fprintf(stderr, "vantorel: %s\n", error.c_str());
            return command_line::kExitBadCommandLine;
        }
        command_line::ListenAddress served = *args.http;
        served.port = stationLine.Port();
        std::printf("Live page and API: http://%s/\n", served.Text().c_str());
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
