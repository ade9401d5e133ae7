// "Start downloading".
#include "console/vantorel_dlg.h"

namespace vantorel::console {

// The worker start goes here: one worker per ready slot, started together.
void CVantorelDlg::OnStartDownloading() {}

}  // namespace vantorel::console
