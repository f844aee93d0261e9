// Parse time of both tool outputs against the number of adapters listed.
// Bytes processed are reported, so the figures read as throughput; equal
// throughput at every size shows that parsing is linear in the output size.
#include "ToolText.h"
#include "discovery/FibreChannelParser.h"
#include "discovery/IScsiParser.h"
#include "discovery/TextScan.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

void ReportBytes(benchmark::State& state, const std::string& output) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(output.size()));
    state.counters["output_bytes"] = static_cast<double>(output.size());
    // Seconds per MiB of output: the figure that stays flat when parsing is
    // linear.
    const double mebibytes = static_cast<double>(output.size()) / (1024.0 * 1024.0);
    state.counters["per_MiB"] = benchmark::Counter(static_cast<double>(state.iterations()) * mebibytes,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void ParseFibreChannel(benchmark::State& state, const std::string& output) {
    for (auto _ : state) {
        const auto blocks = velkor::CutFibreChannelBlocks(output);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            velkor::AdapterRecord record = velkor::ReadFibreChannelRecord(static_cast<std::uint32_t>(i), blocks[i]);
            benchmark::DoNotOptimize(record);
        }
    }
    ReportBytes(state, output);
}

void BM_FibreChannel(benchmark::State& state) {
    ParseFibreChannel(state, velkor::bench::FibreChannelToolOutput(state.range(0)));
}

void BM_FibreChannelWithoutEndMarkers(benchmark::State& state) {
    ParseFibreChannel(state, velkor::bench::FibreChannelToolOutputWithoutEndMarkers(state.range(0)));
}

void BM_IScsi(benchmark::State& state) {
    const std::string output = velkor::bench::IScsiToolOutput(state.range(0));
    for (auto _ : state) {
        const auto blocks = velkor::CutIScsiBlocks(output);
        for (std::size_t i = 0; i < blocks->size(); ++i) {
            velkor::AdapterRecord record = velkor::ReadIScsiRecord(static_cast<std::uint32_t>(i), velkor::OwnLines(*blocks, i));
            benchmark::DoNotOptimize(record);
        }
    }
    ReportBytes(state, output);
}

}  // namespace

// Medians of three runs keep a busy moment from deciding a figure.
BENCHMARK(BM_FibreChannel)
    ->Arg(1)->Arg(64)->Arg(1024)->Arg(8192)->Arg(32768)
    ->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FibreChannelWithoutEndMarkers)
    ->Arg(8192)
    ->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IScsi)
    ->Arg(1)->Arg(64)->Arg(1024)->Arg(8192)->Arg(16384)->Arg(65536)
    ->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMicrosecond);
