// syvhost run as a person runs it: a child process with a command line,
// against tools folders made here from the transcript corpus, with the
// simulated tools' fault knobs set through the environment.
#include "ChildProcess.h"
#include "MofChecker.h"
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
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using e2e::ChildResult;
using e2e::EnvironmentOverrides;
using Json = nlohmann::ordered_json;

// Generous: a run takes a second or two, under Wine a few more.
const std::chrono::seconds kRunLimit(120);

const std::vector<std::string> kAssociationClasses{
    velkor::kFibreChannelControllerFirmwareClass, velkor::kFibreChannelControllerBiosClass,
    velkor::kIScsiControllerFirmwareClass, velkor::kIScsiControllerBiosClass};

// The classes that the inventories feed, without the raw-data classes
// (whose iSCSI capture runs its tool on every query).
std::vector<std::string> InventoryClasses() {
    std::vector<std::string> classes;
    for (const std::string& name : velkor::ServedClasses()) {
        if (name != velkor::kFibreChannelRawDataClass && name != velkor::kIScsiRawDataClass) {
            classes.push_back(name);
        }
    }
    return classes;
}

// The default transcripts describe three Fibre Channel ports and two iSCSI
// ports: one instance of every per-adapter class for each, one raw-data
// instance per tool.
std::size_t ExpectedCount(const std::string& className) {
    if (className == velkor::kFibreChannelRawDataClass || className == velkor::kIScsiRawDataClass) {
        return 1;
    }
    return className.find("FibreChannel") != std::string::npos ? 3 : 2;
}

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
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

// Only what a person sees: a report on standard output must be read back
// before anything else is checked.
Json ParseJsonReport(const ChildResult& result) {
    EXPECT_FALSE(result.timedOut);
    return Json::parse(result.standardOutput);
}

const Json& Property(const Json& instance, const std::string& name) {
    for (const Json& property : instance["properties"]) {
        if (property["name"] == name) {
            return property["value"];
        }
    }
    throw std::runtime_error("no property " + name + " in " + instance["path"].get<std::string>());
}

std::map<std::string, std::size_t> CountByClass(const Json& instances) {
    std::map<std::string, std::size_t> counts;
    for (const Json& instance : instances) {
        ++counts[instance["class"].get<std::string>()];
    }
    return counts;
}

// A MOF value and the JSON value of the same property say the same thing.
void ExpectSameValue(const e2e::MofValue& mof, const Json& json, const std::string& where) {
    switch (mof.kind) {
        case e2e::MofValue::kNull: EXPECT_TRUE(json.is_null()) << where; break;
        case e2e::MofValue::kString: EXPECT_EQ(json, mof.text) << where; break;
        case e2e::MofValue::kNumber: EXPECT_EQ(json.dump(), mof.text) << where; break;
        case e2e::MofValue::kArray:
            ASSERT_TRUE(json.is_array()) << where;
            ASSERT_EQ(json.size(), mof.elements.size()) << where;
            for (std::size_t i = 0; i < mof.elements.size(); ++i) {
                ExpectSameValue(mof.elements[i], json[i], where + "[" + std::to_string(i) + "]");
            }
            break;
    }
}

class SyvhostTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        work_ = BinFolder() + "/../e2e-work/" + info->test_suite_name() + "." + info->name();
        fs::remove_all(work_);
        fs::create_directories(work_);
    }

    // A tools folder holding the simulated tools, each with the named corpus
    // transcript as its default output; an empty name leaves that tool out.
    std::string MakeTools(const std::string& scliTranscript = "scli.txt",
                          const std::string& iscliTranscript = "iscli.txt") {
        const std::string tools = work_ + "/tools";
        fs::create_directories(tools + "/qlogic");
        const std::pair<std::string, std::string> entries[] = {{"scli", scliTranscript},
                                                               {"iscli", iscliTranscript}};
        for (const auto& entry : entries) {
            if (entry.second.empty()) {
                continue;
            }
            const std::string target = tools + "/qlogic/" + entry.first;
            fs::copy_file(BinFolder() + "/qlogic/" + entry.first + ".exe", target + ".exe",
                          fs::copy_options::overwrite_existing);
            fs::copy_file(std::string(VELKOR_TRANSCRIPTS_DIR) + "/" + entry.second, target + ".txt",
                          fs::copy_options::overwrite_existing);
        }
        return tools;
    }

    ChildResult Syvhost(const std::vector<std::string>& arguments, const EnvironmentOverrides& environment = {}) {
        return e2e::RunChild(SyvhostPath(), arguments, environment, kRunLimit);
    }

    // syvhost started by a POSIX shell command that ends in
    // exec "$0" "$@", for what a shell sets up: redirections, limits.
    ChildResult SyvhostFromShell(const std::string& command, const std::vector<std::string>& arguments) {
        return e2e::RunChild("/bin/sh", Concat({"-c", command, SyvhostPath()}, arguments), {}, kRunLimit);
    }

    // One JSON run and one MOF run of the same command line: the MOF report
    // must be well formed and say what the JSON report says.
    Json RunBothFormats(const std::vector<std::string>& arguments, int expectedExit,
                        const EnvironmentOverrides& environment = {}) {
        const ChildResult json = Syvhost(Concat({"--format", "json"}, arguments), environment);
        EXPECT_EQ(json.exitStatus, expectedExit) << json.standardError;
        const Json document = ParseJsonReport(json);

        const ChildResult mof = Syvhost(arguments, environment);
        EXPECT_EQ(mof.exitStatus, expectedExit) << mof.standardError;
        EXPECT_FALSE(mof.timedOut);
        e2e::MofDocument mofDocument;
        try {
            mofDocument = e2e::ReadMofReport(mof.standardOutput);
        } catch (const std::exception& error) {
            ADD_FAILURE() << "malformed MOF report: " << error.what() << "\n" << mof.standardOutput;
            return document;
        }
        ExpectMofMatchesJson(mofDocument, document);
        return document;
    }

    static void ExpectMofMatchesJson(const e2e::MofDocument& mof, const Json& json) {
        std::vector<const Json*> instances;
        for (const Json& query : json["queries"]) {
            for (const Json& instance : query["instances"]) {
                instances.push_back(&instance);
            }
        }
        ASSERT_EQ(mof.instances.size(), instances.size());
        for (std::size_t i = 0; i < instances.size(); ++i) {
            const Json& instance = *instances[i];
            EXPECT_EQ(mof.instances[i].className, instance["class"]);
            const Json& properties = instance["properties"];
            ASSERT_EQ(mof.instances[i].properties.size(), properties.size());
            for (std::size_t p = 0; p < properties.size(); ++p) {
                const auto& property = mof.instances[i].properties[p];
                EXPECT_EQ(property.first, properties[p]["name"]);
                ExpectSameValue(property.second, properties[p]["value"], instance["path"].get<std::string>() + " " +
                                                                              property.first);
            }
        }
        // One heading per query, one failure line per failed query.
        std::size_t failed = 0;
        for (const Json& query : json["queries"]) {
            failed += query["error"].is_null() ? 0 : 1;
        }
        EXPECT_EQ(mof.comments.size(), 1 + json["queries"].size() + failed);
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

TEST_F(SyvhostTest, WithoutClassesQueriesAllTwelveInTableOrder) {
    const std::string tools = MakeTools();
    const Json document = RunBothFormats({"--tools", tools}, 0);

    ASSERT_EQ(document["queries"].size(), 1u);
    const Json& query = document["queries"][0];
    EXPECT_EQ(query["classes"], Json(velkor::ServedClasses()));
    EXPECT_TRUE(query["error"].is_null());
    // Instances come class by class, in the order of the request.
    std::size_t position = 0;
    std::map<std::string, std::size_t> counts;
    for (const Json& instance : query["instances"]) {
        const std::string className = instance["class"];
        while (position < velkor::ServedClasses().size() && velkor::ServedClasses()[position] != className) {
            ++position;
        }
        ASSERT_LT(position, velkor::ServedClasses().size()) << className << " out of order";
        ++counts[className];
    }
    for (const std::string& className : velkor::ServedClasses()) {
        EXPECT_EQ(counts[className], ExpectedCount(className)) << className;
    }
}

TEST_F(SyvhostTest, EveryClassAloneGivesOnlyItsOwnInstances) {
    const std::string tools = MakeTools();
    for (const std::string& className : velkor::ServedClasses()) {
        const ChildResult result = Syvhost({"--tools", tools, "--format", "json", className});
        EXPECT_EQ(result.exitStatus, 0) << className << ": " << result.standardError;
        const Json document = ParseJsonReport(result);
        const std::map<std::string, std::size_t> counts = CountByClass(document["queries"][0]["instances"]);
        EXPECT_EQ(counts, (std::map<std::string, std::size_t>{{className, ExpectedCount(className)}})) << className;
    }
}

TEST_F(SyvhostTest, AssociationsAlonePointAtTheInstancesAFullQueryReports) {
    const std::string tools = MakeTools();
    const Json full = ParseJsonReport(Syvhost({"--tools", tools, "--format", "json"}));
    std::set<std::string> paths;
    for (const Json& instance : full["queries"][0]["instances"]) {
        paths.insert(instance["path"].get<std::string>());
    }

    const Json document = RunBothFormats(Concat({"--tools", tools}, kAssociationClasses), 0);
    const Json& instances = document["queries"][0]["instances"];
    std::map<std::string, std::size_t> expected;
    for (const std::string& className : kAssociationClasses) {
        expected[className] = ExpectedCount(className);
    }
    // The controllers and elements that the associations look up are not
    // results of this query.
    EXPECT_EQ(CountByClass(instances), expected);
    std::set<std::string> dependents;
    for (const Json& instance : instances) {
        const std::string antecedent = Property(instance, "Antecedent");
        const std::string dependent = Property(instance, "Dependent");
        EXPECT_EQ(paths.count(antecedent), 1u) << antecedent;
        EXPECT_EQ(paths.count(dependent), 1u) << dependent;
        dependents.insert(instance["class"].get<std::string>() + " " + dependent);
    }
    // Each association class pairs every controller once.
    EXPECT_EQ(dependents.size(), instances.size());
}

TEST_F(SyvhostTest, RepeatedQueriesUseTheCollectedInventories) {
    const std::string tools = MakeTools();
    // Decimal: ten, not eight.
    const ChildResult result =
        Syvhost(Concat({"--tools", tools, "--format", "json", "--repeat", "010"}, InventoryClasses()));
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const Json document = ParseJsonReport(result);
    ASSERT_EQ(document["queries"].size(), 10u);
    const Json& first = document["queries"][0];
    const Json& second = document["queries"][9];
    ASSERT_EQ(first["tool_runs"].size(), 2u);
    EXPECT_EQ(first["tool_runs"][0]["command"], velkor::kFibreChannelToolPath);
    EXPECT_EQ(first["tool_runs"][1]["command"], velkor::kIScsiToolPath);
    EXPECT_TRUE(second["tool_runs"].empty()) << second["tool_runs"].dump();
    EXPECT_EQ(second["instances"], first["instances"]);
}

TEST_F(SyvhostTest, ShutdownBetweenRepeatsCollectsAgain) {
    const std::string tools = MakeTools();
    const ChildResult result = Syvhost(
        Concat({"--tools", tools, "--format", "json", "--repeat", "2", "--shutdown-between"}, InventoryClasses()));
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const Json document = ParseJsonReport(result);
    ASSERT_EQ(document["queries"].size(), 2u);
    const Json& first = document["queries"][0];
    const Json& second = document["queries"][1];
    EXPECT_EQ(first["tool_runs"].size(), 2u);
    EXPECT_EQ(second["tool_runs"], first["tool_runs"]);
    EXPECT_EQ(second["instances"], first["instances"]);
}

TEST_F(SyvhostTest, AHangingToolIsCutOffAtTheCappedTimeout) {
    const std::string tools = MakeTools();
    const ChildResult result = Syvhost({"--tools", tools, "--format", "json", "--max-tool-seconds", "1",
                                        velkor::kFibreChannelControllerClass},
                                       {{"SCLI_DELAY_MS", "600000"}});
    ASSERT_FALSE(result.timedOut) << "syvhost did not end within " << kRunLimit.count() << " s";
    EXPECT_EQ(result.exitStatus, 1);
    const Json document = ParseJsonReport(result);
    const Json& query = document["queries"][0];
    EXPECT_EQ(query["error"]["status"], 8);
    ASSERT_EQ(query["tool_runs"].size(), 1u);
    EXPECT_EQ(query["tool_runs"][0]["timeout"], 300);  // as asked; the cap is the host's
}

TEST_F(SyvhostTest, AnUnservedClassEndsTheQueryAfterWhatWasCommitted) {
    const std::string tools = MakeTools();
    const std::string unserved = "CIM_UnservedClass";
    const Json document =
        RunBothFormats({"--tools", tools, velkor::kFibreChannelControllerClass, unserved}, 1);
    const Json& query = document["queries"][0];
    EXPECT_EQ(query["instances"].size(), 3u);
    EXPECT_EQ(query["error"]["status"], 2);
    EXPECT_NE(query["error"]["message"].get<std::string>().find(unserved), std::string::npos);

    const ChildResult mof = Syvhost({"--tools", tools, velkor::kFibreChannelControllerClass, unserved});
    const std::vector<std::string> lines = Lines(mof.standardOutput);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("// query 1 failed: status 2: ", 0), 0u) << lines.back();
}

