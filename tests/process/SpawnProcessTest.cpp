// The process service as a plug-in uses it: inside a query, through
// TOSSpecific::SpawnProcess, with the host's tools folder and limits.
#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include "HelperProtocol.h"
#include "TestSupport.h"

#include <boost/pointer_cast.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using NORNSYV20::TSYVStatusCode;
using testing::HasSubstr;

// A plug-in whose query runs what the test gives it.
class ActionPlugin : public NORNSYV20::IPluginCallbacks, public NORNSYV20::IPluginBasicQueryCallbacks {
public:
    std::function<void()> action;

    std::uint32_t GetPluginFlags() override { return 0; }
    std::string GetPluginName() override { return "process test"; }
    std::string GetPluginVersion() override { return "1"; }
    std::string GetPluginRevision() override { return "1"; }
    void Release() override { delete this; }
    void OnNotify(std::uint32_t) override {}
    void Shutdown() override {}
    void QueryInstances(boost::shared_ptr<NORNSYV20::ICIMNamespace>,
                        const std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>>&) override {
        action();
    }
};

class SpawnProcessTest : public testing::Test {
protected:
    void SetUp() override {
        syv::StandinHost::ClearRegisteredPlugins();
        plugin_ = new ActionPlugin;
        boost::dynamic_pointer_cast<NORNSYV20::TPluginManagerNamespace>(NORNSYV20::TRootObject::GetPluginManager())
            ->RegisterPlugin(plugin_);
        syv::StandinHost::SetToolsFolder(testsupport::BinFolder());
        syv::StandinHost::SetMaxToolSeconds(0);
        syv::StandinHost::SetMaxOutputBytes(64ull << 20);
    }

    void TearDown() override {
        syv::StandinHost::ClearRegisteredPlugins();
        plugin_->Release();
    }

    // Runs the program in a query; the output lands in `output`.
    syv::QueryReport Spawn(const std::string& path, const std::vector<std::string>& arguments, int timeout,
                           std::string* output = nullptr) {
        plugin_->action = [&] {
            std::string result = NORNSYV20::TOSSpecific::SpawnProcess(path, arguments, timeout);
            if (output != nullptr) {
                *output = result;
            }
        };
        return syv::StandinHost::RunQuery({});
    }

    ActionPlugin* plugin_ = nullptr;
};

std::filesystem::path TempFolder(const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        (name + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    return folder;
}

TEST_F(SpawnProcessTest, ReturnsTheOutputLogsStandardErrorAndRecordsTheRun) {
    std::string output;
    const std::vector<std::string> arguments{helper::kStderr, "a warning\r\nand more"};
    const syv::QueryReport report = Spawn(testsupport::HelperName(), arguments, 300, &output);
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(output, "out");
    ASSERT_EQ(report.log.size(), 1u);
    EXPECT_EQ(report.log[0].level, 2);
    EXPECT_THAT(report.log[0].message, HasSubstr(testsupport::HelperName()));
    EXPECT_THAT(report.log[0].message, HasSubstr("a warning\r\nand more"));
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].command, testsupport::HelperName());
    EXPECT_EQ(report.toolRuns[0].arguments, arguments);
    EXPECT_EQ(report.toolRuns[0].timeout, 300);
    EXPECT_EQ(report.toolRuns[0].outcome, "ok");
}

TEST_F(SpawnProcessTest, QuietProgramLogsNothingAndExitCodesReturnTheOutput) {
    std::string output;
    const syv::QueryReport report = Spawn(testsupport::HelperName(), {helper::kExit, "3"}, 300, &output);
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(output, helper::kExitOutput);
    EXPECT_TRUE(report.log.empty());
}

TEST_F(SpawnProcessTest, LargeBinaryOutputArrivesWhole) {
    std::string output;
    const syv::QueryReport report = Spawn(testsupport::HelperName(), {helper::kBytes, "3000000", "0"}, 300, &output);
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_TRUE(output == helper::Pattern(3000000));
}

