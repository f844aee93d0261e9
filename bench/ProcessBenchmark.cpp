// Whole processes, started as the host starts tools (process start
// included): syvhost querying all classes on the bundled simulated tools,
// against the simulated tools run bare. syvhost runs the Fibre Channel tool
// once and the iSCSI tool twice (discovery, then the raw data), so the bare
// run of those three is what its overhead is measured against.
#include "PluginLibrary.h"
#include "syvcore/StandinHost.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

#ifdef _WIN32
const char* const kExeSuffix = ".exe";
#else
const char* const kExeSuffix = "";
#endif

const int kTimeoutSeconds = 60;

struct Program {
    std::string path;
    std::vector<std::string> arguments;
};

Program Syvhost() {
    // Every class, MOF to the captured standard output, no log on standard
    // error.
    return {syv::ProgramFolder() + "/syvhost" + kExeSuffix, {"--log-level", "0"}};
}

Program FibreChannelTool() { return {syv::ProgramFolder() + "/qlogic/scli.exe", {"-z"}}; }

Program IScsiTool() { return {syv::ProgramFolder() + "/qlogic/iscli.exe", {"-z"}}; }

// Runs the programs one after the other per iteration; skips the benchmark
// when one fails, so that a broken build cannot pass for a fast one.
void RunPrograms(benchmark::State& state, const std::vector<Program>& programs) {
    std::size_t outputBytes = 0;
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
}

void BM_SyvhostAllClasses(benchmark::State& state) { RunPrograms(state, {Syvhost()}); }

void BM_FibreChannelToolAlone(benchmark::State& state) { RunPrograms(state, {FibreChannelTool()}); }

void BM_BothToolsOnce(benchmark::State& state) { RunPrograms(state, {FibreChannelTool(), IScsiTool()}); }

void BM_ToolRunsOfSyvhost(benchmark::State& state) {
    RunPrograms(state, {FibreChannelTool(), IScsiTool(), IScsiTool()});
}

}  // namespace

// Wall-clock time: the work happens in the children. Process starts vary
// more than computation, hence five runs each.
BENCHMARK(BM_SyvhostAllClasses)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FibreChannelToolAlone)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BothToolsOnce)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolRunsOfSyvhost)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly()->Unit(benchmark::kMillisecond);