TEST_F(SyvhostTest, JsonReportHoldsEveryField) {
    const std::string tools = MakeTools();
    const ChildResult result = Syvhost(
        {"--tools", tools, "--format", "json", velkor::kFibreChannelControllerClass, velkor::kIScsiBiosElementClass});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const Json document = ParseJsonReport(result);

    EXPECT_EQ(document["plugin"].dump(), R"({"name":"Velkor Collector","version":"1.0","revision":"1.0","flags":0})");
    ASSERT_EQ(document["queries"].size(), 1u);
    const Json& query = document["queries"][0];
    EXPECT_EQ(query["classes"], Json({velkor::kFibreChannelControllerClass, velkor::kIScsiBiosElementClass}));
    EXPECT_TRUE(query["error"].is_null());

    ASSERT_EQ(query["instances"].size(), 5u);
    const Json& controller = query["instances"][2];
    EXPECT_EQ(controller["class"], velkor::kFibreChannelControllerClass);
    EXPECT_EQ(controller["path"],
              "root/ornsg:ORNSG_QLogicFibreChannelSCSIProtocolController.CreationClassName="
              "\"ORNSG_QLogicFibreChannelSCSIProtocolController\",DeviceID=\"QLogic Fibre Channel3\","
              "SystemCreationClassName=\"ORN\",SystemName=\"LOCALHOST\"");
    const Json expectedProperties = Json::parse(R"([
        {"name": "SystemCreationClassName", "type": "string", "value": "ORN"},
        {"name": "SystemName", "type": "string", "value": "LOCALHOST"},
        {"name": "CreationClassName", "type": "string", "value": "ORNSG_QLogicFibreChannelSCSIProtocolController"},
        {"name": "DeviceID", "type": "string", "value": "QLogic Fibre Channel3"},
        {"name": "OtherIdentifyingInfo", "type": "string[]", "value": ["FCX-820S", "QLogic Fibre Channel3"]},
        {"name": "ControllerNum", "type": "uint32", "value": 2},
        {"name": "ControllerType", "type": "string", "value": "FCX-820S"}])");
    EXPECT_EQ(controller["properties"], expectedProperties);

    const Json& bios = query["instances"][4];
    EXPECT_EQ(bios["class"], velkor::kIScsiBiosElementClass);
    EXPECT_EQ(Property(bios, "Name"), "QLogic iScsi HBA2 BIOS");
    EXPECT_EQ(Property(bios, "SoftwareElementID"), "QLogic iScsi HBA BIOS2");

    EXPECT_EQ(query["tool_runs"].dump(),
              R"([{"command":"qlogic//scli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":0},)"
              R"({"command":"qlogic//iscli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":0}])");
    ASSERT_EQ(query["log"].size(), 2u);
    for (const Json& entry : query["log"]) {
        EXPECT_EQ(entry["level"], 3);
        EXPECT_EQ(entry["message"].get<std::string>().rfind("Got iscsi controller info following: \n", 0), 0u);
    }
}

