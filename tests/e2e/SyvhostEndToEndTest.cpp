// syvhost run as a person runs it: a child process with a command line,
// against tools folders made here from the transcript corpus, with the
// simulated tools' fault knobs set through the environment.
#include "ChildProcess.h"
#include "PluginLibrary.h"
#include "Platform.h"
#include "TestEnvironment.h"
#include "VelkorVersion.h"
#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using e2e::ChildResult;
using e2e::EnvironmentOverrides;
using Json = nlohmann::ordered_json;

// Generous: a run takes a second or two, under Wine a few more.
const std::chrono::seconds kRunLimit(120);

std::string BinFolder() { return syv::ProgramFolder(); }

std::string SyvhostPath() { return BinFolder() + "/syvhost" + syv::kExecutableSuffix; }

std::vector<std::string> Concat(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
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

    ChildResult Syvhost(const std::vector<std::string>& arguments, const EnvironmentOverrides& environment = {}) {
        const ChildResult result = e2e::RunChild(SyvhostPath(), WithTools(arguments), environment, kRunLimit);
        EXPECT_FALSE(result.timedOut);
        return result;
    }

    // syvhost started by a POSIX shell command that ends in
    // exec "$0" "$@", for what a shell sets up: redirections, limits.
    ChildResult SyvhostFromShell(const std::string& command, const std::vector<std::string>& arguments) {
        return e2e::RunChild("/bin/sh", Concat({"-c", command, SyvhostPath()}, WithTools(arguments)), {}, kRunLimit);
    }

    Json JsonReport(std::vector<std::string> arguments, int exitStatus, const EnvironmentOverrides& environment = {}) {
        arguments.insert(arguments.begin(), {"--format", "json"});
        const ChildResult result = Syvhost(arguments, environment);
        EXPECT_EQ(result.exitStatus, exitStatus) << result.standardError;
        return Json::parse(result.standardOutput);
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
// two iSCSI ports, one raw-data instance per tool.
TEST_F(SyvhostTest, DefaultQueryReportsEveryClassInTableOrder) {
    const Json document = JsonReport({}, 0);
    EXPECT_EQ(document["plugin"].dump(), R"({"name":"Velkor Collector","version":"1.0","revision":"1.0","flags":0})");
    ASSERT_EQ(document["queries"].size(), 1u);
    const Json& query = document["queries"][0];
    EXPECT_EQ(query["classes"], Json(velkor::ServedClasses()));
    EXPECT_TRUE(query["error"].is_null());
    std::vector<std::string> classes;
    for (const Json& instance : query["instances"]) {
        classes.push_back(instance["class"]);
    }
    std::vector<std::string> expected;
    for (const std::string& name : velkor::ServedClasses()) {
        const bool raw = name == velkor::kFibreChannelRawDataClass || name == velkor::kIScsiRawDataClass;
        expected.insert(expected.end(), raw ? 1 : name.find("FibreChannel") != std::string::npos ? 3 : 2, name);
    }
    EXPECT_EQ(classes, expected);

    // One path of every kind of class: the keys are the schema's.
    EXPECT_EQ(query["instances"][0]["path"], "root/ornsg:ORNSG_QLogicFibreChannelRawData");
    const std::string element =
        R"(root/ornsg:ORNSG_QLogicIScsiFirmwareElement.Name="QLogic iScsi HBA1 Firmware",)"
        R"(SoftwareElementID="QLogic iScsi HBA Firmware1",SoftwareElementState=3,TargetOperatingSystem=58,)"
        R"(Version="3.01.04.08")";
    EXPECT_EQ(query["instances"][17]["path"], element);
    const std::string association =
        R"(root/ornsg:ORNSG_QLogicIScsiControllerFirmware.Antecedent="root/ornsg:ORNSG_QLogicIScsiFirmwareElement.)"
        R"(Name=\"QLogic iScsi HBA1 Firmware\",SoftwareElementID=\"QLogic iScsi HBA Firmware1\",)"
        R"(SoftwareElementState=3,TargetOperatingSystem=58,Version=\"3.01.04.08\"",)"
        R"(Dependent="root/ornsg:ORNSG_QLogicIScsiSCSIProtocolController.CreationClassName=)"
        R"(\"ORNSG_QLogicIScsiSCSIProtocolController\",DeviceID=\"QLogic iScsi HBA1\",)"
        R"(SystemCreationClassName=\"ORN\",SystemName=\"LOCALHOST\"")";
    EXPECT_EQ(query["instances"][21]["path"], association);
    const Json& controller = query["instances"][15];
    EXPECT_EQ(controller["path"],
              "root/ornsg:ORNSG_QLogicFibreChannelSCSIProtocolController.CreationClassName="
              "\"ORNSG_QLogicFibreChannelSCSIProtocolController\",DeviceID=\"QLogic Fibre Channel3\","
              "SystemCreationClassName=\"ORN\",SystemName=\"LOCALHOST\"");
    EXPECT_EQ(controller["properties"], Json::parse(R"([
        {"name": "SystemCreationClassName", "type": "string", "value": "ORN"},
        {"name": "SystemName", "type": "string", "value": "LOCALHOST"},
        {"name": "CreationClassName", "type": "string", "value": "ORNSG_QLogicFibreChannelSCSIProtocolController"},
        {"name": "DeviceID", "type": "string", "value": "QLogic Fibre Channel3"},
        {"name": "OtherIdentifyingInfo", "type": "string[]", "value": ["FCX-820S", "QLogic Fibre Channel3"]},
        {"name": "ControllerNum", "type": "uint32", "value": 2},
        {"name": "ControllerType", "type": "string", "value": "FCX-820S"}])"));
    EXPECT_EQ(query["tool_runs"].dump(),
              R"([{"command":"qlogic//scli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":0},)"
              R"({"command":"qlogic//iscli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":0},)"
              R"({"command":"qlogic//iscli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":0}])");
}

