// Slots that follow ports: on a fixture with fixed sockets, the handset in socket N is always
// slot N. The mode, teaching the port map, and choosing an arrival's slot by its port.
#include <QAbstractButton>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "console/color_static_st.h"
#include "console/operator_prompts.h"
#include "console/port_settings.h"
#include "console/vantorel_dlg.h"

namespace vantorel::console {

namespace {
constexpr const char* kPortMapFilter = "Port map (*.ports;*.txt)|*.ports;*.txt|";
}  // namespace

QGroupBox* CVantorelDlg::BuildPortsGroup() {
    auto* group = new QGroupBox(QStringLiteral("Ports"), this);
    auto* grid = new QGridLayout(group);
    auto* follow = new QCheckBox(QStringLiteral("Slots follow ports"), group);
    follow->setToolTip(QStringLiteral(
        "Each handset takes the slot bound to the USB port it is plugged into, whatever the "
        "order it arrives in. A handset on a port bound to no slot is left unattached."));
    m_controls.Add(ctl::kSlotsFollowPorts, follow);
    grid->addWidget(follow, 0, 0, 1, 3);
    const std::array<std::pair<int, const char*>, 3> buttons{{
        {ctl::kLearnPorts, "Learn ports"},
        {ctl::kClearPorts, "Clear ports"},
        {ctl::kLoadPorts, "Load ports..."},
    }};
    int column = 0;
    for (const auto& [id, caption] : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(caption), group);
        button->setAutoDefault(false);
        m_controls.Add(id, button);
        grid->addWidget(button, 1, column++);
    }
    auto* mapText = new QLabel(group);
    mapText->setWordWrap(true);
    mapText->setTextFormat(Qt::RichText);
    mapText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for the whole map (four rows) and the lines above it from the start, so listing a
    // map never moves the Detect row below.
    mapText->setMinimumHeight(6 * mapText->fontMetrics().lineSpacing());
    m_controls.Add(ctl::kPortMapText, mapText);
    grid->addWidget(mapText, 2, 0, 1, 3);
    return group;
}

void CVantorelDlg::RestoreKeptPorts() {
    std::vector<std::string> notes;
    const PortSettings kept = LoadPortSettings(m_env.settingsFile, notes);
    m_options.m_bSlotsFollowPorts = kept.bSlotsFollowPorts ? 1 : 0;
    m_portMap = kept.map;
    for (const std::string& note : notes) {
        AppendMainLog("[Setup] %s\r\n", note.c_str());
    }
    std::string why;
    if (!m_env.settingsFile.empty() && IsSettingsFileUsable(m_env.settingsFile, why)) {
        AppendMainLog("[Setup] Ports are kept in %s\r\n", m_env.settingsFile.c_str());
    }
    UpdateData(false);
    ShowPortMap();
}

void CVantorelDlg::KeepPorts() const {
    SavePortSettings(m_env.settingsFile, {m_options.m_bSlotsFollowPorts != 0, m_portMap});
}

void CVantorelDlg::OnBnClickedSlotsFollowPorts() {
    SetSlotsFollowPorts(m_controls.As<QAbstractButton>(ctl::kSlotsFollowPorts)->isChecked());
}

void CVantorelDlg::SetSlotsFollowPorts(bool bFollow) {
    m_options.m_bSlotsFollowPorts = bFollow ? 1 : 0;
    m_controls.As<QAbstractButton>(ctl::kSlotsFollowPorts)->setChecked(bFollow);
    KeepPorts();
    ShowPortMap();
}

// A map is learned or loaded to be used: the operator is asked whether slots should follow
// it now, rather than finding out at the next batch that they do not.
void CVantorelDlg::OfferSlotsFollowPorts() {
    if (m_options.m_bSlotsFollowPorts != 0 || m_portMap.IsEmpty()) {
        return;
    }
    if (m_env.prompts.ConfirmOkCancel(
            this,
            QStringLiteral("%1 port(s) bound. Turn on \"Slots follow ports\", so each handset "
                           "takes the slot of the port it is plugged into?")
                .arg(m_portMap.BoundCount()),
            QStringLiteral("Ports"))) {
        SetSlotsFollowPorts(true);
        AppendMainLog("[Setup] Slots follow ports turned on.\r\n");
    }
}

void CVantorelDlg::SetPortMap(const engine::SlotPortMap& map) {
    StopPortLearning();
    m_portMap = map;
    KeepPorts();
    ShowPortMap();
}

void CVantorelDlg::OnBnClickedLearnPorts() {
    if (m_portLearning.IsActive()) {
        StopPortLearning();
        return;
    }
    m_portLearning.Start(m_portMap);
    KeepPorts();
    AppendMainLog(
        "[Setup] Learning ports: plug a handset into the socket of PDA 1, then of PDA 2, and "
        "so on.\r\n");
    ShowPortMap();
}

void CVantorelDlg::StopPortLearning() {
    if (!m_portLearning.IsActive()) {
        return;
    }
    m_portLearning.Stop();
    AppendMainLog("[Setup] Port learning stopped: %d port(s) bound.\r\n", m_portMap.BoundCount());
    ShowPortMap();
    OfferSlotsFollowPorts();
}

