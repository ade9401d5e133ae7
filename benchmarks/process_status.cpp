#include "benchmarks/process_status.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vantorel::benchmarks {

long ProcessStatusField(const char* key) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return -1;
    }
    const size_t keyLength = std::strlen(key);
    long value = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':' &&
            std::sscanf(line + keyLength + 1, "%ld", &value) == 1) {
            break;
        }
    }
    std::fclose(status);
    return value;
}

int OpenDescriptorCount() {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error)) {
        ++count;
    }
    // The directory's own descriptor was open while it was read.
    return error ? -1 : count - 1;
}

}  // namespace vantorel::benchmarks
