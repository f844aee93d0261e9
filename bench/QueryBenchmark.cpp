// A whole query of all twelve classes, the tools answered in process:
// "first" runs discovery (the inventories are dropped before every query),
// "cached" serves from the inventories a query before the loop filled. The
// iSCSI raw-data class runs its tool on every query, cached or not, so the
// cached query still makes one tool call.
#include "InProcessCollector.h"
#include "plugin/ServedClasses.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

using velkor::ServedClasses;
using velkor::bench::InProcessCollector;

// Skips the benchmark unless a query of all classes commits what the
// adapters call for.
bool CheckAllClassesQuery(benchmark::State& state, const InProcessCollector& collector) {
    const syv::QueryReport report = collector.Query(ServedClasses());
    if (report.failed) {
        state.SkipWithError(("the query failed: " + report.message).c_str());
        return false;
    }
    if (report.instances.size() != velkor::bench::ExpectedInstancesOfAllClasses(state.range(0))) {
        state.SkipWithError(("the query committed " + std::to_string(report.instances.size()) + " instances").c_str());
        return false;
    }
    return true;
}

void ReportQueryCounters(benchmark::State& state, const InProcessCollector& collector, std::int64_t runsBefore) {
    state.counters["instances"] = static_cast<double>(velkor::bench::ExpectedInstancesOfAllClasses(state.range(0)));
    state.counters["tool_runs"] = benchmark::Counter(static_cast<double>(collector.ToolRuns() - runsBefore),
                                                     benchmark::Counter::kAvgIterations);
}

void BM_QueryAllClassesFirst(benchmark::State& state) {
    InProcessCollector collector(state.range(0));
    if (!CheckAllClassesQuery(state, collector)) {
        return;
    }
    const std::int64_t runsBefore = collector.ToolRuns();
    // Timed by hand: dropping the inventories is the reset, not the query.
    for (auto _ : state) {
        collector.Shutdown();
        const auto start = std::chrono::steady_clock::now();
        {
            syv::QueryReport report = collector.Query(ServedClasses());
            benchmark::DoNotOptimize(report);
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    ReportQueryCounters(state, collector, runsBefore);
}

void BM_QueryAllClassesCached(benchmark::State& state) {
    InProcessCollector collector(state.range(0));
    if (!CheckAllClassesQuery(state, collector)) {
        return;
    }
    const std::int64_t runsBefore = collector.ToolRuns();
    for (auto _ : state) {
        syv::QueryReport report = collector.Query(ServedClasses());
        benchmark::DoNotOptimize(report);
    }
    ReportQueryCounters(state, collector, runsBefore);
}

}  // namespace

BENCHMARK(BM_QueryAllClassesFirst)
    ->Arg(4)->Arg(64)
    ->UseManualTime()->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryAllClassesCached)
    ->Arg(4)->Arg(64)
    ->Repetitions(3)->ReportAggregatesOnly()->Unit(benchmark::kMicrosecond);
