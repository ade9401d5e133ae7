#include "benchmarks/byte_sum_benchmarks.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <iostream>
#include <vector>

#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"

namespace vantorel::benchmarks {

namespace {

using SumFunction = uint32_t (*)(const void*, size_t);

constexpr size_t kBufferSize = size_t{64} << 20;

const std::vector<uint8_t>& LargeBuffer() {
    static const std::vector<uint8_t> buffer = [] {
        std::vector<uint8_t> bytes(kBufferSize);
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 13));
        }
        return bytes;
    }();
    return buffer;
}

// Memory-bound: 64 MiB does not fit any cache of this class of machine.
void SumLargeBuffer(benchmark::State& state, SumFunction sum) {
    const std::vector<uint8_t>& buffer = LargeBuffer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(sum(buffer.data(), buffer.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(buffer.size()));
}

// A payload where DownloadToRam sums it: just read into the packet, so in cache, at offset
// 16 of a 2048-byte block.
void SumPacket(benchmark::State& state, SumFunction sum) {
    engine::Packet packet{};
    for (size_t i = 0; i < packet.size(); ++i) {
        packet[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    const uint8_t* payload = engine::PayloadOf(packet);
    for (auto _ : state) {
        benchmark::DoNotOptimize(sum(payload, engine::kPacketPayloadSize));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(engine::kPacketPayloadSize));
}

// Google Benchmark's console table, with the medians kept for the figures.
class MedianKeeper final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("bytes_per_second");
            if (rate == run.counters.end()) {
                continue;
            }
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            // With one repetition there is no aggregate: the single run is the figure.
            if (median || (run.run_type == Run::RT_Iteration &&
                           !m_rates.contains(run.run_name.function_name))) {
                m_rates[run.run_name.function_name] = rate->second.value;
            }
        }
    }
    std::map<std::string, double> m_rates;
};

}  // namespace

std::map<std::string, double> RunByteSumBenchmarks(int repetitions, double minSeconds) {
    const struct {
        const char* name;
        void (*body)(benchmark::State&, SumFunction);
        SumFunction sum;
    } kernels[] = {
        {"bytesum/buffer_64mib", SumLargeBuffer, engine::ByteSum},
        {"bytesum/packet_2032", SumPacket, engine::ByteSum},
        {"bytesum_portable/buffer_64mib", SumLargeBuffer, engine::ByteSumPortable},
        {"bytesum_portable/packet_2032", SumPacket, engine::ByteSumPortable},
    };
    for (const auto& kernel : kernels) {
        benchmark::RegisterBenchmark(kernel.name, kernel.body, kernel.sum)
            ->Repetitions(repetitions)
            ->ReportAggregatesOnly(repetitions > 1)
            ->MinTime(minSeconds);
    }
    MedianKeeper reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter.m_rates;
}

}  // namespace vantorel::benchmarks