// The inventories live as long as the plug-in is not shut down; a failed
// collection is not kept, and one failed repeat makes the exit status 1.
TEST_F(SyvhostTest, RepeatsReuseWhatWasCollectedUntilShutdown) {
    const std::vector<std::string> inventoryClasses{velkor::kFibreChannelControllerClass,
                                                    velkor::kIScsiControllerClass};
    const std::string crashMarker = work_ + "/crashed";
    const struct {
        std::vector<std::string> options;
        EnvironmentOverrides environment;
        int exitStatus;
        std::size_t firstInstances, firstRuns, secondRuns;
    } cases[] = {
        {{"--repeat", "010"}, {}, 0, 5, 2, 0},  // decimal: ten, not eight
        {{"--repeat", "2", "--shutdown-between"}, {}, 0, 5, 2, 2},
        {{"--repeat", "2"}, {{"SCLI_CRASH_ONCE", crashMarker}}, 1, 0, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.back() + (c.environment.empty() ? "" : " crash once"));
        fs::remove(crashMarker);
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), inventoryClasses.begin(), inventoryClasses.end());
        const Json document = JsonReport(arguments, c.exitStatus, c.environment);
        ASSERT_EQ(document["queries"].size(), c.options[1] == "010" ? 10u : 2u);
        const Json& first = document["queries"][0];
        const Json& second = document["queries"].back();
        EXPECT_EQ(first["instances"].size(), c.firstInstances);
        EXPECT_EQ(first["tool_runs"].size(), c.firstRuns);
        EXPECT_EQ(second["tool_runs"].size(), c.secondRuns);
        EXPECT_TRUE(second["error"].is_null());
        EXPECT_EQ(second["instances"].size(), 5u);
    }
}

