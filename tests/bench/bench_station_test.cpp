// The bench's windows worked as an operator works them: the station's own open-file dialogs
// answered, its drop-downs picked, the speed changed through the panel's control, handsets
// plugged in from the panel, and what the emulated handsets received.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <fstream>
#include <set>

#include "bench/bench_panel.h"
#include "bench/bench_station.h"
#include "bench/emulated_bench.h"
#include "console/log_view.h"
#include "console/operator_prompts.h"
#include "console/station_script.h"
#include "console/vantorel_dlg.h"
#include "samples/sample_images.h"
#include "tests/bench/no_records.h"
#include "tests/support/file_dialog_answers.h"
#include "tests/support/shown_logs.h"
#include "tests/support/temp_dir.h"

namespace vantorel::bench::test {
namespace {

using namespace std::chrono_literals;
namespace ctl = console::ctl;

constexpr double kStartSpeed = 0.1;    // the panel's "x10", the windowed bench's default
constexpr double kFasterSpeed = 0.01;  // the panel's "x100"
constexpr uint32_t kBlock = 0x20000;

std::string Items(const QComboBox& combo) {
    std::string items;
    for (int i = 0; i < combo.count(); ++i) {
        items += (i == 0 ? "" : ", ") + combo.itemText(i).toStdString();
    }
    return items;
}

// Everything the image controls show, one line each, for comparing two station windows.
std::string ShownChoices(const console::CVantorelDlg& dlg) {
    const console::ControlRegistry& controls = dlg.Controls();
    std::string shown;
    for (const int id : {ctl::kEbootPath, ctl::kPdaPath, ctl::kCscPath, ctl::kLangPath,
                         ctl::kPhonePath, ctl::kSmdPath, ctl::kImgPath}) {
        shown += "path box " + std::to_string(id) + ": " + controls.Text(id).toStdString() + "\n";
    }
    for (const int id : {ctl::kCscCombo, ctl::kLanguageCombo}) {
        const auto& combo = *controls.As<QComboBox>(id);
        shown += "drop-down " + std::to_string(id) + ": [" + Items(combo) + "] showing \"" +
                 combo.currentText().toStdString() + "\"\n";
    }
    const auto& aux = *controls.As<console::CLogView>(ctl::kAuxLog);
    shown += "second log " + std::string(aux.isVisible() ? "shown" : "hidden") + ":\n" +
             vantorel::test::ShownLogText(dlg, ctl::kAuxLog).toStdString() + "\n";
    shown += "Detect " + std::string(controls.Get(ctl::kDetect)->isEnabled() ? "on" : "off");
    return shown;
}

std::vector<uint8_t> FileSlice(const std::string& path, uint64_t offset, uint64_t length) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::vector<uint8_t> bytes(length);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

class BenchStationTest : public ::testing::Test {
protected:
    BenchStationTest()
        : bench(LinkChoice::Bulk, {}, {}, kStartSpeed),
          station(bench, test::NoRecords(), (files / "samples").string()) {}

    console::CVantorelDlg& Station() { return *station.Station(); }

    // Presses a browse button and picks `path` in the file dialog it opens, as the operator
    // does; any other box is noted and closed, so a refusal fails the test instead of
    // hanging it.
    void Choose(int buttonId, const std::string& path) {
        dialogs.Queue(QString::fromStdString(path));
        Station().Controls().As<QAbstractButton>(buttonId)->click();
        EXPECT_TRUE(dialogs.AllTaken()) << "button " << buttonId << " opened no file dialog";
        EXPECT_EQ(dialogs.Problems(), "");
        const std::string log = Station().m_logs.Text(console::ShownLog::Main);
        EXPECT_EQ(log.find("incorrected"), std::string::npos) << log;
    }

    void Pick(int comboId, const QString& item) {
        auto* combo = Station().Controls().As<QComboBox>(comboId);
        const int index = combo->findText(item);
        ASSERT_GE(index, 0) << item.toStdString() << " is not offered: " << Items(*combo);
        combo->setCurrentIndex(index);
    }

    std::string LanguageShown() {
        return Station().Controls().As<QComboBox>(ctl::kLanguageCombo)->currentText().toStdString();
    }

