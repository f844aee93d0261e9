// The four association classes queried alone with filled inventories: each
// builder enumerates its controller and element classes through the host and
// pairs them, so this is the pairing's cost against the adapter count. The
// complexity fit and the time per adapter show how it grows. No repetitions:
// the largest size runs once and takes long enough alone.
#include "InProcessCollector.h"
#include "plugin/Constants.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

using velkor::bench::AssociationClasses;
using velkor::bench::InProcessCollector;

void BM_QueryAssociationsCached(benchmark::State& state) {
    const std::int64_t adapters = state.range(0);
    InProcessCollector collector(adapters);
    // Querying the controllers fills both inventories at a cost linear in the
    // adapters; the association query itself is checked from the last timed
    // run, since at a thousand adapters one run takes minutes.
    const syv::QueryReport fill = collector.Query({velkor::kFibreChannelControllerClass, velkor::kIScsiControllerClass});
    if (fill.failed) {
        state.SkipWithError(("the query failed: " + fill.message).c_str());
        return;
    }
    syv::QueryReport report;
    for (auto _ : state) {
        report = collector.Query(AssociationClasses());
        benchmark::DoNotOptimize(report);
    }
    if (report.failed || report.instances.size() != velkor::bench::ExpectedAssociations(adapters)) {
        state.SkipWithError(("the query committed " + std::to_string(report.instances.size()) +
                             " associations: " + report.message).c_str());
        return;
    }
    state.SetComplexityN(adapters);
    state.counters["associations"] = static_cast<double>(report.instances.size());
    // Seconds per adapter of each kind, so that linear growth reads as a
    // constant.
    state.counters["per_adapter"] = benchmark::Counter(static_cast<double>(state.iterations() * adapters),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_QueryAssociationsCached)
    ->Arg(1)->Arg(4)->Arg(64)->Arg(256)->Arg(1024)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);
