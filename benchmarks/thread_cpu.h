#pragma once

#include <sys/resource.h>
#include <time.h>

namespace vantorel::benchmarks {

// CPU time the calling thread has used so far, in seconds (user and system). Read inside a
// worker thread, it is the station's own work: the handsets run on threads of their own.
inline double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// What the calling thread has cost so far, split as the kernel accounts it.
struct ThreadUsage {
    double userSeconds = 0.0;
    double systemSeconds = 0.0;
    long voluntarySwitches = 0;  // the thread blocked (a wait for the handset's reply)
    long forcedSwitches = 0;     // the scheduler took the processor away

    static ThreadUsage Now() {
        rusage usage{};
        ::getrusage(RUSAGE_THREAD, &usage);
        const auto seconds = [](const timeval& time) {
            return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
        };
        return {seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_nvcsw, usage.ru_nivcsw};
    }
    ThreadUsage operator-(const ThreadUsage& earlier) const {
        return {userSeconds - earlier.userSeconds, systemSeconds - earlier.systemSeconds,
                voluntarySwitches - earlier.voluntarySwitches,
                forcedSwitches - earlier.forcedSwitches};
    }
};

inline double WallSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace vantorel::benchmarks