// A failed query still gives what was committed before it, and exit status 1.
TEST_F(SyvhostTest, AFailedQueryEndsWithItsStatus) {
    const struct {
        std::vector<std::string> arguments;
        EnvironmentOverrides environment;
        int status;
        std::size_t instances;
        std::string stderrStart;
    } cases[] = {
        // The cap is the host's: the tool run still shows the timeout asked for.
        {{"--max-tool-seconds", "1", velkor::kFibreChannelControllerClass}, {{"SCLI_DELAY_MS", "600000"}}, 8, 0, ""},
        {{velkor::kFibreChannelControllerClass, "CIM_UnservedClass"}, {}, 2, 3, ""},
        {{"--tools", work_ + "/nowhere", velkor::kIScsiControllerClass}, {}, 6, 0, "syvhost: warning: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        std::vector<std::string> arguments{"--format", "json"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ChildResult result = Syvhost(arguments, c.environment);
        EXPECT_EQ(result.exitStatus, 1) << result.standardError;
        const Json query = Json::parse(result.standardOutput)["queries"][0];
        EXPECT_EQ(query["error"]["status"], c.status);
        EXPECT_EQ(query["instances"].size(), c.instances);
        EXPECT_EQ(query["tool_runs"][0]["timeout"], 300);
        EXPECT_EQ(query["tool_runs"][0]["exit_code"].is_null(), c.status != 2);  // only the unserved row's tool ran
        EXPECT_EQ(result.standardError.rfind(c.stderrStart, 0), 0u) << result.standardError;
    }
}

// Names outside the ANSI code page reach the system whole, from the command
// line and from the working folder.
TEST_F(SyvhostTest, AToolsFolderNamedWithAnyCharacterWorks) {
    const std::string tools = work_ + u8"/tools \u2603";
    fs::rename(fs::u8path(work_ + "/tools"), fs::u8path(tools));
    EXPECT_EQ(JsonReport({"--tools", tools, velkor::kIScsiControllerClass}, 0)["queries"][0]["instances"].size(), 2u);

    const ScopedWorkingFolder inTools(tools);
    const ChildResult result = Syvhost({"--tools", ".", velkor::kIScsiControllerClass});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
}

// Standard output on a full device, or closed: set up by the shell, or on
// Windows by a launcher (Wine's Z: drive is the Unix root).
TEST_F(SyvhostTest, AReportThatCannotBeWrittenIsExitStatusTwo) {
    for (const bool full : {true, false}) {
        for (const char* format : {"mof", "json"}) {
            const std::vector<std::string> arguments{"--format", format};
#ifdef _WIN32
            const ChildResult result =
                e2e::RunChild(BinFolder() + "/stdout_launcher.exe",
                              Concat({full ? "Z:\\dev\\full" : "closed", SyvhostPath()}, WithTools(arguments)), {},
                              kRunLimit);
#else
            const ChildResult result =
                SyvhostFromShell(std::string("exec \"$0\" \"$@\"") + (full ? " >/dev/full" : " >&-"), arguments);
#endif
            EXPECT_EQ(result.exitStatus, 2) << full << " " << format;
            const std::vector<std::string> lines = Lines(result.standardError);
            ASSERT_EQ(lines.size(), 1u) << result.standardError;
            EXPECT_EQ(lines[0].rfind("syvhost: cannot write the report: ", 0), 0u) << lines[0];
        }
    }
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)
// Far more lines than fit under the limit: the raw-data query fails alone,
// and both reports stay whole.
TEST_F(SyvhostTest, RunningOutOfMemoryFailsTheQuery) {
    std::string lines = "HBA General Information\r\n";
    for (int i = 0; i < 8 << 20; ++i) lines += "\r\n";
    testsupport::WriteFile(work_ + "/tools/qlogic/scli.txt", lines);
    const std::string command = "ulimit -v 300000 && exec \"$0\" \"$@\"";
    const ChildResult json = SyvhostFromShell(command, {"--format", "json", velkor::kFibreChannelRawDataClass});
    EXPECT_EQ(json.exitStatus, 1) << json.standardError;
    EXPECT_EQ(Json::parse(json.standardOutput)["queries"][0]["error"].dump(),
              R"({"status":1,"message":"out of memory"})");
    const ChildResult mof = SyvhostFromShell(command, {velkor::kFibreChannelRawDataClass});
    EXPECT_EQ(mof.exitStatus, 1) << mof.standardError;
    EXPECT_EQ(mof.standardOutput.substr(mof.standardOutput.rfind("\n//")),
              "\n// query 1 failed: status 1: out of memory\n");
}
#endif

// What a tool printed reaches the report as valid UTF-8, and the log says
// once how; the tool's own exit status is recorded and a
// failing one logged, without changing what the plug-in makes of the output.
TEST_F(SyvhostTest, ToolOutputAndExitStatusReachTheReports) {
    const std::string odd = "odd \x01\x7f\xff \"quoted\" back\\slash\ttab";
    const std::string transcript = work_ + "/tools/qlogic/iscli.txt";
    testsupport::WriteFile(transcript, testsupport::ReadFile(transcript) + odd + "\r\n" + odd + "\r\n");
    const Json query = JsonReport({velkor::kIScsiRawDataClass}, 0, {{"ISCLI_EXIT_CODE", "2"}})["queries"][0];
    ASSERT_EQ(query["instances"].size(), 1u);
    const Json& raw = query["instances"][0]["properties"][1];
    EXPECT_EQ(raw["name"], "RawResults");
    const Json& lines = raw["value"];
    const std::string shown = "odd \x01\x7f\\xFF \"quoted\" back\\\\slash\ttab";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), Json(shown)), 2) << lines.dump();
    EXPECT_EQ(query["tool_runs"][0]["exit_code"], 2);
    std::vector<std::string> warnings;
    for (const Json& entry : query["log"]) {
        if (entry["level"] == 2) warnings.push_back(entry["message"]);
    }
    ASSERT_EQ(warnings.size(), 2u) << query["log"].dump();
    const std::string exited = " exited with status 2";
    EXPECT_EQ(warnings[0].rfind(velkor::kIScsiToolPath, 0), 0u) << warnings[0];
    EXPECT_EQ(warnings[0].substr(warnings[0].size() - exited.size()), exited);
    EXPECT_NE(warnings[1].find("\\xHH"), std::string::npos) << warnings[1];
}