// Both reports show the bytes the same way, as valid UTF-8, and the log says
// once how.
TEST_F(SyvhostTest, ToolOutputWithAnyBytesMakesValidReports) {
    const std::string tools = MakeTools();
    const std::string odd = "odd \x01\x7f\xff \"quoted\" back\\slash\ttab";
    testsupport::WriteFile(tools + "/qlogic/iscli.txt",
                           testsupport::ReadFile(tools + "/qlogic/iscli.txt") + odd + "\r\n" + odd + "\r\n");
    const std::string shown = "odd \x01\x7f\\xFF \"quoted\" back\\\\slash\ttab";

    const Json document = RunBothFormats({"--tools", tools, velkor::kIScsiRawDataClass}, 0);
    const Json& lines = Property(document["queries"][0]["instances"][0], "RawResults");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), Json(shown)), 2) << lines.dump();
    std::vector<Json> notices;
    for (const Json& entry : document["queries"][0]["log"]) {
        if (entry["level"] == 2) notices.push_back(entry["message"]);
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].get<std::string>().find("\\xHH"), std::string::npos) << notices[0];
}

// The tool's own exit status is recorded and a failing one logged; what the
// plug-in makes of the output does not change.
TEST_F(SyvhostTest, ToolRunsRecordTheToolsExitStatus) {
    const std::string tools = MakeTools();
    testsupport::WriteFile(tools + "/qlogic/scli.txt", "");
    const struct {
        EnvironmentOverrides environment;
        int syvhostExit;
        Json exitCode;
    } cases[] = {
        {{{"SCLI_EXIT_CODE", "2"}}, 0, 2},
        {{{"SCLI_CRASH", "1"}}, 1, nullptr},
    };
    for (const auto& c : cases) {
        const ChildResult result =
            Syvhost({"--tools", tools, "--format", "json", velkor::kFibreChannelControllerClass}, c.environment);
        EXPECT_EQ(result.exitStatus, c.syvhostExit) << result.standardError;
        const Json query = ParseJsonReport(result)["queries"][0];
        EXPECT_EQ(query["tool_runs"][0]["exit_code"], c.exitCode) << query["tool_runs"].dump();
        const std::string says = "exited with status 2";
        const bool logged = std::any_of(query["log"].begin(), query["log"].end(), [&](const Json& entry) {
            const std::string message = entry["message"];
            return entry["level"] == 2 && message.rfind(velkor::kFibreChannelToolPath, 0) == 0 &&
                   message.size() > says.size() && message.compare(message.size() - says.size(), says.size(), says) == 0;
        });
        EXPECT_EQ(logged, c.exitCode == 2) << query["log"].dump();
    }
}

