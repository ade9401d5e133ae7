#include "benchmarks/bare_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <thread>

#include "benchmarks/thread_cpu.h"
#include "link/platform/linux/unique_fd.h"

namespace vantorel::benchmarks {

namespace {

using link::linux_platform::UniqueFd;

constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

bool MakeRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        return false;
    }
    ::cfmakeraw(&settings);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool Transfer(int fd, uint8_t* data, size_t length, bool reading) {
    size_t done = 0;
    while (done < length) {
        const ssize_t count = reading ? ::read(fd, data + done, length - done)
                                      : ::write(fd, data + done, length - done);
        if (count > 0) {
            done += static_cast<size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

double RequestAndWait(int fd, int roundTrips) {
    uint8_t request[2048]{};
    uint8_t reply[4];
    const double cpu0 = ThreadCpuSeconds();
    for (int trip = 0; trip < roundTrips; ++trip) {
        if (!Transfer(fd, request, sizeof request, false)) {
            return kNotMeasured;
        }
        size_t got = 0;
        while (got < sizeof reply) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 10000) <= 0) {
                return kNotMeasured;
            }
            const ssize_t count = ::read(fd, reply + got, sizeof reply - got);
            if (count <= 0) {
                return kNotMeasured;
            }
            got += static_cast<size_t>(count);
        }
    }
    return (ThreadCpuSeconds() - cpu0) * 1e6 / roundTrips;
}

}  // namespace

double BarePtyRoundTripCpuMicros(int roundTrips) {
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char name[128];
    if (!master || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0 ||
        ::ptsname_r(master.Get(), name, sizeof name) != 0) {
        return kNotMeasured;
    }
    UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave || !MakeRaw(master.Get()) || !MakeRaw(slave.Get())) {
        return kNotMeasured;
    }

    std::jthread echo([&] {
        uint8_t request[2048];
        uint8_t reply[4]{'O', 'K', 'U', 'D'};
        for (int trip = 0; trip < roundTrips; ++trip) {
            if (!Transfer(master.Get(), request, sizeof request, true) ||
                !Transfer(master.Get(), reply, sizeof reply, false)) {
                return;
            }
        }
    });

    const double micros = RequestAndWait(slave.Get(), roundTrips);
    // An echo still waiting for a request sees the hang-up and ends; then it is joined.
    slave.Reset();
    return micros;
}

}  // namespace vantorel::benchmarks
