#include "tests/station/e2e_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QJsonDocument>
#include <algorithm>
#include <fstream>

#include "console/color_static_st.h"
#include "console/text_progress_ctrl.h"
#include "engine/boot_loader_protocol.h"
#include "engine/download_batch.h"

namespace vantorel::console::test {

void E2eTest::SetUp() {
    // The sector size outlives a batch: a test that set "Control Sector" must not leave its
    // turns to the next one.
    engine::g_dwPdaSectorSize = engine::kDefaultPdaSectorSize;
    StationTest::SetUp();
}

void E2eTest::MakeRecordingDialog(const std::filesystem::path& root) {
    dlg.reset();
    dlg = std::make_unique<CVantorelDlg>(
        ConsoleEnvironment{bus, bus, bus, GetParam(), clock, sync, prompts, &hotplug, root, {}});
    dlg->OnInitDialog();
}

void E2eTest::AttachStalledFlashBesideAHealthyHandset() {
    const tools::SampleSet set = WriteSamples();
    ChooseEveryImageAndDetect(set);
    emulator::HandsetFaults stalledFlash;
    stalledFlash.flashProgressStallAfter[engine::kCmdFlashPhone] = 1;
    Attach(1, {}, stalledFlash);
    Attach(2);
}

void E2eTest::TearDown() {
    StationTest::TearDown();
    engine::g_dwPdaSectorSize = engine::kDefaultPdaSectorSize;
}

tools::SampleSet E2eTest::WriteSamples(const tools::SampleSizes& sizes) {
    return tools::WriteSampleSet((files / "images").string(), sizes, 7);
}

void E2eTest::ChooseImage(int buttonId, const std::string& path) {
    prompts.fileAnswers.push_back(QString::fromStdString(path));
    dlg->Controls().As<QAbstractButton>(buttonId)->click();
    EXPECT_TRUE(prompts.fileAnswers.empty()) << "button " << buttonId << " asked for no file";
    EXPECT_FALSE(MainLogHas("incorrected")) << MainLog();
}

void E2eTest::SetOption(int id, bool bChecked) {
    auto* box = dlg->Controls().As<QAbstractButton>(id);
    ASSERT_NE(box, nullptr) << "no option box " << id;
    if (box->isChecked() != bChecked) {
        box->click();
    }
    EXPECT_EQ(box->isChecked(), bChecked) << "option box " << id;
}

void E2eTest::SetSectorMegabytes(const std::string& megabytes) {
    SetOption(ctl::kControlSector, true);
    dlg->Controls().SetText(ctl::kRamSectorMb, QString::fromStdString(megabytes));
}

void E2eTest::PickCscEntry(int index) {
    auto* combo = dlg->Controls().As<QComboBox>(ctl::kCscCombo);
    ASSERT_LT(index, combo->count());
    combo->setCurrentIndex(index);
}

void E2eTest::PressDetect() {
    auto* detect = dlg->Controls().As<QAbstractButton>(ctl::kDetect);
    ASSERT_TRUE(detect->isEnabled()) << "Detect is locked: no image was accepted\n" << MainLog();
    detect->click();
    ASSERT_EQ(dlg->m_bDetecting, 1);
}

std::vector<emulator::ChosenImage> E2eTest::ChooseEveryImageAndDetect(const tools::SampleSet& set) {
    const std::vector<emulator::ChosenImage> chosen{{images::IMG_EBOOT, set.eboot},
                                                    {images::IMG_PDA, set.pda},
                                                    {images::IMG_CSC, set.csc},
                                                    {images::IMG_LANGPACK, set.langPack},
                                                    {images::IMG_PHONE, set.phone}};
    const int buttons[] = {ctl::kEbootButton, ctl::kPdaButton, ctl::kCscButton, ctl::kLangButton,
                           ctl::kPhoneButton};
    for (size_t i = 0; i < chosen.size(); ++i) {
        ChooseImage(buttons[i], chosen[i].path);
    }
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    return chosen;
}

emulator::BusHandset& E2eTest::Attach(int n, emulator::HandsetConfig config,
                                      emulator::HandsetFaults faults) {
    emulator::BusHandset& handset = Plug("1-" + std::to_string(n), std::move(config), faults);
    EXPECT_TRUE(WaitForAttached(n)) << "handset " << n << "\n" << MainLog();
    return handset;
}

bool E2eTest::RunBatch(std::chrono::milliseconds bound) {
    // The eighth handset posts the start itself; it runs here first, so the batch is not
    // started twice.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    auto* start = dlg->Controls().As<QAbstractButton>(ctl::kStartDownloading);
    if (CountSlots(SLOT_READY) > 0) {
        EXPECT_TRUE(start->isEnabled());
        start->click();
    }
    EXPECT_EQ(CountSlots(SLOT_READY), 0);
    return PumpUntil([this] { return BatchEnded(); }, bound);
}

bool E2eTest::BatchEnded() const {
    return CountSlots(SLOT_DOWNLOADING) == 0 && MainLogHas("All Download finished.");
}

std::string E2eTest::BarText(int slot) const {
    return dlg->m_prgSlot[slot]->GetWindowText().toStdString();
}

std::string E2eTest::LabelText(int slot) const {
    return dlg->m_lblSlot[slot]->GetWindowText().toStdString();
}

COLORREF E2eTest::LabelColour(int slot) const {
    return dlg->m_lblSlot[slot]->GetBkColor();
}

void E2eTest::ExpectDone(int slot) const {
    EXPECT_EQ(dlg->m_aSlotStatus[slot].nState, SLOT_DONE) << "slot " << slot + 1;
    EXPECT_EQ(BarText(slot), "Job Done.Launched!!") << "slot " << slot + 1;
    EXPECT_EQ(LabelText(slot), "OK " + std::to_string(slot + 1));
    EXPECT_EQ(LabelColour(slot), kFinishedColour) << "slot " << slot + 1;
    EXPECT_NE(
        SlotLog(slot).find("[Success:" + std::to_string(slot + 1) + "] Finished downloading!\r\n"),
        std::string::npos)
        << SlotLog(slot);
}

void E2eTest::ExpectFailed(int slot, const std::string& text, const std::string& label) const {
    EXPECT_EQ(dlg->m_aSlotStatus[slot].nState, SLOT_FAILED) << "slot " << slot + 1;
    EXPECT_EQ(BarText(slot), text) << "slot " << slot + 1;
    EXPECT_EQ(LabelText(slot), label) << "slot " << slot + 1;
    EXPECT_EQ(LabelColour(slot), kFailedColour) << "slot " << slot + 1;
}

bool E2eTest::MainLogHas(const std::string& part) const {
    return MainLog().find(part) != std::string::npos;
}

bool E2eTest::WaitForMainLog(const std::string& part, std::chrono::milliseconds bound) {
    return PumpUntil([&] { return MainLogHas(part); }, bound);
}

std::vector<std::string> E2eTest::FlashProblems(const emulator::BusHandset& handset,
                                                const std::vector<emulator::ChosenImage>& chosen,
                                                std::span<const emulator::SmdRange> smdRanges) {
    std::vector<std::string> problems;
    // In place: a copy of a record kept byte for byte would copy every image again.
    handset.Emulator().Inspect([&](const emulator::FlashRecord& record) {
        problems = emulator::CheckFlashed(record, chosen, smdRanges);
    });
    return problems;
}

bool E2eTest::WaitForLaunch(const emulator::BusHandset& handset) {
    if (!handset.WaitUntilLeft(std::chrono::seconds(10))) {
        return false;
    }
    const std::vector<uint32_t> codes = CommandCodes(handset);
    return !codes.empty() && codes.back() == engine::kCmdLaunch;
}

std::vector<uint32_t> E2eTest::CommandCodes(const emulator::BusHandset& handset) {
    std::vector<uint32_t> codes;
    handset.Emulator().Inspect([&](const emulator::FlashRecord& record) {
        for (const emulator::CommandSeen& command : record.commands) {
            codes.push_back(command.code);
        }
    });
    return codes;
}

size_t E2eTest::CountOf(const std::vector<uint32_t>& codes, uint32_t code) {
    return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
}

uint32_t E2eTest::FileWord(const std::string& path, uint64_t offset) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    uint8_t bytes[4]{};
    file.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    EXPECT_TRUE(file) << path;
    return engine::LoadLe32(bytes);
}

QJsonObject Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

std::string LinkName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Bulk" : "SerialStyle";
}

}  // namespace vantorel::console::test
