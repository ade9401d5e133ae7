// Slots that follow ports on the whole station: the real dialog, both links, emulated
// handsets plugged into the ports of the emulated bus in an order of the test's choosing.
#include <sys/stat.h>
#include <QAbstractButton>
#include <QLabel>

#include <fstream>

#include "console/color_static_st.h"
#include "engine/slot_port_map.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

engine::SlotPortMap MapOf(std::string_view text) {
    engine::SlotPortMap map;
    std::string error;
    EXPECT_TRUE(engine::ParsePortMap(text, map, error)) << error;
    return map;
}

class PortsTest : public E2eTest {
protected:
    void Click(int id) { dlg->Controls().As<QAbstractButton>(id)->click(); }
    bool IsChecked(int id) const { return dlg->Controls().As<QAbstractButton>(id)->isChecked(); }

    // The port of the handset that `slot` holds; empty for none.
    std::string PortHeldBy(int slot) const {
        if (dlg->m_aSlotStatus[slot].nState == SLOT_WAITING) {
            return {};
        }
        return engine::PortLocationOf(dlg->m_pUsb[slot]->DevicePath()).value_or("?");
    }
    std::string LabelTip(int slot) const { return dlg->m_lblSlot[slot]->toolTip().toStdString(); }
    // Plugs a handset in at `port` and handles events until the station has seen it arrive.
    emulator::BusHandset& PlugAndSettle(const std::string& port) {
        const size_t arrivals = CountArrivals();
        emulator::BusHandset& handset = Plug(port);
        EXPECT_TRUE(PumpUntil([&] { return CountArrivals() > arrivals; })) << port;
        Pump(std::chrono::milliseconds(20));
        return handset;
    }
    size_t CountArrivals() const {
        size_t count = 0;
        const std::string log = MainLog();
        for (size_t at = log.find("DBT_DEVICEARRIVAL"); at != std::string::npos;
             at = log.find("DBT_DEVICEARRIVAL", at + 1)) {
            ++count;
        }
        return count;
    }
};

// Arrival order does not decide the slot: each handset, a hub's port among them, takes the
// slot its port is bound to, goes through its reboot back into that same slot, and flashes
// the chosen images byte for byte.
TEST_P(PortsTest, ShuffledArrivalsLandInTheirPortsSlotsAndComeBackThereAfterTheReboot) {
    dlg->SetPortMap(MapOf("1=1-4,2=1-2.3,3=1-1,4=1-3"));
    dlg->SetSlotsFollowPorts(true);
    const auto chosen = ChooseEveryImageAndDetect(WriteSamples());
    EXPECT_TRUE(MainLogHas("[Setup] Slots follow ports: 4 port(s) bound.\r\n")) << MainLog();

    const std::vector<std::pair<std::string, int>> arrivals{
        {"1-3", 3}, {"1-1", 2}, {"1-2.3", 1}, {"1-4", 0}};
    std::vector<emulator::BusHandset*> bySlot(4);
    int attached = 0;
    for (const auto& [port, slot] : arrivals) {
        bySlot[slot] = &Plug(port);
        ASSERT_TRUE(WaitForAttached(++attached)) << port << "\n" << MainLog();
        EXPECT_EQ(PortHeldBy(slot), port);
        EXPECT_EQ(dlg->m_aSlotStatus[slot].nState, SLOT_READY) << port;
    }
    for (int slot = 4; slot < kSlotCount; ++slot) {
        EXPECT_EQ(dlg->m_aSlotStatus[slot].nState, SLOT_WAITING) << "slot " << slot + 1;
    }

    ASSERT_TRUE(RunBatch()) << MainLog();
    for (int slot = 0; slot < 4; ++slot) {
        ExpectDone(slot);
        EXPECT_TRUE(MainLogHas("PDADetectEvent" + std::to_string(slot + 1) + "\r\n"))
            << "slot " << slot + 1 << " saw its handset come back\n"
            << MainLog();
        EXPECT_EQ(FlashProblems(*bySlot[slot], chosen), std::vector<std::string>{})
            << "slot " << slot + 1;
        EXPECT_TRUE(WaitForLaunch(*bySlot[slot])) << "slot " << slot + 1;
    }
    EXPECT_FALSE(MainLogHas("left unattached")) << MainLog();
    EXPECT_EQ(dlg->m_nSuccessCount, 4);
}

