#pragma once

namespace vantorel::benchmarks {

// The main log of the real dialog (offscreen), appended to on the dialog thread in blocks of
// 1,000 lines, each block followed by the event loop until the view shows it. The dialog
// thread's CPU for everything, for the first block and for the last.
struct MainLogAppends {
    double totalSeconds = 0.0;
    double firstThousandSeconds = 0.0;
    double lastThousandSeconds = 0.0;
    bool ok = false;  // the log holds every line, and the view shows its end
};
MainLogAppends MeasureMainLogAppends(int lines);

// Status notifications sent to the real dialog (shown offscreen) by eight worker threads at
// once, each waiting for its notification to be handled, as a worker does.
struct StatusHandling {
    double dialogCpuMicros = 0.0;  // the dialog thread's CPU per notification
    double wallMicros = 0.0;       // elapsed time per notification, all eight senders together
    double directMicros = 0.0;     // the handler alone, called on the dialog thread
    bool ok = false;               // every notification was handled and none ended a slot
};
StatusHandling MeasureStatusNotifications(int perWorker);

}  // namespace vantorel::benchmarks
