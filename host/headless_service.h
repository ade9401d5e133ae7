#pragma once

#include "base/unique_fd.h"
#include "console/console_environment.h"
#include "host/station_arguments.h"

namespace vantorel::host {

// `vantorel --headless`: the station without a window on this machine's handsets. It
// chooses the images and options it was given, arms detection at once and runs batch after
// batch until SIGTERM or SIGINT; the main log goes to standard output. On a stop signal no
// new handset is taken, running ones get `args.stopBound` to finish and are then ended with
// their status, and the records close. Needs a QApplication (offscreen is enough). Returns
// the exit code.
int RunHeadlessStation(const StationArguments& args, const console::ConsoleEnvironment& env,
                       const UniqueFd& stopFd);

// SIGTERM and SIGINT as a readable descriptor, so that the event loop hears them. First thing:
// they are blocked in the calling thread and every thread it makes afterwards.
UniqueFd WatchStopSignals();

}  // namespace vantorel::host
