// syvhost run as a person runs it: a child process with a command line,
// against tools folders made here from the transcript corpus, with the
// simulated tools' fault knobs set through the environment.
#include "ChildProcess.h"
#include "PluginLibrary.h"
#include "TestEnvironment.h"
#include "plugin/Constants.h"

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

#ifdef _WIN32
const char* const kExeSuffix = ".exe";
#else
const char* const kExeSuffix = "";
#endif

// Generous: a run takes a second or two, under Wine a few more.
const std::chrono::seconds kRunLimit(120);

const std::vector<std::string> kAllClasses{
    velkor::kFibreChannelRawDataClass,        velkor::kFibreChannelFirmwareElementClass,
    velkor::kFibreChannelBiosElementClass,    velkor::kFibreChannelControllerFirmwareClass,
    velkor::kFibreChannelControllerBiosClass, velkor::kFibreChannelControllerClass,
    velkor::kIScsiRawDataClass,               velkor::kIScsiFirmwareElementClass,
    velkor::kIScsiBiosElementClass,           velkor::kIScsiControllerFirmwareClass,
    velkor::kIScsiControllerBiosClass,        velkor::kIScsiControllerClass,
};

std::string BinFolder() { return syv::ProgramFolder(); }

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

    ChildResult Syvhost(std::vector<std::string> arguments, const EnvironmentOverrides& environment = {}) {
        if (std::find(arguments.begin(), arguments.end(), "--tools") == arguments.end()) {
            arguments.insert(arguments.begin(), {"--tools", work_ + "/tools"});
        }
        const ChildResult result =
            e2e::RunChild(BinFolder() + "/syvhost" + kExeSuffix, arguments, environment, kRunLimit);
        EXPECT_FALSE(result.timedOut);
        return result;
    }

    Json JsonReport(std::vector<std::string> arguments, int exitStatus, const EnvironmentOverrides& environment = {}) {
        arguments.insert(arguments.begin(), {"--format", "json"});
        const ChildResult result = Syvhost(arguments, environment);
        EXPECT_EQ(result.exitStatus, exitStatus) << result.standardError;
        return Json::parse(result.standardOutput);
    }

    std::string work_;
};

// Without classes: all twelve in table order, three Fibre Channel ports and
// two iSCSI ports, one raw-data instance per tool; the MOF report holds the
// same instances.
TEST_F(SyvhostTest, DefaultQueryReportsEveryClassInTableOrder) {
    const Json document = JsonReport({}, 0);
    EXPECT_EQ(document["plugin"].dump(), R"({"name":"Velkor Collector","version":"1.0","revision":"1.0","flags":0})");
    ASSERT_EQ(document["queries"].size(), 1u);
    const Json& query = document["queries"][0];
    EXPECT_EQ(query["classes"], Json(kAllClasses));
    EXPECT_TRUE(query["error"].is_null());
    std::vector<std::string> classes;
    for (const Json& instance : query["instances"]) {
        classes.push_back(instance["class"]);
    }
    std::vector<std::string> expected;
    for (const std::string& name : kAllClasses) {
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
              R"([{"command":"qlogic//scli.exe","arguments":["-z"],"timeout":300,"outcome":"ok"},)"
              R"({"command":"qlogic//iscli.exe","arguments":["-z"],"timeout":300,"outcome":"ok"},)"
              R"({"command":"qlogic//iscli.exe","arguments":["-z"],"timeout":300,"outcome":"ok"}])");

    const ChildResult mof = Syvhost({});
    EXPECT_EQ(mof.exitStatus, 0) << mof.standardError;
    std::size_t declarations = 0;
    for (const std::string& line : Lines(mof.standardOutput)) {
        declarations += line.rfind("instance of ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(declarations, expected.size());
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
        {{"--repeat", "2"}, {}, 0, 5, 2, 0},
        {{"--repeat", "2", "--shutdown-between"}, {}, 0, 5, 2, 2},
        {{"--repeat", "2"}, {{"SCLI_CRASH_ONCE", crashMarker}}, 1, 0, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.back() + (c.environment.empty() ? "" : " crash once"));
        fs::remove(crashMarker);
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), inventoryClasses.begin(), inventoryClasses.end());
        const Json document = JsonReport(arguments, c.exitStatus, c.environment);
        ASSERT_EQ(document["queries"].size(), 2u);
        const Json& first = document["queries"][0];
        const Json& second = document["queries"][1];
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
        EXPECT_EQ(result.standardError.rfind(c.stderrStart, 0), 0u) << result.standardError;
    }
}

TEST_F(SyvhostTest, WhatStopsTheHostIsOneLineAndExitStatusTwo) {
    const std::string garbage = work_ + "/garbage-library";
    testsupport::WriteFile(garbage, "this is not a library\n");
    const struct {
        std::vector<std::string> arguments;
        std::string says;
    } cases[] = {
        {{"--plugin", work_ + "/missing-library"}, "does not exist"},
        {{"--plugin", work_}, "is a folder"},
        {{"--plugin", garbage}, "cannot load"},
        {{"--plugin", BinFolder() + "/" + VELKOR_SYVCORE_FILE}, "is not a plug-in"},
        {{"--no-such-option"}, "--no-such-option"},
        {{"--format", "xml"}, "xml"},
        {{"--repeat", "0"}, "--repeat"},
        {{"--repeat", "many"}, "--repeat"},
        {{"--max-tool-seconds", "-1"}, "--max-tool-seconds"},
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

TEST_F(SyvhostTest, HelpDescribesEveryOptionWithAnExample) {
    const ChildResult result = Syvhost({"--help"});
    EXPECT_EQ(result.exitStatus, 0);
    for (const char* option :
         {"--plugin", "--tools", "--format", "--repeat", "--shutdown-between", "--max-tool-seconds", "--log-level"}) {
        const std::size_t at = result.standardOutput.find(option);
        ASSERT_NE(at, std::string::npos) << option;
        const std::string line = result.standardOutput.substr(at, result.standardOutput.find('\n', at) - at);
        EXPECT_NE(line.find("Example: "), std::string::npos) << line;
    }
}

}  // namespace