TEST_F(SyvhostTest, WhatStopsTheHostIsOneLineAndExitStatusTwo) {
    const std::string garbage = work_ + "/garbage-library";
    testsupport::WriteFile(garbage, "this is not a library\n");
    // A plug-in named without a folder is the one in the working folder, not
    // the one the loader would find beside syvhost.
    testsupport::WriteFile(work_ + "/" + syv::kPluginFileName, "this is not the plug-in beside syvhost\n");
    const ScopedWorkingFolder inWork(work_);
    const struct {
        std::vector<std::string> arguments;
        std::string says;
    } cases[] = {
        {{"--plugin", work_ + "/missing-library"}, "does not exist"},
        {{"--plugin", work_}, "is a folder"},
        {{"--plugin", garbage}, "cannot load"},
        {{"--plugin", BinFolder() + "/" + VELKOR_SYVCORE_FILE}, "is not a plug-in"},
        {{"--plugin", syv::kPluginFileName}, "cannot load"},
        {{"--plugin", ""}, "--plugin: an empty value"},
        {{"--tools", ""}, "--tools: an empty value"},
        {{"--no-such-option"}, "--no-such-option"},
        {{"--format", "xml"}, "xml"},
        {{"--repeat", "0"}, "--repeat"},
        {{"--repeat", "many"}, "--repeat: \"many\" is not a number"},
        {{"--repeat", "1e9"}, "--repeat: \"1e9\" is not a whole decimal number"},
        {{"--max-tool-seconds", "-1"}, "--max-tool-seconds: -1 is out of the range 0 to 2147483647"},
        {{"--log-level", "99999999999"}, "99999999999 is out of the range 0 to 2147483647"},
        {{"--log-level"}, "--log-level"},
    };
    for (const auto& c : cases) {
        const ChildResult result = Syvhost(c.arguments);
        const std::string what = c.arguments.back();
        EXPECT_EQ(result.exitStatus, 2) << what;
        EXPECT_EQ(result.standardOutput, "") << what;
        const std::vector<std::string> lines = Lines(result.standardError);
        ASSERT_EQ(lines.size(), 1u) << what << ": " << result.standardError;
        EXPECT_EQ(lines[0].rfind("syvhost: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(c.says), std::string::npos) << lines[0];
    }
}

TEST_F(SyvhostTest, VersionNamesSyvhostAndTheLoadedPlugin) {
    const ChildResult result = Syvhost({"--version"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput,
              "syvhost " VELKOR_VERSION "\nplug-in: Velkor Collector, version " VELKOR_VERSION ", revision 1.0\n");
    // The plug-in is loaded as a query loads it: --plugin is honoured.
    EXPECT_EQ(Syvhost({"--version", "--plugin", BinFolder() + "/" + VELKOR_SYVCORE_FILE}).exitStatus, 2);
}

TEST_F(SyvhostTest, HelpDescribesEveryOptionWithAnExample) {
    const ChildResult result = Syvhost({"--help"});
    EXPECT_EQ(result.exitStatus, 0);
    for (const char* option :
         {"--plugin", "--tools", "--format", "--repeat", "--shutdown-between", "--max-tool-seconds", "--log-level"}) {
        const std::size_t at = result.standardOutput.find(option);
        ASSERT_NE(at, std::string::npos) << option;
        // A long option name pushes its description onto the next line.
        const std::size_t end = result.standardOutput.find("\n  -", at);
        const std::string rest = result.standardOutput.substr(at, end - at);
        EXPECT_NE(rest.find("Example: "), std::string::npos) << rest;
    }
}

}  // namespace
