#include "bench/bench_panel.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "bench/bench_control.h"

namespace vantorel::bench {

namespace {

constexpr int kRefreshMs = 200;
// The fault list's shown width in characters; a longer fault reads in full when open.
constexpr int kFaultShownLength = 13;

struct Speed {
    const char* caption;
    double scale;
};

constexpr Speed kSpeeds[] = {{"real time", 1.0}, {"\u00d710", 0.1}, {"\u00d7100", 0.01}};

QString SpeedCaption(double scale) {
    for (const Speed& speed : kSpeeds) {
        if (std::abs(speed.scale - scale) < 1e-9) {
            return QString::fromUtf8(speed.caption);
        }
    }
    return QStringLiteral("\u00d7%1").arg(1.0 / scale, 0, 'g', 4);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

BenchPanel::BenchPanel(BenchControl& control, QWidget* parent)
    : QWidget(parent), m_control(control) {
    setWindowTitle(QStringLiteral("Vantorel bench"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Speed:"), this));
    m_speed = new QComboBox(this);
    m_speed->setToolTip(
        QStringLiteral("How fast protocol time runs. Changes only while no handset is attached: "
                       "the station starts afresh with the same images and options."));
    top->addWidget(m_speed);
    top->addStretch(1);
    auto* samples = new QLabel(
        QStringLiteral("Sample images: %1").arg(Text(m_control.SampleDirectory())), this);
    samples->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_note = new QLabel(this);
    m_note->setWordWrap(true);

    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(samples);
    column->addWidget(BuildHandsetTable());
    if (QWidget* external = BuildExternalList()) {
        column->addWidget(external);
    }
    column->addWidget(m_note);

    for (const Speed& speed : kSpeeds) {
        m_speed->addItem(QString::fromUtf8(speed.caption), speed.scale);
    }
    SelectSpeed(m_control.TimeScale());
    connect(m_speed, &QComboBox::activated, this, [this](int index) { OnSpeedChosen(index); });

    m_refresh = new QTimer(this);
    connect(m_refresh, &QTimer::timeout, this, [this] { Refresh(); });
    m_refresh->start(kRefreshMs);
    Refresh();
}

// Two lines per handset keep the panel narrow enough to stand beside the station on a
// laptop screen: its setup on the first, what it does and has flashed on the second.
QWidget* BenchPanel::BuildHandsetTable() {
    auto* group = new QGroupBox(QStringLiteral("Emulated handsets in download mode"), this);
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(2);
    const char* headings[] = {"", "Port", "Slot", "Protocol", "EBOOT", "Fault"};
    for (int column = 0; column < static_cast<int>(std::size(headings)); ++column) {
        auto* heading = new QLabel(QString::fromLatin1(headings[column]), group);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        grid->addWidget(heading, 0, column);
    }
    const std::vector<std::string> faults = m_control.FaultCaptions();
    for (int row = 0; row < m_control.EmulatedCount(); ++row) {
        const BenchHandsetView view = m_control.Handset(row);
        Row widgets;
        widgets.plug = new QPushButton(QStringLiteral("Plug"), group);
        widgets.plug->setToolTip(QStringLiteral("Plug this handset in, or pull it out"));
        widgets.plug->setMinimumWidth(0);
        widgets.plug->setMaximumWidth(
            widgets.plug->fontMetrics().horizontalAdvance(QStringLiteral("Unplug")) + 24);
        // A pseudo-terminal's link is known by its name; the tip tells where it lives.
        widgets.port = new QLabel(Text(view.port).section(QChar('/'), -1), group);
        widgets.port->setToolTip(Text(view.port));
        widgets.slot = new QLabel(group);
        widgets.slot->setToolTip(QStringLiteral("The station slot that holds this handset"));
        widgets.protocolVersion = new QSpinBox(group);
        widgets.protocolVersion->setRange(0, 9999);
        widgets.protocolVersion->setToolTip(
            QStringLiteral("The boot loader's protocol version; the station takes 13 to 24"));
        widgets.bootLoaderVersion = new QLineEdit(group);
        widgets.bootLoaderVersion->setMaxLength(4);
        widgets.bootLoaderVersion->setMaximumWidth(60);
        widgets.bootLoaderVersion->setToolTip(
            QStringLiteral("The boot loader's version: 4 characters"));
        widgets.fault = new QComboBox(group);
        widgets.fault->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        widgets.fault->setMinimumContentsLength(kFaultShownLength);
        for (const std::string& fault : faults) {
            widgets.fault->addItem(Text(fault));
            widgets.fault->setItemData(widgets.fault->count() - 1, Text(fault), Qt::ToolTipRole);
        }
        if (!view.customSettings.empty()) {
            // The settings themselves can be long: the box names the choice, its tip spells
            // the settings out, so the box's text is never cut.
            const QString custom = QStringLiteral("as given: %1").arg(Text(view.customSettings));
            widgets.fault->addItem(QStringLiteral("as given"));
            widgets.fault->setItemData(widgets.fault->count() - 1, custom, Qt::ToolTipRole);
        }
        // What it does and has flashed: one line under its setup, wrapped onto a second
        // rather than widening the panel or being cut; the tip holds the whole of it too.
        widgets.now = new QLabel(group);
        widgets.now->setWordWrap(true);
        widgets.now->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        widgets.now->setFixedHeight(2 * widgets.now->fontMetrics().lineSpacing());
        widgets.now->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widgets.now->setTextInteractionFlags(Qt::TextSelectableByMouse);

        widgets.protocolVersion->setValue(static_cast<int>(view.protocolVersion));
        widgets.bootLoaderVersion->setText(Text(view.bootLoaderVersion));
        widgets.fault->setCurrentIndex(view.faultChoice);

        const int setupRow = 1 + 2 * row;
        grid->addWidget(widgets.plug, setupRow, 0);
        grid->addWidget(widgets.port, setupRow, 1);
        grid->addWidget(widgets.slot, setupRow, 2);
        grid->addWidget(widgets.protocolVersion, setupRow, 3);
        grid->addWidget(widgets.bootLoaderVersion, setupRow, 4);
        grid->addWidget(widgets.fault, setupRow, 5);
        grid->addWidget(widgets.now, setupRow + 1, 1, 1, 5);

        connect(widgets.plug, &QPushButton::clicked, this, [this, row] { OnPlugClicked(row); });
        connect(widgets.protocolVersion, &QSpinBox::editingFinished, this,
                [this, row] { OnSetupEdited(row); });
        connect(widgets.bootLoaderVersion, &QLineEdit::editingFinished, this,
                [this, row] { OnSetupEdited(row); });
        connect(widgets.fault, &QComboBox::activated, this, [this, row] { OnSetupEdited(row); });
        m_rows.push_back(widgets);
    }
    grid->setColumnStretch(5, 1);
    return group;
}

QWidget* BenchPanel::BuildExternalList() {
    const std::vector<BenchExternalView> external = m_control.ExternalHandsets();
    if (external.empty()) {
        return nullptr;
    }
    auto* group = new QGroupBox(QStringLiteral("External handsets (--tty)"), this);
    auto* column = new QVBoxLayout(group);
    for (size_t i = 0; i < external.size(); ++i) {
        auto* label = new QLabel(group);
        m_external.push_back(label);
        column->addWidget(label);
    }
    return group;
}

void BenchPanel::Refresh() {
    for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
        const BenchHandsetView view = m_control.Handset(row);
        Row& widgets = m_rows[row];
        widgets.plug->setText(view.bPlugged ? QStringLiteral("Unplug") : QStringLiteral("Plug"));
        widgets.slot->setText(view.slot >= 0 ? QStringLiteral("PDA %1").arg(view.slot + 1)
                                             : QStringLiteral("-"));
        QString now = Text(view.state);
        if (!view.flashed.empty()) {
            now += QStringLiteral("; flashed: %1").arg(Text(view.flashed));
        }
        if (widgets.now->text() != now) {
            widgets.now->setText(now);
            widgets.now->setToolTip(now);
        }
        // A plugged handset keeps the setup it was plugged with.
        widgets.protocolVersion->setEnabled(!view.bPlugged);
        widgets.bootLoaderVersion->setEnabled(!view.bPlugged);
        widgets.fault->setEnabled(!view.bPlugged);
    }
    const std::vector<BenchExternalView> external = m_control.ExternalHandsets();
    for (size_t i = 0; i < external.size() && i < m_external.size(); ++i) {
        m_external[i]->setText(QStringLiteral("%1: %2").arg(
            Text(external[i].path),
            external[i].bPresent ? QStringLiteral("present") : QStringLiteral("absent")));
    }
    m_speed->setEnabled(m_control.CanChangeTimeScale());
}

void BenchPanel::OnPlugClicked(int row) {
    if (m_control.Handset(row).bPlugged) {
        m_control.Unplug(row);
    } else {
        OnSetupEdited(row);
        m_control.Plug(row);
    }
    Refresh();
}

void BenchPanel::OnSetupEdited(int row) {
    const Row& widgets = m_rows[row];
    std::string error;
    if (!m_control.SetHandsetSetup(row, static_cast<uint32_t>(widgets.protocolVersion->value()),
                                   widgets.bootLoaderVersion->text().toStdString(),
                                   widgets.fault->currentIndex(), error)) {
        ShowNote(QStringLiteral("Handset %1: %2").arg(row + 1).arg(Text(error)), true);
        return;
    }
    ShowNote(QString(), false);
}

void BenchPanel::OnSpeedChosen(int index) {
    const double scale = m_speed->itemData(index).toDouble();
    if (std::abs(scale - m_control.TimeScale()) < 1e-12) {
        return;
    }
    if (!m_control.CanChangeTimeScale()) {
        SelectSpeed(m_control.TimeScale());
        ShowNote(QStringLiteral("The speed changes only while no handset is attached."), true);
        return;
    }
    m_control.SetTimeScale(scale);
    ShowNote(QStringLiteral("Protocol time now runs at %1; the station started afresh.")
                 .arg(SpeedCaption(scale)),
             false);
}

void BenchPanel::SelectSpeed(double scale) {
    const QSignalBlocker quiet(m_speed);
    for (int i = 0; i < m_speed->count(); ++i) {
        if (std::abs(m_speed->itemData(i).toDouble() - scale) < 1e-12) {
            m_speed->setCurrentIndex(i);
            return;
        }
    }
    m_speed->addItem(SpeedCaption(scale), scale);
    m_speed->setCurrentIndex(m_speed->count() - 1);
}

void BenchPanel::ShowNote(const QString& text, bool bError) {
    m_note->setStyleSheet(bError ? QStringLiteral("color: #b00000;") : QString());
    m_note->setText(text);
}

// The panel belongs to the station: closing it closes the station, which may ask first; the
// panel goes only once the station has.
void BenchPanel::closeEvent(QCloseEvent* event) {
    if (m_control.IsStationShown()) {
        emit closeRequested();
    }
    if (m_control.IsStationShown()) {
        event->ignore();
    } else {
        event->accept();
    }
}

}  // namespace vantorel::bench
