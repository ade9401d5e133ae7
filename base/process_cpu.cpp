#include "base/process_cpu.h"

#include <sys/resource.h>

namespace vantorel {

namespace {

std::chrono::microseconds FromTimeval(const timeval& time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
}

ProcessCpu Usage(int who) {
    rusage usage{};
    if (::getrusage(who, &usage) != 0) {
        return {};
    }
    return {FromTimeval(usage.ru_utime), FromTimeval(usage.ru_stime)};
}

}  // namespace

ProcessCpu ProcessCpu::Now() {
    return Usage(RUSAGE_SELF);
}

ProcessCpu ProcessCpu::ThisThread() {
    return Usage(RUSAGE_THREAD);
}

ProcessCpu operator-(const ProcessCpu& later, const ProcessCpu& earlier) {
    return {later.user - earlier.user, later.system - earlier.system};
}

}  // namespace vantorel
