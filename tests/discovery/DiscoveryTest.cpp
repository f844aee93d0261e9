// The discovery objects inside a query of the stand-in host, running the
// simulated tools as real child processes.
#include "FakePlugin.h"
#include "TestEnvironment.h"
#include "Transcripts.h"

#include "discovery/QLogicFibreChannelDiscovery.h"
#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiDiscovery.h"
#include "discovery/QLogicIScsiInventory.h"
#include "host/Host.h"
#include "syvcore/StandinHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkor {
namespace {

// A counter value that discovery never writes, to see whether it wrote one.
const std::uint32_t kUntouched = 77;

const char* const kPrefix = "Got iscsi controller info following: \n";

class DiscoveryTest : public testing::Test {
protected:
    void SetUp() override {
        syv::StandinHost::SetToolsFolder(VELKOR_BIN_DIR);
        testsupport::Register(&plugin_);
        QLogicFibreChannelInventory::Create();
        QLogicIScsiInventory::Create();
    }

    void TearDown() override {
        syv::StandinHost::ClearRegisteredPlugins();
        QLogicFibreChannelInventory::Destroy();
        QLogicIScsiInventory::Destroy();
        for (const char* name : {"SCLI_TRANSCRIPT", "ISCLI_TRANSCRIPT", "SCLI_EXIT_CODE"}) {
            testsupport::UnsetEnvironment(name);
        }
    }

    // Runs Fibre Channel discovery inside a query; keeps its output.
    syv::QueryReport DiscoverFibreChannel() {
        plugin_.handler = [this](auto, const auto&) {
            const QLogicFibreChannelDiscovery discovery(&count_);
            output_ = discovery.GetOutput();
        };
        return syv::StandinHost::RunQuery({"AnyName"});
    }

    syv::QueryReport DiscoverIScsi() {
        plugin_.handler = [this](auto, const auto&) { const QLogicIScsiDiscovery discovery(&count_); };
        return syv::StandinHost::RunQuery({"AnyName"});
    }

    static std::vector<std::string> PluginLog(const syv::QueryReport& report) {
        std::vector<std::string> messages;
        for (const syv::LogEntry& entry : report.log) {
            if (entry.level == 3) {
                messages.push_back(entry.message);
            }
        }
        return messages;
    }

    testsupport::FakePlugin plugin_;
    std::uint32_t count_ = kUntouched;
    std::string output_ = "not set";
};

TEST_F(DiscoveryTest, FibreChannelRecordsTheDefaultMachineAndKeepsTheOutput) {
    const syv::QueryReport report = DiscoverFibreChannel();
    ASSERT_FALSE(report.failed) << report.message;

    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].command, "qlogic//scli.exe");
    EXPECT_EQ(report.toolRuns[0].arguments, std::vector<std::string>{"-z"});
    EXPECT_EQ(report.toolRuns[0].timeout, 300);
    EXPECT_EQ(report.toolRuns[0].outcome, "ok");

    EXPECT_EQ(count_, 3u);
    EXPECT_EQ(output_, test::ReadTranscript("scli.txt"));
    const std::vector<AdapterRecord> expected = {
        {{kAdapterIndex, "0"}, {kModel, "FCX-1620D"}, {kBiosVersion, "3.63"}, {kFirmwareVersion, "8.08.231"},
         {kDriverFirmwareVersion, "8.08.231"}},
        {{kAdapterIndex, "1"}, {kModel, "FCX-1620D"}, {kBiosVersion, "3.63"}, {kFirmwareVersion, "8.08.231"},
         {kDriverFirmwareVersion, "8.08.231"}},
        {{kAdapterIndex, "2"}, {kModel, "FCX-820S"}, {kBiosVersion, "2.16"}, {kFirmwareVersion, "5.09.04"},
         {kDriverFirmwareVersion, "5.09.04"}}};
    EXPECT_EQ(QLogicFibreChannelInventory::Instance()->GetAdapters(), expected);
    EXPECT_TRUE(PluginLog(report).empty());
}

TEST_F(DiscoveryTest, FibreChannelOutputWithoutAdaptersLeavesCounterAndOutputAlone) {
    // A failing exit code alone is no failure: the output decides.
    testsupport::SetEnvironment("SCLI_EXIT_CODE", "3");
    for (const char* transcript : {"scli-no-adapter.txt", "scli-error.txt"}) {
        SCOPED_TRACE(transcript);
        testsupport::SetEnvironment("SCLI_TRANSCRIPT", test::TranscriptPath(transcript));
        const syv::QueryReport report = DiscoverFibreChannel();
        ASSERT_FALSE(report.failed) << report.message;
        EXPECT_EQ(report.toolRuns.size(), 1u);
        EXPECT_EQ(count_, kUntouched);
        EXPECT_EQ(output_, "");
        EXPECT_TRUE(QLogicFibreChannelInventory::Instance()->GetAdapters().empty());
    }
}

TEST_F(DiscoveryTest, IScsiRecordsTheDefaultMachineAndLogsEachBlock) {
    const syv::QueryReport report = DiscoverIScsi();
    ASSERT_FALSE(report.failed) << report.message;

    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].command, "qlogic//iscli.exe");
    EXPECT_EQ(report.toolRuns[0].arguments, std::vector<std::string>{"-z"});
    EXPECT_EQ(report.toolRuns[0].timeout, 300);
    EXPECT_EQ(report.toolRuns[0].outcome, "ok");

    EXPECT_EQ(count_, 2u);
    const std::vector<AdapterRecord> expected = {
        {{kAdapterIndex, "0"}, {kModel, "IC-4032"}, {kFirmwareVersion, "3.01.04.08"}, {kBiosVersion, "2.01.22"}},
        {{kAdapterIndex, "1"}, {kModel, "IC-4032"}, {kFirmwareVersion, "3.01.04.08"}, {kBiosVersion, "2.01.22"}}};
    EXPECT_EQ(QLogicIScsiInventory::Instance()->GetAdapters(), expected);

    // The two ports lie far apart: each block runs to the next marker.
    const std::string output = test::ReadTranscript("iscli.txt");
    const std::size_t first = output.find("Board Type");
    const std::size_t second = output.find("Board Type", first + 1);
    ASSERT_GT(second - first, 522u);
    ASSERT_GT(output.size() - second, 522u);
    const std::vector<std::string> expectedLog = {kPrefix + output.substr(first, second - first),
                                                  kPrefix + output.substr(second)};
    EXPECT_EQ(PluginLog(report), expectedLog);
}

TEST_F(DiscoveryTest, IScsiCounterIsWrittenOnlyForAnAdapterListing) {
    struct Case {
        const char* transcript;
        std::uint32_t count;
    };
    const Case cases[] = {{"iscli-no-adapter.txt", kUntouched},
                          {"iscli-board-type-without-marker.txt", kUntouched},
                          {"iscli-marker-without-board-type.txt", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transcript);
        count_ = kUntouched;
        testsupport::SetEnvironment("ISCLI_TRANSCRIPT", test::TranscriptPath(c.transcript));
        const syv::QueryReport report = DiscoverIScsi();
        ASSERT_FALSE(report.failed) << report.message;
        EXPECT_EQ(count_, c.count);
        EXPECT_TRUE(QLogicIScsiInventory::Instance()->GetAdapters().empty());
        EXPECT_TRUE(PluginLog(report).empty());
    }
}

}  // namespace
}  // namespace velkor
