#include "console/vantorel_dlg.h"

#include <QIcon>
#include <QMetaObject>
#include <QScreen>
#include <cstdlib>

#include "console/about_dlg.h"
#include "console/string_resource.h"
#include "console/window_fit.h"
#include "link/winusb_interface.h"
#include "resources/string_table.h"

namespace vantorel::console {

CVantorelDlg::CVantorelDlg(const ConsoleEnvironment& environment, QWidget* parent)
    : QDialog(parent),
      m_env(environment),
      m_clock(environment.clock),
      m_messageSink(*this, environment.prompts),
      m_linkPlatform{environment.directory, environment.serial, environment.bulk, m_messageSink,
                     m_clock} {
    if (!environment.recordsRoot.empty()) {
        records::RecordsSettings settings;
        settings.root = environment.recordsRoot;
        m_records = std::make_unique<records::BatchRecords>(
            std::move(settings), [this](const std::string& text) { AppendMainLogText(text); });
    }
    BuildLayout();
    BindMembers();
    ConnectHandlers();
    SetUpKeyboard();
    UpdateData(false);
}

CVantorelDlg::~CVantorelDlg() {
    OnDestroy();
    m_records.reset();  // its digest threads end while the logs they may speak to still exist
}

int CVantorelDlg::DoModal() {
    OnInitDialog();
    // A laptop screen is smaller than the window likes to be; it opens whole on it.
    if (const QScreen* shownOn = screen()) {
        resize(FittedSize(size(), minimumSizeHint(), shownOn->availableGeometry(), kTypicalFrame));
    }
    return exec();
}

void CVantorelDlg::OnInitDialog() {
    if (m_bInitialised) {
        return;
    }
    m_bInitialised = true;

    CreateLinks();
    m_dwToolVersion = static_cast<uint32_t>(std::strtoul(
        std::string(resources::LoadString(resources::IDS_TOOL_VERSION)).c_str(), nullptr, 10));
    setWindowTitle(StringResource(resources::IDS_APP_TITLE));
    setWindowIcon(StationIcon());

    if (!RegisterDeviceNotifications()) {
        // The hook has told the operator why; the dialog closes once its loop runs, and
        // closes without asking as no handset can have been detected yet.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }

    ResetAllSlots();
    RestoreKeptPorts();
    for (const int id :
         {ctl::kSmdButton, ctl::kSmdPath, ctl::kRamSectorMb, ctl::kRamSectorMbCaption}) {
        m_controls.Show(id, false);
    }
    StopSyncProcesses();
}

// The bulk link whenever the platform offers the bulk pipes, so a station with a working
// USB library never falls back to the serial-style link; without it the serial-style link.
void CVantorelDlg::CreateLinks() {
    m_bWinUsbMode = m_env.bBulkLinkOffered ? 1 : 0;
    for (auto& link : m_pUsb) {
        if (m_bWinUsbMode != 0) {
            link = std::make_unique<link::CWinUsbInterface>(m_linkPlatform);
        } else {
            link = std::make_unique<link::CUsbInterface>(m_linkPlatform);
        }
    }
}

void CVantorelDlg::BindMembers() {
    for (const OptionCheckBox& box : OptionCheckBoxes()) {
        m_dataExchange.BindCheck(box.id, &(m_options.*box.member));
    }
    m_dataExchange.BindText(ctl::kRamSectorMb, &m_options.m_strRamSectorMb);
    m_dataExchange.BindCheck(ctl::kSlotsFollowPorts, &m_options.m_bSlotsFollowPorts);
}

// The log views are not exchanged: they are kept in step with the logs line by line. The
// image controls only show the selection, so they are written and never read back.
void CVantorelDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_dataExchange.FromControls(m_controls);
    } else {
        m_dataExchange.ToControls(m_controls);
        ShowImageSelection();
    }
}

void CVantorelDlg::OnAboutBox() {
    CAboutDlg about(this);
    about.exec();
}

}  // namespace vantorel::console