// Every failure ends the query with the right status, names the program as
// asked and as resolved, and is recorded as a failed run.
TEST_F(SpawnProcessTest, FailuresNameTheProgramAndTheCause) {
    const std::string bin = testsupport::BinFolder();
    const std::string helperName = testsupport::HelperName();
    const std::string named = helperName + " (" + bin + "/" + helperName + "): ";
    struct Case {
        std::string path;
        std::vector<std::string> arguments;
        int maxToolSeconds;
        std::uint64_t maxOutputBytes;
        std::uint32_t status;
        std::string message;  // what() up to its end, or a prefix when it ends in "..."
    };
    const std::vector<Case> cases = {
        {"no-such-tool.exe", {}, 0, 64ull << 20, TSYVStatusCode::kProgramNotStarted,
         "The program could not be started: no-such-tool.exe (" + bin + "/no-such-tool.exe): no such file"},
        {helperName, {helper::kCrash}, 0, 64ull << 20, TSYVStatusCode::kProgramCrashed,
#if defined(_WIN32)
         "The program terminated abnormally: " + named + "exit status 0xC0000005"},
#else
         "The program terminated abnormally: " + named + "killed by signal 11 (Segmentation fault)"},
#endif
        {helperName, {helper::kSleep, "60000"}, 1, 64ull << 20, TSYVStatusCode::kProgramTimedOut,
         "The program did not finish within its timeout: " + named + "still running after 1 s; killed..."},
        {helperName, {helper::kFlood, "out"}, 0, 1000, TSYVStatusCode::kProgramOutputTooLarge,
         "The program's output exceeded the size limit: " + named + "more than 1000 bytes of output; killed..."},
    };
    for (const Case& c : cases) {
        syv::StandinHost::SetMaxToolSeconds(c.maxToolSeconds);
        syv::StandinHost::SetMaxOutputBytes(c.maxOutputBytes);
        const syv::QueryReport report = Spawn(c.path, c.arguments, 300);
        ASSERT_TRUE(report.failed) << c.path;
        EXPECT_EQ(report.status, c.status) << report.message;
        const bool prefix = c.message.size() > 3 && c.message.compare(c.message.size() - 3, 3, "...") == 0;
        if (prefix) {
            EXPECT_EQ(report.message.substr(0, c.message.size() - 3), c.message.substr(0, c.message.size() - 3));
        } else {
            EXPECT_EQ(report.message, c.message);
        }
        ASSERT_EQ(report.toolRuns.size(), 1u);
        EXPECT_EQ(report.toolRuns[0].timeout, 300);
        EXPECT_EQ(report.toolRuns[0].outcome, "failed: " + report.message);
    }
}

TEST_F(SpawnProcessTest, TimeoutKillsTheToolAndItsChildren) {
    syv::StandinHost::SetMaxToolSeconds(1);
    const std::filesystem::path folder = TempFolder("velkor-spawn-tree");
    const std::filesystem::path pidFile = folder / "pids";
    const syv::QueryReport report =
        Spawn(testsupport::HelperName(), {helper::kTree, pidFile.string(), "60000"}, 300);
    EXPECT_EQ(report.status, TSYVStatusCode::kProgramTimedOut) << report.message;
    int parent = 0;
    int child = 0;
    std::ifstream(pidFile) >> parent >> child;
    ASSERT_GT(parent, 0);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(testsupport::GoneWithin(parent, std::chrono::seconds(10)));
    EXPECT_TRUE(testsupport::GoneWithin(child, std::chrono::seconds(10)));
    std::filesystem::remove_all(folder);
}

// The cap applies to what is asked; a timeout of zero or less asks for the
// default (300 s) and so is capped too.
TEST_F(SpawnProcessTest, TimeoutIsCappedByTheHost) {
    struct Case {
        int cap;
        int requested;
        const char* expected;
    };
    const Case cases[] = {{5, 1, "after 1 s"}, {1, 300, "after 1 s"}, {1, 0, "after 1 s"}, {1, -7, "after 1 s"}};
    for (const Case& c : cases) {
        syv::StandinHost::SetMaxToolSeconds(c.cap);
        const syv::QueryReport report = Spawn(testsupport::HelperName(), {helper::kSleep, "60000"}, c.requested);
        EXPECT_EQ(report.status, TSYVStatusCode::kProgramTimedOut) << c.requested;
        EXPECT_THAT(report.message, HasSubstr(c.expected)) << c.requested;
    }
    syv::StandinHost::SetMaxToolSeconds(0);
    EXPECT_FALSE(Spawn(testsupport::HelperName(), {helper::kExit, "0"}, 0).failed);
}