// Standard output on a full device, or closed: set up by the shell, or on
// Windows by a launcher (Wine's Z: drive is the Unix root).
TEST_F(SyvhostTest, AReportThatCannotBeWrittenIsExitStatusTwo) {
    const std::string tools = MakeTools();
    for (const bool full : {true, false}) {
        for (const char* format : {"mof", "json"}) {
            const std::vector<std::string> arguments{"--tools", tools, "--format", format};
#ifdef _WIN32
            const ChildResult result = e2e::RunChild(BinFolder() + "/stdout_launcher.exe",
                                                     Concat({full ? "Z:\\dev\\full" : "closed", SyvhostPath()}, arguments),
                                                     {}, kRunLimit);
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

#ifndef _WIN32
#ifndef __SANITIZE_ADDRESS__
// Far more lines than fit under the limit: the raw-data query fails alone,
// and both reports stay whole.
TEST_F(SyvhostTest, RunningOutOfMemoryFailsTheQuery) {
    const std::string tools = MakeTools();
    std::string lines = "HBA General Information\r\n";
    for (int i = 0; i < 8 << 20; ++i) lines += "\r\n";
    testsupport::WriteFile(tools + "/qlogic/scli.txt", lines);
    const std::string command = "ulimit -v 300000 && exec \"$0\" \"$@\"";
    const std::vector<std::string> arguments{"--tools", tools, velkor::kFibreChannelRawDataClass};

    const ChildResult json = SyvhostFromShell(command, Concat({"--format", "json"}, arguments));
    EXPECT_EQ(json.exitStatus, 1) << json.standardError;
    EXPECT_EQ(ParseJsonReport(json)["queries"][0]["error"], Json::parse(R"({"status": 1, "message": "out of memory"})"));
    const ChildResult mof = SyvhostFromShell(command, arguments);
    EXPECT_EQ(mof.exitStatus, 1) << mof.standardError;
    EXPECT_NO_THROW(e2e::ReadMofReport(mof.standardOutput));
    EXPECT_EQ(Lines(mof.standardOutput).back(), "// query 1 failed: status 1: out of memory");
}
#endif
#endif

TEST_F(SyvhostTest, TheSameInputsGiveTheSameReports) {
    const std::string tools = MakeTools();
    const std::vector<std::vector<std::string>> commandLines{
        {"--tools", tools},
        {"--tools", tools, "--format", "json", "--repeat", "2"},
        {"--tools", work_ + "/nowhere", "--format", "json"},
    };
    for (const std::vector<std::string>& arguments : commandLines) {
        const ChildResult first = Syvhost(arguments);
        const ChildResult second = Syvhost(arguments);
        EXPECT_FALSE(first.standardOutput.empty());
        EXPECT_EQ(first.standardOutput, second.standardOutput) << arguments.back();
        EXPECT_EQ(first.exitStatus, second.exitStatus);
    }
}

TEST_F(SyvhostTest, AMissingToolsFolderIsAWarningAndTheToolsFail) {
    const std::string nowhere = work_ + "/nowhere";
    const Json document = RunBothFormats({"--tools", nowhere, velkor::kIScsiControllerClass}, 1);
    EXPECT_EQ(document["queries"][0]["error"]["status"], 6);

    const ChildResult result = Syvhost({"--tools", nowhere, velkor::kIScsiControllerClass});
    const std::vector<std::string> lines = Lines(result.standardError);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().rfind("syvhost: warning: ", 0), 0u) << result.standardError;
    EXPECT_NE(lines.front().find("nowhere"), std::string::npos);
}

// Names outside the ANSI code page reach the system whole, from the command
// line and from the working folder.
TEST_F(SyvhostTest, AToolsFolderNamedWithAnyCharacterWorks) {
    const std::string tools = work_ + u8"/tools \u2603";
    fs::rename(fs::u8path(MakeTools()), fs::u8path(tools));
    const Json document = RunBothFormats({"--tools", tools, velkor::kIScsiControllerClass}, 0);
    EXPECT_EQ(document["queries"][0]["instances"].size(), 2u);

    const ScopedWorkingFolder inTools(tools);
    const ChildResult result = Syvhost({"--tools", ".", velkor::kIScsiControllerClass});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
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
