#pragma once

namespace vantorel::benchmarks {

// A number of this process's /proc/self/status, by its key ("VmHWM", "VmRSS" in kB;
// "Threads"); -1 when it cannot be read.
long ProcessStatusField(const char* key);

// The file descriptors this process has open now; -1 when they cannot be counted.
int OpenDescriptorCount();

}  // namespace vantorel::benchmarks
