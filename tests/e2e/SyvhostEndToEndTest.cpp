// syvhost run as a person runs it: a child process with a command line,
// against tools folders made here from the transcript corpus, with the
// simulated tools' fault knobs set through the environment. Only what needs
// the process boundary is here; the writers, the dispatcher and syvcore have
// their own tests.
#include "PluginLibrary.h"
#include "Platform.h"
#include "TestEnvironment.h"
#include "VelkorVersion.h"
#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using syv::ProgramResult;
using Environment = std::vector<std::pair<std::string, std::string>>;
using Json = nlohmann::ordered_json;

// Generous: a run takes a second or two, under Wine a few more.
const int kRunLimitSeconds = 120;

std::string BinFolder() { return syv::ProgramFolder(); }

std::string SyvhostPath() { return BinFolder() + "/syvhost" + syv::kExecutableSuffix; }

std::vector<std::string> Concat(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Runs program with the test's environment plus the overrides, through the
// host's own process runner; a child that does not end in time fails the
// test with the runner's exception.
ProgramResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                       const Environment& environment = {}) {
    testsupport::ScopedEnvironment overrides;
    for (const auto& variable : environment) overrides.Set(variable.first, variable.second);
    return syv::StandinHost::RunProgram(program, arguments, kRunLimitSeconds);
}

// What stops syvhost: exit status 2 and one line on standard error that
// starts with start and holds says.
void ExpectStopped(const ProgramResult& result, const std::string& start, const std::string& says) {
    const std::string& error = result.standardError;
    EXPECT_EQ(result.exitCode, 2) << error;
    EXPECT_EQ(error.find('\n'), error.size() - 1) << error;
    EXPECT_EQ(error.rfind(start, 0), 0u) << error;
    EXPECT_NE(error.find(says), std::string::npos) << error;
}

class SyvhostTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        work_ = BinFolder() + "/../e2e-work/" + info->test_suite_name() + "." + info->name();
        fs::remove_all(work_);
        fs::create_directories(work_ + "/tools/qlogic");
        for (const char* tool : {"scli", "iscli"}) {
            const std::string target = work_ + "/tools/qlogic/" + tool;
            fs::copy_file(BinFolder() + "/qlogic/" + tool + ".exe", target + ".exe");
            fs::copy_file(std::string(VELKOR_TRANSCRIPTS_DIR) + "/" + tool + ".txt", target + ".txt");
        }
    }

    std::vector<std::string> WithTools(std::vector<std::string> arguments) const {
        if (std::find(arguments.begin(), arguments.end(), "--tools") == arguments.end()) {
            arguments.insert(arguments.begin(), {"--tools", work_ + "/tools"});
        }
        return arguments;
    }

    ProgramResult Syvhost(const std::vector<std::string>& arguments, const Environment& environment = {}) const {
        return RunChild(SyvhostPath(), WithTools(arguments), environment);
    }

    // syvhost started by a POSIX shell command that ends in
    // exec "$0" "$@", for what a shell sets up: redirections, limits.
    ProgramResult SyvhostFromShell(const std::string& command, const std::vector<std::string>& arguments) const {
        return RunChild("/bin/sh", Concat({"-c", command, SyvhostPath()}, WithTools(arguments)));
    }

    // The queries of a JSON report from a run that ends with exitStatus.
    Json JsonQueries(std::vector<std::string> arguments, int exitStatus, const Environment& environment = {}) const {
        arguments.insert(arguments.begin(), {"--format", "json"});
        const ProgramResult result = Syvhost(arguments, environment);
        EXPECT_EQ(result.exitCode, exitStatus) << result.standardError;
        return Json::parse(result.standardOutput)["queries"];
    }

    std::string work_;
};

// Runs the rest of a scope in another working folder.
class ScopedWorkingFolder {
public:
    explicit ScopedWorkingFolder(const std::string& folder) : previous_(fs::current_path()) {
        fs::current_path(fs::u8path(folder));
    }
    ~ScopedWorkingFolder() { fs::current_path(previous_); }
    ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
    ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

private:
    fs::path previous_;
};

