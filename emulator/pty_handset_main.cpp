// vantorel-pty-handset: emulated handsets on pseudo-terminals, for running the station in
// another process against them (the bench's --tty mode). Serves until SIGINT or SIGTERM, or
// until every handset has left the bus; then prints each handset's record and exits 0. Exits 1
// when a handset cannot be plugged in at the start, 2 on a bad command line.

#include <signal.h>
#include <time.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line/command_option.h"
#include "emulator/handset_arguments.h"
#include "emulator/pty_handset.h"
#include "emulator/record_summary.h"

using namespace vantorel;
using namespace vantorel::emulator;

namespace {

bool AllLeft(const std::vector<std::unique_ptr<PtyHandset>>& handsets) {
    for (const auto& handset : handsets) {
        if (!handset->HasLeft()) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    PtyHandsetProgram program;
    std::string error;
    if (!ParseHandsetArguments(args, program, error)) {
        return command_line::RefuseCommandLine("vantorel-pty-handset", error);
    }
    if (program.bHelp) {
        std::fputs(PtyHandsetUsage().c_str(), stdout);
        return 0;
    }

    // The signals are taken by sigtimedwait below, never by a handler, so that no handset
    // thread is interrupted by them.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    const Clock clock(program.clockScale);
    std::vector<std::unique_ptr<PtyHandset>> handsets;
    for (PtyHandsetSpec& spec : program.handsets) {
        handsets.push_back(std::make_unique<PtyHandset>(
            spec.linkPath, clock, std::move(spec.config), std::move(spec.faults)));
        handsets.back()->Plug();
    }
    bool allPlugged = true;
    for (const auto& handset : handsets) {
        const bool plugged = handset->WaitUntilPlugged(std::chrono::seconds(5));
        std::printf("%s %s\n", plugged ? "plugged" : "not plugged", handset->LinkPath().c_str());
        allPlugged = allPlugged && plugged;
    }
    std::fflush(stdout);
    if (!allPlugged) {
        return 1;  // a link path that cannot be made (no such directory, say) is a usage error
    }

    const timespec poll{0, 50'000'000};
    while (!AllLeft(handsets)) {
        const int signal = sigtimedwait(&endSignals, nullptr, &poll);
        if (signal == SIGINT || signal == SIGTERM) {
            break;
        }
    }

    for (const auto& handset : handsets) {
        const FlashRecord record = handset->Record();
        std::printf("handset %s\n%s", handset->LinkPath().c_str(), SummarizeRecord(record).c_str());
    }
    std::fflush(stdout);
    handsets.clear();  // takes the remaining handsets off the bus and removes their links
    return 0;
}