// A handset on a port bound to no slot, or on a port whose slot holds a handset already, is
// left alone and the main log says which port and why; the slots it did not take stay free.
TEST_P(PortsTest, UnboundPortsAndBusySlotsAreRefusedWithTheirLogLines) {
    dlg->SetPortMap(MapOf("1=1-1,2=1-2"));
    dlg->SetSlotsFollowPorts(true);
    ChooseEveryImageAndDetect(WriteSamples());

    PlugAndSettle("1-7");
    EXPECT_TRUE(MainLogHas("[Setup] Port 1-7 is bound to no slot: handset left unattached.\r\n"))
        << MainLog();
    EXPECT_EQ(dlg->m_nDetectedCount, 0);

    Plug("1-2");
    ASSERT_TRUE(WaitForAttached(1)) << MainLog();
    EXPECT_EQ(PortHeldBy(1), "1-2");
    EXPECT_EQ(PortHeldBy(0), "") << "slot 1 waits for its own port";

    // The map changes under a slot that holds a handset: the slot's new port finds it busy.
    dlg->SetPortMap(MapOf("1=1-1,2=1-5"));
    PlugAndSettle("1-5");
    EXPECT_TRUE(
        MainLogHas("[Setup] Port 1-5 is bound to PDA 2, which holds a handset: handset "
                   "left unattached.\r\n"))
        << MainLog();
    EXPECT_EQ(dlg->m_nDetectedCount, 1);
    EXPECT_EQ(PortHeldBy(1), "1-2");
    for (const int slot : {0, 2, 3, 4, 5, 6, 7}) {
        EXPECT_EQ(dlg->m_aSlotStatus[slot].nState, SLOT_WAITING) << "slot " << slot + 1;
    }
    EXPECT_EQ(dlg->Controls().Text(ctl::kDetectedCount), "Currently 1 device(s) detected.");
}

// A handset on a port bound to no slot stays on the bus, ahead of the bound ones in the
// bus's order: each later arrival is still the handset its port's slot takes, and the
// unbound one is never greeted.
TEST_P(PortsTest, AnUnboundHandsetThatArrivedFirstIsNeverTakenForABoundArrival) {
    dlg->SetPortMap(MapOf("1=1-2,2=1-3"));
    dlg->SetSlotsFollowPorts(true);
    const auto chosen = ChooseEveryImageAndDetect(WriteSamples());
    emulator::BusHandset& unbound = PlugAndSettle("1-1");
    EXPECT_TRUE(MainLogHas("[Setup] Port 1-1 is bound to no slot: handset left unattached.\r\n"))
        << MainLog();
    emulator::BusHandset& first = Plug("1-2");
    ASSERT_TRUE(WaitForAttached(1)) << MainLog();
    emulator::BusHandset& second = Plug("1-3");
    ASSERT_TRUE(WaitForAttached(2)) << MainLog();
    EXPECT_EQ(PortHeldBy(0), "1-2");
    EXPECT_EQ(PortHeldBy(1), "1-3");
    EXPECT_EQ(unbound.Record().greetings + unbound.Record().greetingsRefused, 0u);

    ASSERT_TRUE(RunBatch()) << MainLog();
    ExpectDone(0);
    ExpectDone(1);
    for (emulator::BusHandset* handset : {&first, &second}) {
        EXPECT_TRUE(WaitForLaunch(*handset));
        EXPECT_EQ(FlashProblems(*handset, chosen), std::vector<std::string>{});
    }
    EXPECT_EQ(unbound.Record().greetings, 0u);
    EXPECT_TRUE(unbound.Record().commands.empty()) << "nothing was flashed onto it";
}