// Without classes: all twelve in table order, three Fibre Channel ports and
// two iSCSI ports, one raw-data instance per tool; the Fibre Channel raw data
// reuses discovery's run, the iSCSI raw data runs its tool again. A tool's own
// exit status is recorded and logged, without changing what the plug-in makes
// of its output.
TEST_F(SyvhostTest, DefaultQueryReportsEveryClassInTableOrder) {
    const Json queries = JsonQueries({}, 0, {{"ISCLI_EXIT_CODE", "2"}});
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0]["classes"], Json(velkor::ServedClasses()));
    std::vector<std::string> classes;
    for (const Json& instance : queries[0]["instances"]) classes.push_back(instance["class"]);
    std::vector<std::string> expected;
    for (const std::string& name : velkor::ServedClasses()) {
        const bool raw = name == velkor::kFibreChannelRawDataClass || name == velkor::kIScsiRawDataClass;
        expected.insert(expected.end(), raw ? 1 : name.find("FibreChannel") != std::string::npos ? 3 : 2, name);
    }
    EXPECT_EQ(classes, expected);
    EXPECT_EQ(queries[0]["tool_runs"].dump(),
              R"([{"command":"qlogic//scli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":0},)"
              R"({"command":"qlogic//iscli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":2},)"
              R"({"command":"qlogic//iscli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":2}])");
    std::vector<std::string> warnings;
    for (const Json& entry : queries[0]["log"]) {
        if (entry["level"] == 2) warnings.push_back(entry["message"]);
    }
    ASSERT_EQ(warnings.size(), 2u) << queries[0]["log"].dump();
    const std::string exited = " exited with status 2";
    EXPECT_EQ(warnings[0].rfind(velkor::kIScsiToolPath, 0), 0u) << warnings[0];
    EXPECT_EQ(warnings[0].substr(warnings[0].size() - exited.size()), exited);
}

// The inventories live as long as the plug-in is not shut down; a failed
// collection is not kept, and one failed repeat makes the exit status 1.
TEST_F(SyvhostTest, RepeatsReuseWhatWasCollectedUntilShutdown) {
    const std::string crashMarker = work_ + "/crashed";
    const struct {
        std::vector<std::string> options;
        Environment environment;
        int exitStatus;
        std::size_t queries, firstInstances, firstRuns, lastRuns;
    } cases[] = {
        {{"--repeat", "010"}, {}, 0, 10, 5, 2, 0},  // decimal: ten, not eight
        {{"--repeat", "2", "--shutdown-between"}, {}, 0, 2, 5, 2, 2},
        {{"--repeat", "2"}, {{"SCLI_CRASH_ONCE", crashMarker}}, 1, 2, 0, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.back() + (c.environment.empty() ? "" : " crash once"));
        const std::vector<std::string> arguments =
            Concat(c.options, {velkor::kFibreChannelControllerClass, velkor::kIScsiControllerClass});
        const Json queries = JsonQueries(arguments, c.exitStatus, c.environment);
        ASSERT_EQ(queries.size(), c.queries);
        EXPECT_EQ(queries[0]["instances"].size(), c.firstInstances);
        EXPECT_EQ(queries[0]["tool_runs"].size(), c.firstRuns);
        EXPECT_EQ(queries.back()["tool_runs"].size(), c.lastRuns);
        EXPECT_TRUE(queries.back()["error"].is_null()) << queries.dump();
        EXPECT_EQ(queries.back()["instances"].size(), 5u);
    }
}

