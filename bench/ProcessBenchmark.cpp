// Whole processes, process start included: syvhost querying all classes on
// the bundled simulated tools, started as a user starts it, against the
// simulated tools run bare, as the host's process service runs them.
// syvhost runs the Fibre Channel tool once and the iSCSI tool twice
// (discovery, then the raw data), so the bare run of those three is what its
// overhead is measured against.
#include "InProcessCollector.h"
#include "PluginLibrary.h"
#include "Platform.h"
#include "plugin/ServedClasses.h"
#include "syvcore/StandinHost.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

const int kTimeoutSeconds = 60;

struct Program {
    std::string path;
    std::vector<std::string> arguments;
};

Program Syvhost() {
    // Every class, MOF to the captured standard output, no log on standard
    // error.
    return {syv::ProgramFolder() + "/syvhost" + syv::kExecutableSuffix, {"--log-level", "0"}};
}

Program FibreChannelTool() { return {syv::ProgramFolder() + "/qlogic/scli.exe", {"-z"}}; }

Program IScsiTool() { return {syv::ProgramFolder() + "/qlogic/iscli.exe", {"-z"}}; }

// User and system time of this process (starting a program costs its parent
// too) and of the children it has reaped, with theirs: each run's supervisor
// and the program it ran, and for syvhost also its own runs.
double CpuSeconds() {
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
    return total;
}

// Runs the programs one after the other per iteration; skips the benchmark
// when one fails, so that a broken build cannot pass for a fast one. Besides
// wall time, the processor time of the processes it started, which a machine
// shared with other work disturbs less.
void RunPrograms(benchmark::State& state, const std::vector<Program>& programs) {
    std::size_t outputBytes = 0;
    const double cpuBefore = CpuSeconds();
    for (auto _ : state) {
        outputBytes = 0;
        for (const Program& program : programs) {
            const syv::ProgramResult result =
                syv::StandinHost::RunProgram(program.path, program.arguments, kTimeoutSeconds);
            if (result.exitCode != 0 || result.standardOutput.empty()) {
                state.SkipWithError((program.path + " exited with " + std::to_string(result.exitCode) + ": " +
                                     result.standardError).c_str());
                return;
            }
            outputBytes += result.standardOutput.size();
        }
    }
    state.counters["output_bytes"] = static_cast<double>(outputBytes);
    state.counters["cpu_ms"] = 1000 * (CpuSeconds() - cpuBefore) /
                               static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// Starts the program straight from here, as a shell does, and reads its
// standard output whole; the exit status, or -1 when it could not start.
int RunDirectly(const Program& program, std::size_t& outputBytes) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::vector<char*> argv{const_cast<char*>(program.path.c_str())};
    for (const std::string& argument : program.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char buffer[65536];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) outputBytes += static_cast<std::size_t>(got);
    close(out[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void BM_SyvhostAllClasses(benchmark::State& state) {
    const Program syvhost = Syvhost();
    std::size_t outputBytes = 0;
    const double cpuBefore = CpuSeconds();
    for (auto _ : state) {
        outputBytes = 0;
        const int status = RunDirectly(syvhost, outputBytes);
        if (status != 0 || outputBytes == 0) {
            state.SkipWithError((syvhost.path + " exited with " + std::to_string(status)).c_str());
            return;
        }
    }
    state.counters["output_bytes"] = static_cast<double>(outputBytes);
    state.counters["cpu_ms"] = 1000 * (CpuSeconds() - cpuBefore) /
                               static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

void BM_FibreChannelToolAlone(benchmark::State& state) { RunPrograms(state, {FibreChannelTool()}); }

void BM_BothToolsOnce(benchmark::State& state) { RunPrograms(state, {FibreChannelTool(), IScsiTool()}); }

void BM_ToolRunsOfSyvhost(benchmark::State& state) {
    RunPrograms(state, {FibreChannelTool(), IScsiTool(), IScsiTool()});
}

// The Fibre Channel tool run by a host holding 512 MiB that it has written
// (a server after many queries): what a start costs for the host's size.
void BM_FibreChannelToolFromLargeHost(benchmark::State& state) {
    const std::vector<char> held(std::size_t(512) << 20, 1);
    RunPrograms(state, {FibreChannelTool()});
    benchmark::DoNotOptimize(held.data());
}

// A cached query of all classes for 4 adapters a kind, as a share of one bare
// run of the Fibre Channel tool: each iteration times one of each, so that
// both see the same state of a machine whose speed drifts. The query is timed
// three times: right after the tool run, again at once, as queries in a row
// and the query benchmarks find them, and after a sleep as long as the tool
// run, which shows how much of the first one's extra time is waking the
// processor from idle rather than anything the tool left behind.
void BM_CachedQueryShareOfToolRun(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const velkor::bench::InProcessCollector collector(4);
    if (collector.Query(velkor::ServedClasses()).failed) {
        state.SkipWithError("the query failed");
        return;
    }
    const Program tool = FibreChannelTool();
    Clock::duration toolTime{};
    Clock::duration afterToolTime{};
    Clock::duration againTime{};
    Clock::duration afterSleepTime{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const syv::ProgramResult result = syv::StandinHost::RunProgram(tool.path, tool.arguments, kTimeoutSeconds);
        const Clock::time_point toolDone = Clock::now();
        const bool failedAfterTool = collector.Query(velkor::ServedClasses()).failed;
        const Clock::time_point firstDone = Clock::now();
        const bool failedAgain = collector.Query(velkor::ServedClasses()).failed;
        const Clock::time_point secondDone = Clock::now();
        std::this_thread::sleep_for(toolDone - start);
        const Clock::time_point slept = Clock::now();
        const bool failedAfterSleep = collector.Query(velkor::ServedClasses()).failed;
        afterSleepTime += Clock::now() - slept;
        againTime += secondDone - firstDone;
        afterToolTime += firstDone - toolDone;
        toolTime += toolDone - start;
        if (result.exitCode != 0 || failedAfterTool || failedAgain || failedAfterSleep) {
            state.SkipWithError("the tool or the query failed");
            return;
        }
    }
    const auto perIteration = [&state](Clock::duration total) {
        return std::chrono::duration<double, std::micro>(total).count() / static_cast<double>(state.iterations());
    };
    const auto share = [toolTime](Clock::duration total) {
        return 100.0 * std::chrono::duration<double>(total).count() / std::chrono::duration<double>(toolTime).count();
    };
    state.counters["tool_us"] = perIteration(toolTime);
    state.counters["after_tool_us"] = perIteration(afterToolTime);
    state.counters["after_tool_pct"] = share(afterToolTime);
    state.counters["again_us"] = perIteration(againTime);
    state.counters["again_pct"] = share(againTime);
    state.counters["after_sleep_us"] = perIteration(afterSleepTime);
}

}  // namespace

// Wall-clock time: the work happens in the children. Process starts vary
// more than computation, hence five runs each.
BENCHMARK(BM_SyvhostAllClasses)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FibreChannelToolAlone)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BothToolsOnce)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FibreChannelToolFromLargeHost)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolRunsOfSyvhost)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedQueryShareOfToolRun)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