    vantorel::test::TempDir files;
    EmulatedBench bench;
    BenchStation station;
    vantorel::test::FileDialogAnswers dialogs;
};

// A new operator's session: the integrated image, the multi-CSC file with its second entry
// picked, the language pack and German picked, then a faster speed. The station that the
// speed change starts shows exactly the choices the operator made, keeps showing German
// through the batch, and every handset receives German and the second CSC entry.
TEST_F(BenchStationTest, ASpeedChangeKeepsEveryChoiceAndTheHandsetsGetThem) {
    const samples::SampleSet set =
        samples::WriteSampleSet((files / "samples").string(), samples::SampleSizes{}, 7);
    station.Open({});
    // Unpacked files go to the test's directory, never to the user's own cache.
    Station().m_selection = images::ImageSelection((files / "unpacked").string());

    Choose(ctl::kImgButton, set.img);
    Choose(ctl::kCscButton, set.multiCsc);
    Pick(ctl::kCscCombo, QStringLiteral("CSC_1.csc"));
    Choose(ctl::kLangButton, set.langPack);
    Pick(ctl::kLanguageCombo, QStringLiteral("German(Germany)"));
    const std::string chosen = ShownChoices(Station());
    ASSERT_EQ(LanguageShown(), "German(Germany)");

    station.SetTimeScale(kFasterSpeed);  // what the panel's speed box does
    ASSERT_DOUBLE_EQ(station.TimeScale(), kFasterSpeed);
    EXPECT_EQ(ShownChoices(Station()), chosen);

    console::QtOperatorPrompts prompts({}, {});
    console::StationScript script(Station(), prompts);
    std::string error;
    ASSERT_TRUE(script.PressDetect(error)) << error;
    for (int row = 0; row < 3; ++row) {
        station.Plug(row);
    }
    ASSERT_TRUE(script.PumpUntil([&] { return script.AttachedCount() == 3; }, 30s))
        << script.MainLog();
    ASSERT_TRUE(script.PressStartIfReady());
    std::set<std::string> shownDuringBatch;
    ASSERT_TRUE(script.PumpUntil(
        [&] {
            shownDuringBatch.insert(LanguageShown());
            return script.AllAttachedEnded();
        },
        90s))
        << script.MainLog();

    EXPECT_EQ(shownDuringBatch, std::set<std::string>{"German(Germany)"});
    const std::vector<uint8_t> secondEntry = FileSlice(set.multiCsc, 4 * kBlock, 5 * kBlock);
    for (int row = 0; row < 3; ++row) {
        EXPECT_NE(script.Outcomes()[row].status.find("Job Done"), std::string::npos)
            << "slot " << row + 1 << ": " << script.Outcomes()[row].status;
        const auto record = bench.Record(row);
        ASSERT_TRUE(record && record->languageChoice && record->csc) << "handset " << row + 1;
        EXPECT_EQ(record->languageChoice->index, 1u) << "handset " << row + 1;
        EXPECT_EQ(record->languageChoice->code, "0407") << "handset " << row + 1;
        EXPECT_TRUE(record->csc->Matches(secondEntry))
            << "handset " << row + 1 << " flashed " << record->csc->length << " CSC bytes";
    }
}

// In a shift the operator swaps a handset in one click: the panel's Replace pulls the done
// handset and plugs a new one, which takes the freed slot and is flashed afresh.
TEST_F(BenchStationTest, ReplaceSwapsAHandsetForANewOneThatIsFlashedInTheSameSlot) {
    const samples::SampleSet set =
        samples::WriteSampleSet((files / "samples").string(), samples::SampleSizes{}, 7);
    station.SetTimeScale(kFasterSpeed);
    station.Open({{images::IMG_EBOOT, set.eboot}, {images::IMG_PDA, set.pda}});
    console::QtOperatorPrompts prompts({}, {});
    console::StationScript script(Station(), prompts);
    std::string error;
    ASSERT_TRUE(script.SetOption("Wait after download", false, error)) << error;
    ASSERT_TRUE(script.SetOption("Slots run on their own", true, error)) << error;
    ASSERT_TRUE(script.PressDetect(error)) << error;
    const auto done = [&](int count) {
        return script.PumpUntil([&] { return Station().m_shift.Done() == count; }, 60s);
    };
    station.Panel()->PlugButton(0)->click();
    ASSERT_TRUE(done(1)) << script.MainLog();
    const std::vector<emulator::ChosenImage> chosen{{images::IMG_EBOOT, set.eboot},
                                                    {images::IMG_PDA, set.pda}};
    ASSERT_TRUE(bench.Record(0));
    EXPECT_EQ(emulator::CheckFlashed(*bench.Record(0), chosen), std::vector<std::string>{});

    station.Panel()->ReplaceButton(0)->click();
    EXPECT_TRUE(bench.Record(0)->commands.empty()) << "a new handset, with nothing flashed yet";
    ASSERT_TRUE(done(2)) << script.MainLog();
    EXPECT_NE(script.MainLog().find("[Shift] PDA 1 is free: a new handset took its socket."),
              std::string::npos)
        << script.MainLog();
    EXPECT_EQ(script.Outcomes()[0].state, console::SLOT_DONE);
    EXPECT_EQ(emulator::CheckFlashed(*bench.Record(0), chosen), std::vector<std::string>{});
}

}  // namespace
}  // namespace vantorel::bench::test
