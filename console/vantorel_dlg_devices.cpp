// Device arrival and removal.
#include "console/vantorel_dlg.h"

namespace vantorel::console {

// Hot-plug registration goes here: watch the download interface class for arrivals and
// removals on the dialog thread, and on failure tell the operator and return false. Until
// it is written no handset is noticed as it arrives; nothing is registered and nothing can
// fail.
bool CVantorelDlg::RegisterDeviceNotifications() {
    return true;
}

}  // namespace vantorel::console
