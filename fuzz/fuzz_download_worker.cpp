// The slot worker against a hostile handset: arbitrary replies of any length, silence,
// disconnects and failed re-connections, read from the input (see hostile_handset.h).
#include "tests/support/hostile_handset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vantorel::test::HostileOutcome outcome = vantorel::test::RunHostileHandset(data, size);
    if (!outcome.problem.empty()) {
        __builtin_trap();
    }
    return 0;
}
