// The station on this machine's real devices.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/clock.h"
#include "base/process_memory.h"
#include "console/console_environment.h"
#include "console/operator_prompts.h"
#include "console/port_settings.h"
#include "console/program_start.h"
#include "host/linux_process_table.h"
#include "host/sync_process_control.h"
#include "host/vantorel_app.h"
#include "link/message_sink.h"
#include "link/platform/linux/linux_link_platform.h"
#include "link/platform/linux/udev_hotplug_monitor.h"
#include "records/records_location.h"

namespace {

constexpr const char* kUsage =
    "usage: vantorel [--help | --version]\n"
    "\n"
    "The Vantorel download station: pick the image files, press Detect, plug in up to eight\n"
    "handsets in USB download mode and press Start downloading. It opens a window and needs\n"
    "a display; vantorel-bench runs the same station on emulated handsets.\n"
    "\n"
    "  -h, --help     this text\n"
    "  --version      the station's version\n"
    "\n"
    "Environment: VANTOREL_KEEP_SERVICES=1 leaves ModemManager and the MTP volume monitor\n"
    "running. Without a display the station says so and exits with status 2.\n";

constexpr int kExitNoDisplay = 2;
constexpr int kExitBadArguments = 2;

}  // namespace

int main(int argc, char** argv) {
    using namespace vantorel;
    LimitAllocatorArenas();

    // Answered before Qt starts, so they work without a display. Other arguments are Qt's.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vantorel %s\n", console::ProgramVersion());
            return 0;
        }
    }
    // Qt takes its own options with one dash (-platform, -style ...); anything else is a
    // mistake, said at once rather than ignored by a window that starts anyway.
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-' || std::strncmp(argv[i], "--", 2) == 0) {
            std::fprintf(stderr, "vantorel: unknown option %s (see vantorel --help)\n", argv[i]);
            return kExitBadArguments;
        }
    }
    if (const auto reason = console::DisplayProblem(console::CurrentDisplayEnvironment())) {
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
    app.InitInstance();
    return app.ExitInstance();
}