// With the mode off the map is ignored: the first arrival takes PDA 1, whatever its port.
TEST_P(PortsTest, WithTheModeOffArrivalsTakeTheNextFreeSlot) {
    dlg->SetPortMap(MapOf("1=1-1,2=1-2,3=1-3"));
    ChooseEveryImageAndDetect(WriteSamples());
    Plug("1-3");
    ASSERT_TRUE(WaitForAttached(1)) << MainLog();
    EXPECT_EQ(PortHeldBy(0), "1-3");
    Plug("1-6");
    ASSERT_TRUE(WaitForAttached(2)) << MainLog();
    EXPECT_EQ(PortHeldBy(1), "1-6");
    EXPECT_FALSE(MainLogHas("[Setup] Slots follow ports")) << MainLog();
}

class KeptPortsTest : public PortsTest {
protected:
    void SetUp() override {
        settingsFile = files / "vantorel.ini";
        PortsTest::SetUp();
    }
    // The station closed and started again on the same settings file.
    void Restart() {
        dlg->StopWorkers();
        handsets.clear();
        dlg.reset();
        MakeDialog(GetParam());
    }
};

// "Learn ports" binds PDA 1, 2, 3 to the sockets in the order the operator plugs them, attaches
// nothing while it learns, and the map and the mode outlast a restart of the station, which
// then sends the handset in the third socket to PDA 3.
TEST_P(KeptPortsTest, LearnedPortsAndTheModeOutlastARestart) {
    Click(ctl::kLearnPorts);
    EXPECT_EQ(dlg->Controls().Text(ctl::kLearnPorts), "Stop learning");
    for (const char* port : {"1-6", "1-2", "1-2.4"}) {
        PlugAndSettle(port);
    }
    handsets.front()->Unplug();
    PumpUntil([&] { return !handsets.front()->IsPlugged(); });
    handsets.front()->Plug();
    PumpUntil([&] { return MainLogHas("[Setup] Port 1-6 is bound to PDA 1 already.\r\n"); });
    Click(ctl::kLearnPorts);
    EXPECT_EQ(dlg->Controls().Text(ctl::kLearnPorts), "Learn ports");
    for (const char* line :
         {"[Setup] Port 1-6 bound to PDA 1.\r\n", "[Setup] Port 1-2 bound to PDA 2.\r\n",
          "[Setup] Port 1-2.4 bound to PDA 3.\r\n",
          "[Setup] Port 1-6 is bound to PDA 1 already.\r\n",
          "[Setup] Port learning stopped: 3 port(s) bound.\r\n"}) {
        EXPECT_TRUE(MainLogHas(line)) << line << MainLog();
    }
    EXPECT_EQ(dlg->m_nDetectedCount, 0) << "a socket being taught attaches nothing";
    EXPECT_EQ(LabelTip(2), "USB port 1-2.4");
    EXPECT_EQ(LabelTip(3), "Bound to no USB port");
    EXPECT_EQ(LabelText(2), "PDA 3") << "the caption stays the station's";
    // The learned map is offered for use at once, and the operator takes it.
    EXPECT_TRUE(IsChecked(ctl::kSlotsFollowPorts));
    handsets.clear();

    Restart();
    EXPECT_EQ(dlg->m_portMap, MapOf("1=1-6,2=1-2,3=1-2.4"));
    EXPECT_TRUE(IsChecked(ctl::kSlotsFollowPorts));
    EXPECT_EQ(dlg->m_options.m_bSlotsFollowPorts, 1);
    EXPECT_EQ(LabelTip(0), "USB port 1-6");
    EXPECT_NE(dlg->Controls().Text(ctl::kPortMapText).toStdString().find("PDA 3: 1-2.4"),
              std::string::npos);
    ChooseEveryImageAndDetect(WriteSamples());
    Plug("1-2.4");
    ASSERT_TRUE(WaitForAttached(1)) << MainLog();
    EXPECT_EQ(PortHeldBy(2), "1-2.4");

    // Cleared, and cleared it stays.
    ASSERT_TRUE(dlg->Controls().As<QAbstractButton>(ctl::kResetAll)->isEnabled());
    Click(ctl::kResetAll);
    Click(ctl::kClearPorts);
    EXPECT_TRUE(dlg->m_portMap.IsEmpty());
    Restart();
    EXPECT_TRUE(dlg->m_portMap.IsEmpty());
    EXPECT_TRUE(IsChecked(ctl::kSlotsFollowPorts));
}