void CVantorelDlg::LearnPortOf(const std::string& arrivalName) {
    const engine::PortLearning::Outcome learned = m_portLearning.Learn(m_portMap, arrivalName);
    switch (learned.step) {
        case engine::PortLearning::Step::Bound:
            KeepPorts();
            AppendMainLog("[Setup] Port %s bound to PDA %d.\r\n", learned.port.c_str(),
                          learned.slot + 1);
            if (!m_portLearning.IsActive()) {
                AppendMainLog("[Setup] Port learning done: %d port(s) bound.\r\n",
                              m_portMap.BoundCount());
                ShowPortMap();
                OfferSlotsFollowPorts();
            }
            break;
        case engine::PortLearning::Step::AlreadyBound:
            AppendMainLog("[Setup] Port %s is bound to PDA %d already.\r\n", learned.port.c_str(),
                          learned.slot + 1);
            break;
        case engine::PortLearning::Step::NoPort:
            AppendMainLog("[Setup] %s is on no USB port: nothing learned.\r\n",
                          arrivalName.c_str());
            break;
    }
    ShowPortMap();
}

void CVantorelDlg::OnBnClickedClearPorts() {
    if (!m_portMap.IsEmpty() &&
        !m_env.prompts.ConfirmOkCancel(
            this,
            QStringLiteral("Clear the port map? %1 port(s) are bound; they must be learned or "
                           "loaded again.")
                .arg(m_portMap.BoundCount()),
            QStringLiteral("Ports"))) {
        return;
    }
    SetPortMap({});
    AppendMainLog("[Setup] Port map cleared.\r\n");
}

bool CVantorelDlg::LoadPortMapFile(const std::string& path, std::string& error) {
    engine::SlotPortMap map;
    std::string why;
    if (!engine::ReadPortMapFile(path, map, why)) {
        error = path + ": " + why;
        return false;
    }
    SetPortMap(map);
    return true;
}

void CVantorelDlg::OnBnClickedLoadPorts() {
    const auto chosen = m_env.prompts.ChooseOpenFile(this, QString::fromLatin1(kPortMapFilter));
    if (!chosen) {
        return;
    }
    std::string error;
    if (!LoadPortMapFile(chosen->toStdString(), error)) {
        m_env.prompts.ShowMessage(this, QString::fromStdString("Port map not loaded: " + error),
                                  QString(), OperatorPrompts::Icon::Warning);
        return;
    }
    AppendMainLog("[Setup] Port map loaded from %s: %d port(s) bound.\r\n",
                  chosen->toStdString().c_str(), m_portMap.BoundCount());
    OfferSlotsFollowPorts();
}

int CVantorelDlg::SlotForArrival(const std::string& arrivalName) {
    if (m_options.m_bSlotsFollowPorts == 0) {
        return m_stackFreeSlots.Top();  // -1 when empty
    }
    std::array<bool, kSlotCount> slotFree{};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        slotFree[slot] = m_stackFreeSlots.Contains(slot);
    }
    const engine::PortSlotChoice choice =
        engine::ChooseSlotByPort(m_portMap, arrivalName, slotFree);
    switch (choice.refusal) {
        case engine::PortRefusal::None:
            return choice.slot;
        case engine::PortRefusal::NoPort:
            AppendMainLog("[Setup] %s is on no USB port: handset left unattached.\r\n",
                          arrivalName.c_str());
            break;
        case engine::PortRefusal::Unbound:
            AppendMainLog("[Setup] Port %s is bound to no slot: handset left unattached.\r\n",
                          choice.port.c_str());
            break;
        case engine::PortRefusal::SlotBusy:
            AppendMainLog(
                "[Setup] Port %s is bound to PDA %d, which holds a handset: handset left "
                "unattached.\r\n",
                choice.port.c_str(), choice.slot + 1);
            break;
    }
    return -1;
}

void CVantorelDlg::ShowPortMap() {
    // Two slots a row, PDA 1 beside PDA 2, in columns that line up.
    QString rows;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const QString port = QString::fromStdString(m_portMap.PortOf(slot));
        m_lblSlot[slot]->setToolTip(port.isEmpty() ? QStringLiteral("Bound to no USB port")
                                                   : QStringLiteral("USB port %1").arg(port));
        rows += QStringLiteral("%1<td>PDA %2: %3</td>%4")
                    .arg(slot % 2 == 0 ? QStringLiteral("<tr>") : QString())
                    .arg(slot + 1)
                    .arg(port.isEmpty() ? QStringLiteral("-") : port.toHtmlEscaped())
                    .arg(slot % 2 == 0 ? QString() : QStringLiteral("</tr>"));
    }
    QString text = m_portMap.IsEmpty() ? QStringLiteral("No port bound.")
                                       : QStringLiteral(
                                             "<table cellspacing=\"0\" cellpadding=\"0\" "
                                             "width=\"100%\">%1</table>")
                                             .arg(rows);
    if (m_options.m_bSlotsFollowPorts == 0) {
        text = QStringLiteral("Off: slots are taken in arrival order.<br>") + text;
    }
    if (m_portLearning.IsActive()) {
        text = QStringLiteral("Plug a handset into the socket of PDA %1.<br>")
                   .arg(m_portLearning.NextSlot() + 1) +
               text;
    }
    m_controls.SetText(ctl::kPortMapText, text);
    m_controls.SetText(ctl::kLearnPorts, m_portLearning.IsActive() ? QStringLiteral("Stop learning")
                                                                   : QStringLiteral("Learn ports"));
}

}  // namespace vantorel::console
