#pragma once

#include <chrono>

namespace vantorel {

// The CPU time this process has used so far, all its threads together, split as the kernel
// counts it. Figures of CPU per byte are differences of two of these.
struct ProcessCpu {
    std::chrono::microseconds user{};
    std::chrono::microseconds system{};

    std::chrono::microseconds Total() const { return user + system; }
    static ProcessCpu Now();
    // The calling thread's share alone.
    static ProcessCpu ThisThread();
};

ProcessCpu operator-(const ProcessCpu& later, const ProcessCpu& earlier);

}  // namespace vantorel