// "Load ports..." takes a map file the operator picks; a file that holds no map is refused with
// a box and leaves the map as it was.
TEST_P(KeptPortsTest, LoadPortsTakesAMapFileAndRefusesABadOne) {
    const std::string good = (files / "fixture.ports").string();
    const std::string bad = (files / "bad.ports").string();
    std::ofstream(good) << "# fixture A\n1=1-4\n2=1-3\n";
    std::ofstream(bad) << "1=1-4\n2=hub\n";
    prompts.fileAnswers.push_back(QString::fromStdString(good));
    Click(ctl::kLoadPorts);
    EXPECT_EQ(dlg->m_portMap, MapOf("1=1-4,2=1-3"));
    EXPECT_TRUE(MainLogHas("[Setup] Port map loaded from " + good + ": 2 port(s) bound.\r\n"))
        << MainLog();

    prompts.fileAnswers.push_back(QString::fromStdString(bad));
    Click(ctl::kLoadPorts);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.toStdString().find("'2=hub'"), std::string::npos)
        << prompts.messages[0].text.toStdString();
    EXPECT_EQ(dlg->m_portMap, MapOf("1=1-4,2=1-3"));
    Restart();
    EXPECT_EQ(dlg->m_portMap, MapOf("1=1-4,2=1-3"));
}

// A settings file written by hand: the map typed with commas is taken, an unusable mode is
// named in the main log; a FIFO in the file's place is passed over with a line, and the
// station starts all the same.
TEST_P(KeptPortsTest, AHandWrittenOrUnusableSettingsFileIsSaidInTheMainLog) {
    std::ofstream(settingsFile) << "[ports]\nmap=1=1-4, 2=1-3\nslots-follow-ports=banana\n";
    Restart();
    EXPECT_EQ(dlg->m_portMap, MapOf("1=1-4,2=1-3"));
    EXPECT_FALSE(IsChecked(ctl::kSlotsFollowPorts));
    EXPECT_TRUE(MainLogHas("[Setup] Settings file " + settingsFile.string() +
                           ": slots-follow-ports=banana is unusable (true or false, 1 or 0, on "
                           "or off, yes or no): slots do not follow ports.\r\n"))
        << MainLog();
    EXPECT_TRUE(MainLogHas("[Setup] Ports are kept in " + settingsFile.string() + "\r\n"));

    std::filesystem::remove(settingsFile);
    ASSERT_EQ(::mkfifo(settingsFile.c_str(), 0600), 0);
    Restart();
    EXPECT_TRUE(dlg->m_portMap.IsEmpty());
    EXPECT_TRUE(MainLogHas("[Setup] Settings file " + settingsFile.string() +
                           " not read: not a regular file but a FIFO. The defaults are used and "
                           "nothing is kept in it.\r\n"))
        << MainLog();
    EXPECT_FALSE(MainLogHas("Ports are kept in")) << "nothing is kept there";
    Click(ctl::kSlotsFollowPorts);
    EXPECT_TRUE(std::filesystem::is_fifo(settingsFile));
}

// "Load ports..." on a FIFO or on /dev/zero: the box says what the file is, at once, and the
// map stays as it was.
TEST_P(KeptPortsTest, LoadPortsRefusesAFifoAndADeviceAtOnce) {
    dlg->SetPortMap(MapOf("1=1-4"));
    const std::string fifo = (files / "fixture.ports").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        prompts.fileAnswers.push_back(QString::fromStdString(path));
        Click(ctl::kLoadPorts);
    }
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text.toStdString(),
              "Port map not loaded: " + fifo + ": not a regular file but a FIFO");
    EXPECT_EQ(prompts.messages[1].text.toStdString(),
              "Port map not loaded: /dev/zero: not a regular file but a character device");
    EXPECT_EQ(dlg->m_portMap, MapOf("1=1-4"));
}

INSTANTIATE_TEST_SUITE_P(Links, PortsTest, ::testing::Bool(), LinkName);
INSTANTIATE_TEST_SUITE_P(Links, KeptPortsTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