// A failed query still gives what was committed before it, and exit status 1.
TEST_F(SyvhostTest, AFailedQueryEndsWithItsStatus) {
    const struct {
        std::vector<std::string> arguments;
        Environment environment;
        int status;
        std::size_t instances;
        std::string stderrStart;
    } cases[] = {
        // The cap is the host's: the tool run still shows the timeout asked for.
        {{"--max-tool-seconds", "1", velkor::kFibreChannelControllerClass}, {{"SCLI_DELAY_MS", "600000"}}, 8, 0, ""},
        {{velkor::kFibreChannelControllerClass, "CIM_Unserved\x1b[2J"}, {}, 2, 3, ""},
        {{"--tools", work_ + "/nowhere", velkor::kIScsiControllerClass}, {}, 6, 0, "syvhost: warning: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("status " + std::to_string(c.status));
        const ProgramResult result = Syvhost(Concat({"--format", "json"}, c.arguments), c.environment);
        EXPECT_EQ(result.exitCode, 1) << result.standardError;
        const Json query = Json::parse(result.standardOutput)["queries"][0];
        EXPECT_EQ(query["error"]["status"], c.status);
        EXPECT_EQ(query["instances"].size(), c.instances);
        EXPECT_EQ(query["tool_runs"][0]["timeout"], 300);
        EXPECT_EQ(query["tool_runs"][0]["exit_code"].is_null(), c.status != 2);  // only the unserved row's tool ran
        EXPECT_EQ(result.standardError.rfind(c.stderrStart, 0), 0u) << result.standardError;
        // Also said on standard error, where no text can drive the terminal.
        std::string message = query["error"]["message"];
        const std::size_t escape = message.find('\x1b');
        if (escape != std::string::npos) message.replace(escape, 1, "\\x1b");
        const std::string line = "syvhost: query 1 of 1 failed: status " + std::to_string(c.status) + ": " + message;
        const std::size_t at = result.standardError.find(line);
        EXPECT_NE(at, std::string::npos) << result.standardError;
        EXPECT_EQ(result.standardError.find_first_of("\r\n", at), at + line.size()) << result.standardError;
    }
}

// Names outside the ANSI code page reach the system whole, from the command
// line and from the working folder.
TEST_F(SyvhostTest, AToolsFolderNamedWithAnyCharacterWorks) {
    const std::string tools = work_ + u8"/tools \u2603";
    fs::rename(fs::u8path(work_ + "/tools"), fs::u8path(tools));
    EXPECT_EQ(JsonQueries({"--tools", tools, velkor::kIScsiControllerClass}, 0)[0]["instances"].size(), 2u);

    const ScopedWorkingFolder inTools(tools);
    const ProgramResult result = Syvhost({"--tools", ".", velkor::kIScsiControllerClass});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError, "");
}

