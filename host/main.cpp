// The station on this machine's real devices.
#include <cstdlib>

#include "base/clock.h"
#include "console/console_environment.h"
#include "console/operator_prompts.h"
#include "host/linux_process_table.h"
#include "host/sync_process_control.h"
#include "host/vantorel_app.h"
#include "link/message_sink.h"
#include "link/platform/linux/linux_link_platform.h"
#include "link/platform/linux/udev_hotplug_monitor.h"
#include "records/records_location.h"

int main(int argc, char** argv) {
    using namespace vantorel;

    link::linux_platform::LinuxLinkPlatform platform;
    host::LinuxProcessTable processes;
    const bool bKeepServices =
        host::KeepServicesRequested(std::getenv(host::kKeepServicesVariable));
    if (bKeepServices) {
        link::WriteDiagnostic("%s is set: ModemManager and the MTP volume monitor stay running\n",
                              host::kKeepServicesVariable);
    }
    host::CSyncProcessControl sync(processes, bKeepServices);
    console::QtOperatorPrompts prompts;
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
    };

    host::CVantorelApp app(argc, argv, environment);
    app.InitInstance();
    return app.ExitInstance();
}