TEST_F(SpawnProcessTest, RelativePathsResolveOnlyAgainstTheToolsFolder) {
    const std::filesystem::path tools = TempFolder("velkor-tools");
    std::filesystem::create_directories(tools / "vendor");
    const std::string copyName = std::string("copied-tool") + testsupport::kExeSuffix;
    std::filesystem::copy_file(testsupport::HelperPath(), tools / "vendor" / copyName);
    syv::StandinHost::SetToolsFolder(tools.string());

    std::string output;
    syv::QueryReport report = Spawn("vendor//" + copyName, {helper::kArgs, "x"}, 300, &output);
    EXPECT_FALSE(report.failed) << report.message;
    EXPECT_EQ(output, std::string("x", 2));

    // Neither the search path nor the working directory (here the bin folder,
    // which holds the helper) is looked at.
    const std::filesystem::path workingDirectory = std::filesystem::current_path();
    std::filesystem::current_path(testsupport::BinFolder());
#if defined(_WIN32)
    const char* onSearchPath = "cmd.exe";
#else
    const char* onSearchPath = "sh";
#endif
    for (const std::string& path : {std::string(onSearchPath), testsupport::HelperName()}) {
        report = Spawn(path, {helper::kExit, "0"}, 300);
        EXPECT_EQ(report.status, TSYVStatusCode::kProgramNotStarted) << path;
        EXPECT_THAT(report.message, HasSubstr("(" + tools.string() + "/" + path + "): no such file"));
    }
    std::filesystem::current_path(workingDirectory);

    // No tools folder: a relative path is refused, not run from anywhere.
    syv::StandinHost::SetToolsFolder("");
    report = Spawn(testsupport::HelperName(), {helper::kExit, "0"}, 300);
    EXPECT_EQ(report.status, TSYVStatusCode::kProgramNotStarted);
    EXPECT_THAT(report.message, HasSubstr("no tools folder"));

    // An absolute path is used as given, and named once.
    output.clear();
    report = Spawn(testsupport::HelperPath(), {helper::kExit, "0"}, 300, &output);
    EXPECT_FALSE(report.failed) << report.message;
    EXPECT_EQ(output, helper::kExitOutput);
    const std::string missing = (tools / "absent-tool").string();
    report = Spawn(missing, {}, 300);
    EXPECT_EQ(report.message, "The program could not be started: " + missing + ": no such file");

    std::filesystem::remove_all(tools);
}

TEST_F(SpawnProcessTest, OutsideAQueryItStillRunsAndThrows) {
    EXPECT_EQ(NORNSYV20::TOSSpecific::SpawnProcess(testsupport::HelperName(), {helper::kBlob}, 300), helper::Blob());
    try {
        NORNSYV20::TOSSpecific::SpawnProcess("absent-tool", {}, 300);
        ADD_FAILURE() << "no exception";
    } catch (const NORNSYV20::TSYVException& error) {
        EXPECT_EQ(error.GetStatusCode().GetCode(), TSYVStatusCode::kProgramNotStarted);
        EXPECT_THAT(error.what(), HasSubstr("absent-tool ("));
    }
}

// The in-process tool replaces programs but not the host's policy: the cap
// and the record still apply, and clearing it starts programs again.
TEST_F(SpawnProcessTest, InProcessToolIsCappedAndRecordedLikeAProgram) {
    std::vector<std::string> seenArguments;
    syv::StandinHost::SetInProcessTool([&](const std::string& path, const std::vector<std::string>& arguments) {
        seenArguments = arguments;
        return path + " printed";
    });
    std::string output;
    syv::QueryReport report = Spawn("qlogic//scli.exe", {"-z"}, 300, &output);
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(output, "qlogic//scli.exe printed");
    EXPECT_EQ(seenArguments, std::vector<std::string>{"-z"});
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].outcome, "ok");

    syv::StandinHost::SetMaxOutputBytes(10);
    report = Spawn("qlogic//scli.exe", {"-z"}, 300);
    EXPECT_EQ(report.status, TSYVStatusCode::kProgramOutputTooLarge);
    EXPECT_EQ(report.message, "The program's output exceeded the size limit: qlogic//scli.exe: more than 10 bytes of output");
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].outcome, "failed: " + report.message);

    syv::StandinHost::SetInProcessTool(nullptr);
    syv::StandinHost::SetMaxOutputBytes(64ull << 20);
    EXPECT_EQ(NORNSYV20::TOSSpecific::SpawnProcess(testsupport::HelperName(), {helper::kBlob}, 300), helper::Blob());
}

}  // namespace