// Standard output on a full device, closed, or a pipe whose reader has gone:
// a shell's redirections (the pipe is a FIFO opened for reading and writing,
// then for writing, and the first one closed), and on Windows, which has no
// shell for them, a launcher (Wine's Z: drive is the Unix root). Reports
// smaller than the output's buffer fail only at the final flush; a server
// that cannot say its address does not serve. Every format writes through
// the same output, so one format stands for all.
TEST_F(SyvhostTest, AReportThatCannotBeWrittenIsExitStatusTwo) {
#ifdef _WIN32
    const std::string full = "Z:\\dev\\full", closed = "closed", brokenPipe = "broken-pipe";
#else
    const std::string pipe = "'" + work_ + "/pipe'";
    const std::string full = ">/dev/full", closed = ">&-", brokenPipe = "3<>" + pipe + " >" + pipe + " 3>&-";
#endif
    const std::string report = "syvhost: cannot write the report: ";
    const struct { std::string output; std::vector<std::string> arguments; std::string start; } cases[] = {
        {full, {"--format", "mof"}, report},
        {closed, {"--format", "mof"}, report},
        {full, {"--version"}, report},
        {full, {velkor::kIScsiControllerClass}, report},
        {brokenPipe, {"--format", "openmetrics"}, report},
        {brokenPipe, {"--version"}, report},
        {brokenPipe, {"--serve", "--listen", "127.0.0.1:0"}, "syvhost: cannot write the server's address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output + " " + c.arguments.back());
#ifdef _WIN32
        const ProgramResult result = RunChild(BinFolder() + "/stdout_launcher.exe",
                                              Concat({c.output, SyvhostPath()}, WithTools(c.arguments)));
#else
        const ProgramResult result =
            SyvhostFromShell("rm -f " + pipe + " && mkfifo " + pipe + " && exec \"$0\" \"$@\" " + c.output, c.arguments);
#endif
        ExpectStopped(result, c.start, "");
    }
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// Far more lines than fit under the limit: the raw-data query fails alone,
// and the report stays whole.
TEST_F(SyvhostTest, RunningOutOfMemoryFailsTheQuery) {
    std::string lines = "HBA General Information\r\n";
    for (int i = 0; i < 8 << 20; ++i) lines += "\r\n";
    testsupport::WriteFile(work_ + "/tools/qlogic/scli.txt", lines);
    const std::string command = "ulimit -v 300000 && exec \"$0\" \"$@\"";
    const ProgramResult json = SyvhostFromShell(command, {"--format", "json", velkor::kFibreChannelRawDataClass});
    EXPECT_EQ(json.exitCode, 1) << json.standardError;
    EXPECT_EQ(Json::parse(json.standardOutput)["queries"][0]["error"].dump(),
              R"({"status":1,"message":"out of memory"})");
    EXPECT_NE(json.standardError.find("syvhost: query 1 of 1 failed: status 1: out of memory\n"), std::string::npos)
        << json.standardError;
}
#endif

TEST_F(SyvhostTest, WhatStopsTheHostIsOneLineAndExitStatusTwo) {
    const std::string garbage = work_ + "/garbage-library";
    testsupport::WriteFile(garbage, "this is not a library\n");
    // A plug-in named without a folder is the one in the working folder, not
    // the one the loader would find beside syvhost.
    testsupport::WriteFile(work_ + "/" + syv::kPluginFileName, "this is not the plug-in beside syvhost\n");
    const ScopedWorkingFolder inWork(work_);
    const struct { std::vector<std::string> arguments; std::string says; } cases[] = {
        {{"--plugin", work_ + "/missing-library"}, "does not exist"},
        {{"--plugin", work_}, "is a folder"},
        {{"--plugin", garbage}, "cannot load"},
        {{"--plugin", BinFolder() + "/" + VELKOR_SYVCORE_FILE}, "is not a plug-in"},
        {{"--plugin", syv::kPluginFileName}, "cannot load"},
        {{"--version", "--plugin", BinFolder() + "/" + VELKOR_SYVCORE_FILE}, "is not a plug-in"},
        {{"--plugin", ""}, "--plugin: an empty value"},
        {{"--no-such-option"}, "--no-such-option"},
        {{"--format", "xml"}, "xml"},
        {{"--repeat", "0"}, "--repeat"},
        {{"--repeat", "many"}, "--repeat: \"many\" is not a number"},
        {{"--repeat", "1e9"}, "--repeat: \"1e9\" is not a whole decimal number"},
        {{"--max-tool-seconds", "-1"}, "--max-tool-seconds: -1 is out of the range 0 to 2147483647"},
        {{"--log-level", "99999999999"}, "99999999999 is out of the range 0 to 2147483647"},
        {{"--log-level"}, "--log-level"},
        // Options that would do nothing in the mode given.
        {{"--listen", "127.0.0.1:0"}, "options that do nothing without --serve: --listen ("},
        {{"--refresh-seconds", "5", "--credentials", "users", "--tls-key", "k", "--tls-cert", "c"},
         "without --serve: --credentials, --tls-cert, --tls-key, --refresh-seconds ("},
        {{"--serve", "--format", "mof", "--repeat", "2", "--shutdown-between"},
         "options that do nothing with --serve: --format, --repeat, --shutdown-between ("},
        {{"--version", "--serve", velkor::kIScsiControllerClass}, "with --serve: --version, class names ("},
        {{"--serve", "--install-service"}, syv::kHasServices ? "--serve and --install-service choose different modes"
                                                             : "--install-service works only in the Windows build"},
        {{"--uninstall-service", "--tools", "t"}, syv::kHasServices ? "with --uninstall-service: --tools ("
                                                                     : "--uninstall-service works only in the Windows"},
        {{"--service"}, syv::kHasServices ? "without --serve: --service (" : "--service works only in the Windows"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
        const ProgramResult result = Syvhost(c.arguments);
        EXPECT_EQ(result.standardOutput, "");
        ExpectStopped(result, "syvhost: ", c.says);
    }
}

// --version loads the plug-in as a query does (a wrong --plugin stops it,
// above); --help is no usage error.
TEST_F(SyvhostTest, VersionNamesTheLoadedPluginAndHelpIsNoError) {
    const ProgramResult version = Syvhost({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.standardError;
    EXPECT_EQ(version.standardOutput,
              "syvhost " VELKOR_VERSION "\nplug-in: Velkor Collector, version " VELKOR_VERSION ", revision 1.0\n");
    const ProgramResult help = Syvhost({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.standardError;
    EXPECT_NE(help.standardOutput.find("--max-tool-seconds"), std::string::npos) << help.standardOutput;
}

}  // namespace
