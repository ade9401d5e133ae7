// Construction of the main dialog's controls: images and options on the left, the slot
// table and the logs on the right. Every control is registered under its id.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "console/color_static_st.h"
#include "console/log_view.h"
#include "console/string_resource.h"
#include "console/text_progress_ctrl.h"
#include "console/vantorel_dlg.h"
#include "resources/string_table.h"

namespace vantorel::console {

namespace {

struct ImageRow {
    int buttonId;
    const char* caption;
    int pathId;
};

constexpr std::array<ImageRow, 7> kImageRows{{
    {ctl::kEbootButton, "EBoot", ctl::kEbootPath},
    {ctl::kPdaButton, "PDA", ctl::kPdaPath},
    {ctl::kCscButton, "CSC", ctl::kCscPath},
    {ctl::kLangButton, "LANG", ctl::kLangPath},
    {ctl::kPhoneButton, "Phone", ctl::kPhonePath},
    {ctl::kSmdButton, "SMD", ctl::kSmdPath},
    {ctl::kImgButton, "IMG", ctl::kImgPath},
}};

constexpr int kSlotLabelWidth = 120;
constexpr int kPaceRefreshMs = 500;
constexpr int kSlotBarMinWidth = 230;
constexpr int kPathMinWidth = 180;

}  // namespace

void CVantorelDlg::BuildLayout() {
    auto* menuBar = new QMenuBar(this);
    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    QAction* openRecords = file->addAction(QStringLiteral("Open records folder"));
    openRecords->setEnabled(m_records != nullptr);
    connect(openRecords, &QAction::triggered, this, [this] { OnOpenRecordsFolder(); });
    QAction* saveLog = file->addAction(QStringLiteral("Save main log as..."));
    saveLog->setShortcut(QKeySequence::SaveAs);
    connect(saveLog, &QAction::triggered, this, [this] { OnSaveMainLogAs(); });
    QMenu* help = menuBar->addMenu(QStringLiteral("&Help"));
    QAction* about = help->addAction(StringResource(resources::IDS_ABOUTBOX));
    about->setShortcut(QKeySequence::HelpContents);
    connect(about, &QAction::triggered, this, [this] { OnAboutBox(); });

    auto* left = new QVBoxLayout;
    left->addWidget(BuildImagesGroup());
    left->addWidget(BuildOptionsGroup());
    left->addWidget(BuildPortsGroup());
    left->addLayout(BuildOperatorButtons());
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(BuildSlotTable());
    right->addWidget(BuildLogArea(), 1);

    auto* columns = new QHBoxLayout(this);
    columns->setMenuBar(menuBar);
    columns->addLayout(left, 0);
    columns->addLayout(right, 1);

    setSizeGripEnabled(true);
    resize(1180, 760);
}

QGroupBox* CVantorelDlg::BuildImagesGroup() {
    auto* group = new QGroupBox(QStringLiteral("Images"), this);
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (const ImageRow& image : kImageRows) {
        auto* button = new QPushButton(QString::fromLatin1(image.caption), group);
        // A browse button withdraws a chosen image: Return pressed elsewhere must not reach it.
        button->setAutoDefault(false);
        auto* path = new QLineEdit(group);
        path->setReadOnly(true);
        path->setMinimumWidth(kPathMinWidth);  // the tooltip shows a longer path whole
        m_controls.Add(image.buttonId, button);
        m_controls.Add(image.pathId, path);
        grid->addWidget(button, row, 0);
        grid->addWidget(path, row, 1);
        ++row;
    }
    auto* ebootVersion = new QLabel(QStringLiteral("Eboot Ver :"), group);
    ebootVersion->hide();
    m_controls.Add(ctl::kEbootVersion, ebootVersion);
    grid->addWidget(ebootVersion, row++, 1);

    auto* cscCombo = new QComboBox(group);
    m_controls.Add(ctl::kCscCombo, cscCombo);
    grid->addWidget(new QLabel(QStringLiteral("CSC list"), group), row, 0);
    grid->addWidget(cscCombo, row++, 1);

    auto* languageCombo = new QComboBox(group);
    m_controls.Add(ctl::kLanguageCombo, languageCombo);
    grid->addWidget(new QLabel(QStringLiteral("Language"), group), row, 0);
    grid->addWidget(languageCombo, row++, 1);
    grid->setColumnStretch(1, 1);
    return group;
}

QGroupBox* CVantorelDlg::BuildOptionsGroup() {
    auto* group = new QGroupBox(QStringLiteral("Options"), this);
    auto* column = new QVBoxLayout(group);
    for (const OptionCheckBox& option : OptionCheckBoxes()) {
        auto* box = new QCheckBox(QString::fromLatin1(option.caption), group);
        box->setVisible(option.bShown);
        m_controls.Add(option.id, box);
        if (option.id != ctl::kControlSector) {
            column->addWidget(box);
        }
    }

    // "Control Sector" and the sector size in megabytes that it unlocks share a row.
    auto* sectorRow = new QHBoxLayout;
    auto* sectorMb = new QLineEdit(group);
    sectorMb->setMaximumWidth(60);
    sectorMb->hide();
    auto* sectorCaption = new QLabel(QStringLiteral("MB (5~100)"), group);
    sectorCaption->hide();
    m_controls.Add(ctl::kRamSectorMb, sectorMb);
    m_controls.Add(ctl::kRamSectorMbCaption, sectorCaption);
    sectorRow->addWidget(GetDlgItem(ctl::kControlSector));
    sectorRow->addWidget(sectorMb);
    sectorRow->addWidget(sectorCaption);
    sectorRow->addStretch(1);
    column->addLayout(sectorRow);
    return group;
}

QLayout* CVantorelDlg::BuildOperatorButtons() {
    auto* row = new QHBoxLayout;
    const std::array<std::pair<int, const char*>, 3> buttons{{
        {ctl::kDetect, "Detect"},
        {ctl::kStartDownloading, "Start downloading"},
        {ctl::kResetAll, "reset all"},
    }};
    for (const auto& [id, caption] : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setMinimumHeight(36);
        button->setAutoDefault(false);
        m_controls.Add(id, button);
        row->addWidget(button);
    }
    return row;
}

QGroupBox* CVantorelDlg::BuildSlotTable() {
    auto* group = new QGroupBox(QStringLiteral("Handsets"), this);
    auto* grid = new QGridLayout(group);
    QFont labelFont = font();
    labelFont.setBold(true);
    QFont paceFont = font();
    if (paceFont.pointSizeF() > 0) {
        paceFont.setPointSizeF(paceFont.pointSizeF() * 0.85);
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        auto* label = new CColorStaticST(group);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(labelFont);
        label->setFixedWidth(kSlotLabelWidth);
        label->setMinimumHeight(26);
        auto* bar = new CTextProgressCtrl(group);
        bar->setMinimumHeight(26);
        bar->setMinimumWidth(kSlotBarMinWidth);  // room for its longest status text
        // The pace reads as a small second line under the bar, so the table stays narrow.
        auto* pace = new QLabel(group);
        pace->setFont(paceFont);
        pace->setContentsMargins(4, 0, 0, 0);
        // A long line (a failure in plain words) is cut to the bar's width, never widening
        // the window past the screen; the bar's tooltip holds it whole.
        pace->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        pace->setToolTip(QStringLiteral(
            "While data moves: the rate and the time left for this image. In a wait (reboot, "
            "re-connection, wait after download): the time waited and the time left at most."));
        auto* reset = new QPushButton(QStringLiteral("Reset"), group);
        auto* seeLog = new QPushButton(QStringLiteral("See Log"), group);
        reset->setAutoDefault(false);
        seeLog->setAutoDefault(false);

        m_lblSlot[slot] = label;
        m_prgSlot[slot] = bar;
        m_lblPace[slot] = pace;
        m_controls.Add(kSlotLabelIds[slot], label);
        m_controls.Add(kSlotProgressIds[slot], bar);
        m_controls.Add(kSlotResetIds[slot], reset);
        m_controls.Add(kSlotSeeLogIds[slot], seeLog);
        const int row = 2 * slot;
        grid->addWidget(label, row, 0, 2, 1);
        grid->addWidget(bar, row, 1);
        grid->addWidget(pace, row + 1, 1);
        grid->addWidget(reset, row, 2, 2, 1);
        grid->addWidget(seeLog, row, 3, 2, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(1);
    // Waits count on between notifications.
    auto* paceTimer = new QTimer(this);
    connect(paceTimer, &QTimer::timeout, this, [this] {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (!m_slotPace[slot].IsIdle()) {
                ShowSlotPace(slot);
            }
        }
    });
    paceTimer->start(kPaceRefreshMs);
    return group;
}

QWidget* CVantorelDlg::BuildLogArea() {
    auto* area = new QWidget(this);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);

    auto* count = new QLabel(area);
    m_controls.Add(ctl::kDetectedCount, count);
    column->addWidget(count);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_pMainLogView = new CLogView(area);
    m_pMainLogView->setFont(fixed);
    m_pMainLogView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_controls.Add(ctl::kMainLog, m_pMainLogView);
    column->addWidget(m_pMainLogView, 1);

    m_pAuxLogView = new CLogView(area);
    m_pAuxLogView->setFont(fixed);
    m_pAuxLogView->hide();
    m_controls.Add(ctl::kAuxLog, m_pAuxLogView);
    column->addWidget(m_pAuxLogView, 1);

    m_pLogFrameTimer = new QTimer(this);
    m_pLogFrameTimer->setSingleShot(true);
    connect(m_pLogFrameTimer, &QTimer::timeout, this, [this] { FlushShownLogs(); });
    return area;
}

void CVantorelDlg::ConnectHandlers() {
    const auto onClick = [this](int id, auto handler) {
        connect(m_controls.As<QAbstractButton>(id), &QAbstractButton::clicked, this, handler);
    };
    onClick(ctl::kDetect, [this] { OnBnClickedDetect(); });
    onClick(ctl::kStartDownloading, [this] { OnStartDownloading(); });
    onClick(ctl::kResetAll, [this] { OnBnClickedResetAll(); });
    onClick(ctl::kSmdBinary, [this] { OnBnClickedSmdBinary(); });
    onClick(ctl::kControlSector, [this] { OnBnClickedControlSector(); });
    onClick(ctl::kSetUgm, [this] { OnBnClickedSetUgm(); });
    onClick(ctl::kSlotsFollowPorts, [this] { OnBnClickedSlotsFollowPorts(); });
    onClick(ctl::kLearnPorts, [this] { OnBnClickedLearnPorts(); });
    onClick(ctl::kClearPorts, [this] { OnBnClickedClearPorts(); });
    onClick(ctl::kLoadPorts, [this] { OnBnClickedLoadPorts(); });
    onClick(ctl::kEbootButton, [this] { OnBnClickedEboot(); });
    onClick(ctl::kPdaButton, [this] { OnBnClickedPda(); });
    onClick(ctl::kCscButton, [this] { OnBnClickedCsc(); });
    onClick(ctl::kLangButton, [this] { OnBnClickedLang(); });
    onClick(ctl::kPhoneButton, [this] { OnBnClickedPhone(); });
    onClick(ctl::kSmdButton, [this] { OnBnClickedSmd(); });
    onClick(ctl::kImgButton, [this] { OnBnClickedImg(); });
    // The drop-downs are refilled with their notifications blocked, so these are the
    // operator's picks only.
    const auto onPick = [this](int id, auto handler) {
        connect(m_controls.As<QComboBox>(id), &QComboBox::currentIndexChanged, this, handler);
    };
    onPick(ctl::kCscCombo, [this] { OnCbnSelchangeCsc(); });
    onPick(ctl::kLanguageCombo, [this] { OnCbnSelchangeLanguage(); });
    for (int slot = 0; slot < kSlotCount; ++slot) {
        onClick(kSlotResetIds[slot], [this, slot] { OnBnClickedResetSlot(slot); });
        onClick(kSlotSeeLogIds[slot], [this, slot] { OnBnClickedSeeLog(slot); });
    }
}

}  // namespace vantorel::console
