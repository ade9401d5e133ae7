#pragma once

namespace vantorel::benchmarks {

// The floor of the serial-style link on a pseudo-terminal: CPU time of one 2048-byte
// request and 4-byte reply, measured on the requesting thread, with nothing but the system
// calls such a round trip needs (write, poll, read) and an echo thread at the other end.
// NaN when no pseudo-terminal can be had.
double BarePtyRoundTripCpuMicros(int roundTrips);

}  // namespace vantorel::benchmarks
