#include "tests/faults/fault_bench.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <map>
#include <thread>

#include "console/color_static_st.h"
#include "console/text_progress_ctrl.h"

namespace vantorel::faults {

namespace {
constexpr int kWaitAfterDownload = 1096;
}

FaultBench::FaultBench(bool bBulkLink, double timeScale) : clock(timeScale) {
    m_dlg = std::make_unique<console::CVantorelDlg>(
        console::ConsoleEnvironment{bus, bus, bus, bBulkLink, clock, sync, prompts, &hotplug});
    m_dlg->OnInitDialog();
}

FaultBench::~FaultBench() {
    if (m_dlg) {
        m_dlg->StopWorkers();
    }
    m_handsets.clear();
    m_dlg.reset();
}

void FaultBench::ChooseImages(const std::vector<emulator::ChosenImage>& chosen) {
    static const std::map<images::ImageKind, int> kButtons{
        {images::IMG_EBOOT, console::ctl::kEbootButton},
        {images::IMG_PDA, console::ctl::kPdaButton},
        {images::IMG_CSC, console::ctl::kCscButton},
        {images::IMG_LANGPACK, console::ctl::kLangButton},
        {images::IMG_PHONE, console::ctl::kPhoneButton},
        {images::IMG_SMD, console::ctl::kSmdButton},
    };
    for (const emulator::ChosenImage& image : chosen) {
        prompts.fileAnswers.push_back(QString::fromStdString(image.path));
        Click(kButtons.at(image.kind));
    }
}

void FaultBench::SetWaitAfterDownload(bool bWait) {
    m_dlg->Controls().As<QAbstractButton>(kWaitAfterDownload)->setChecked(bWait);
}

void FaultBench::Click(int id) {
    m_dlg->Controls().As<QAbstractButton>(id)->click();
}

emulator::BusHandset& FaultBench::Plug(const std::string& port, emulator::HandsetConfig config,
                                       emulator::HandsetFaults faults) {
    m_handsets.push_back(std::make_unique<emulator::BusHandset>(bus, port, clock, std::move(config),
                                                                std::move(faults)));
    m_handsets.back()->Plug();
    m_handsets.back()->WaitUntilPlugged(10s);
    return *m_handsets.back();
}

bool FaultBench::AttachInOrder(const std::vector<std::string>& ports,
                               const std::vector<emulator::HandsetConfig>& configs,
                               const std::vector<emulator::HandsetFaults>& faults) {
    Click(console::ctl::kDetect);
    const int before = m_dlg->m_nDetectedCount;
    for (size_t i = 0; i < ports.size(); ++i) {
        Plug(ports[i], configs.at(i), faults.at(i));
        const int wanted = before + static_cast<int>(i) + 1;
        if (!PumpUntil([&] { return m_dlg->m_nDetectedCount >= wanted; })) {
            return false;
        }
    }
    return true;
}

bool FaultBench::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(200us);
    }
    return true;
}

void FaultBench::Pump(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    PumpUntil([&] { return std::chrono::steady_clock::now() > until; }, duration * 2);
}

bool FaultBench::BatchEnded() const {
    return m_dlg->m_nDetectedCount > 0 &&
           m_dlg->m_nDetectedCount == m_dlg->m_nSuccessCount + m_dlg->m_nFailCount &&
           CountSlots(console::SLOT_DOWNLOADING) == 0;
}

bool FaultBench::WorkersEnded() const {
    for (int slot = 0; slot < console::kSlotCount; ++slot) {
        if (m_dlg->IsWorkerRunning(slot)) {
            return false;
        }
    }
    return true;
}

int FaultBench::CountSlots(int32_t state) const {
    int count = 0;
    for (const auto& status : m_dlg->m_aSlotStatus) {
        count += status.nState == state ? 1 : 0;
    }
    return count;
}

std::string FaultBench::MainLog() const {
    return m_dlg->m_logs.Text(console::ShownLog::Main);
}

std::string FaultBench::BarText(int slot) const {
    return m_dlg->m_prgSlot[slot]->GetWindowText().toStdString();
}

std::string FaultBench::LabelText(int slot) const {
    return m_dlg->m_lblSlot[slot]->GetWindowText().toStdString();
}

console::COLORREF FaultBench::LabelColour(int slot) const {
    return m_dlg->m_lblSlot[slot]->GetBkColor();
}

size_t FaultBench::MainLogCount(const std::string& line) const {
    const std::string log = MainLog();
    size_t count = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) {
        ++count;
    }
    return count;
}

size_t FaultBench::MainLogCountOnceLogged(const std::string& line,
                                          std::chrono::milliseconds bound) {
    PumpUntil([&] { return MainLogCount(line) > 0; }, bound);
    return MainLogCount(line);
}

std::vector<std::string> FaultBench::CheckFlashed(
    const emulator::BusHandset& handset, const std::vector<emulator::ChosenImage>& chosen) const {
    return emulator::CheckFlashed(handset.Record(), chosen);
}

}  // namespace vantorel::faults
