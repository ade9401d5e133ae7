// vantorel-gadget-handset: emulated handsets in download mode as USB gadgets (FunctionFS over
// configfs), for running the real station's USB path against them on a real USB stack.
// Serves until SIGINT or SIGTERM; SIGUSR1 writes the handsets' records when --record-dir
// is given. Needs root; the gadgets and their FunctionFS mounts are set up beforehand.

#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line/command_option.h"
#include "emulator/handset_runner.h"
#include "emulator/record_summary.h"
#include "tools/usb_vm/ffs_handset_port.h"
#include "tools/usb_vm/gadget_arguments.h"
#include "tools/usb_vm/record_files.h"

using namespace vantorel;
using namespace vantorel::usb_vm;

namespace {

struct ServedGadget {
    std::string name;
    std::unique_ptr<emulator::HandsetRunner> runner;
};

bool DumpRecords(const GadgetHandsetProgram& program, const std::vector<ServedGadget>& served,
                 uint64_t& dumps) {
    if (program.recordDir.empty()) {
        return true;
    }
    std::string error;
    for (const ServedGadget& gadget : served) {
        if (!WriteRecordFiles(program.recordDir, gadget.name, gadget.runner->Record(), error)) {
            std::fprintf(stderr, "vantorel-gadget-handset: %s\n", error.c_str());
            return false;
        }
    }
    if (!WriteDumpCount(program.recordDir, ++dumps, error)) {
        std::fprintf(stderr, "vantorel-gadget-handset: %s\n", error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    GadgetHandsetProgram program;
    std::string error;
    if (!ParseGadgetArguments(args, program, error)) {
        return command_line::RefuseCommandLine("vantorel-gadget-handset", error);
    }
    if (program.bHelp) {
        std::fputs(GadgetHandsetUsage().c_str(), stdout);
        return 0;
    }

    // Signals are taken by sigwait below, never by a handler, so no handset thread is
    // interrupted by them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const Clock clock(program.clockScale);
    std::vector<ServedGadget> served;
    for (GadgetSpec& spec : program.gadgets) {
        auto function = FfsFunction::Open(program.functionFsRoot / spec.name, error);
        if (!function) {
            std::fprintf(stderr, "vantorel-gadget-handset: gadget %s: %s\n", spec.name.c_str(),
                         error.c_str());
            return 1;
        }
        auto port = std::make_unique<FfsHandsetPort>(
            spec.name, std::move(function),
            UdcBinding(program.configfsRoot / spec.name, spec.udcName));
        served.push_back({spec.name, std::make_unique<emulator::HandsetRunner>(
                                         std::move(port), std::move(spec.config),
                                         std::move(spec.faults), clock)});
        served.back().runner->Plug();
    }
    for (const ServedGadget& gadget : served) {
        const bool plugged = gadget.runner->WaitUntilPlugged(std::chrono::seconds(10));
        std::printf("%s %s\n", plugged ? "plugged" : "not plugged", gadget.name.c_str());
    }
    std::fflush(stdout);

    uint64_t dumps = 0;
    for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0 || signal != SIGUSR1) {
            break;
        }
        DumpRecords(program, served, dumps);
    }

    const bool dumped = DumpRecords(program, served, dumps);
    for (const ServedGadget& gadget : served) {
        std::printf("handset %s\n%s", gadget.name.c_str(),
                    emulator::SummarizeRecord(gadget.runner->Record()).c_str());
    }
    std::fflush(stdout);
    served.clear();  // takes every gadget off the bus
    return dumped ? 0 : 1;
}
