// Whole queries: which tools run, how often, and what the host receives.
#include "QueryFixture.h"

#include "PluginLibrary.h"

#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiInventory.h"
#include "plugin/Constants.h"

#include <gmock/gmock.h>

namespace velkor {
namespace testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

typedef QueryTest DispatcherTest;

std::vector<std::string> Commands(const syv::QueryReport& report) {
    std::vector<std::string> commands;
    for (const syv::ToolRun& run : report.toolRuns) {
        commands.push_back(run.command);
    }
    return commands;
}

TEST_F(DispatcherTest, TheTypicalRequestRunsTheToolOnceForTwoControllers) {
    const syv::QueryReport report = Query({kFibreChannelControllerClass});
    ASSERT_FALSE(report.failed) << report.message;
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].command, "qlogic//scli.exe");
    EXPECT_THAT(report.toolRuns[0].arguments, ElementsAre("-z"));
    EXPECT_EQ(report.toolRuns[0].timeout, 300);
    EXPECT_EQ(report.toolRuns[0].outcome, "ok");
    EXPECT_EQ(OfClass(report, kFibreChannelControllerClass).size(), 2u);
    EXPECT_EQ(report.instances.size(), 2u);

    // The inventory names every adapter's elements, firmware first.
    std::vector<std::string> names;
    for (const ElementName& entry : QLogicFibreChannelInventory::Instance()->GetElementNames()) {
        names.push_back(std::to_string(entry.GetIndex()) + ":" + entry.GetName());
    }
    EXPECT_THAT(names, ElementsAre("0:QLogic Fibre Channel1 Firmware", "0:QLogic Fibre Channel1 BIOS",
                                   "1:QLogic Fibre Channel2 Firmware", "1:QLogic Fibre Channel2 BIOS"));
    EXPECT_EQ(QLogicFibreChannelInventory::Instance()->GetRawOutput(), FibreChannelOutput(2));
}

TEST_F(DispatcherTest, DataIsCollectedOncePerInventoryLifetime) {
    const std::vector<std::string> classes = {kFibreChannelControllerClass, kFibreChannelFirmwareElementClass,
                                              kFibreChannelControllerFirmwareClass};
    const syv::QueryReport first = Query(classes);
    ASSERT_FALSE(first.failed) << first.message;
    EXPECT_THAT(Commands(first), ElementsAre("qlogic//scli.exe"));
    ASSERT_EQ(first.instances.size(), 6u);
    EXPECT_EQ(first.instances[0].className, kFibreChannelControllerClass);
    EXPECT_EQ(first.instances[2].className, kFibreChannelFirmwareElementClass);
    EXPECT_EQ(first.instances[4].className, kFibreChannelControllerFirmwareClass);

    const syv::QueryReport repeated = Query(classes);
    EXPECT_TRUE(repeated.toolRuns.empty());
    ASSERT_EQ(repeated.instances.size(), first.instances.size());
    for (std::size_t i = 0; i < first.instances.size(); ++i) {
        EXPECT_EQ(repeated.instances[i].path, first.instances[i].path);
        EXPECT_EQ(Describe(repeated.instances[i]), Describe(first.instances[i]));
    }

    plugin_->Shutdown();
    plugin_->Shutdown();
    EXPECT_EQ(QLogicFibreChannelInventory::Instance(), nullptr);
    UseFibreChannelOutput(FibreChannelOutput(3));
    const syv::QueryReport afterShutdown = Query({kFibreChannelControllerClass});
    EXPECT_THAT(Commands(afterShutdown), ElementsAre("qlogic//scli.exe"));
    EXPECT_EQ(afterShutdown.instances.size(), 3u);
}

TEST_F(DispatcherTest, AnUnservedClassEndsTheQueryAfterTheClassesBeforeIt) {
    const syv::QueryReport report = Query({kFibreChannelControllerClass, "CIM_Processor", kIScsiControllerClass});
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(report.status, 2u);
    EXPECT_THAT(report.message, HasSubstr("CIM_Processor"));
    // Collection covered the whole list before the first instance was built.
    EXPECT_THAT(Commands(report), ElementsAre("qlogic//scli.exe", "qlogic//iscli.exe"));
    EXPECT_EQ(OfClass(report, kFibreChannelControllerClass).size(), 2u);
    EXPECT_TRUE(OfClass(report, kIScsiControllerClass).empty());
}

TEST_F(DispatcherTest, ClassNamesAreComparedExactly) {
    for (const std::string& name : {std::string("ornsg_qlogicfibrechannelscsiprotocolcontroller"),
                                    std::string("ORNSG_QLogicIScsiSCSIProtocolController "), std::string("")}) {
        const syv::QueryReport report = Query({name});
        EXPECT_EQ(report.status, 2u) << name;
        EXPECT_TRUE(report.toolRuns.empty()) << name;
    }
    EXPECT_EQ(QLogicFibreChannelInventory::Instance(), nullptr);
    const syv::QueryReport none = Query({});
    EXPECT_FALSE(none.failed);
    EXPECT_TRUE(none.toolRuns.empty());
}

TEST_F(DispatcherTest, TheSameClassTwiceIsServedTwice) {
    const syv::QueryReport report = Query({kIScsiBiosElementClass, kIScsiBiosElementClass});
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(report.toolRuns.size(), 1u);
    ASSERT_EQ(report.instances.size(), 4u);
    EXPECT_EQ(Describe(report.instances[0]), Describe(report.instances[2]));
}

TEST_F(DispatcherTest, NoAdaptersIsAnAnswerThatIsKept) {
    UseFibreChannelOutput("No compatible HBA(s) found in current system\r\n");
    const syv::QueryReport first = Query({kFibreChannelControllerClass, kFibreChannelRawDataClass});
    ASSERT_FALSE(first.failed) << first.message;
    EXPECT_TRUE(first.instances.empty());
    ASSERT_NE(QLogicFibreChannelInventory::Instance(), nullptr);
    EXPECT_TRUE(QLogicFibreChannelInventory::Instance()->GetElementNames().empty());

    UseFibreChannelOutput(FibreChannelOutput(2));
    const syv::QueryReport second = Query({kFibreChannelControllerClass, kFibreChannelRawDataClass});
    EXPECT_TRUE(second.toolRuns.empty());
    EXPECT_TRUE(second.instances.empty());
}

// A failed discovery leaves no inventory: with the tool back, the next query
// discovers again.
TEST_F(DispatcherTest, AFailedDiscoveryIsNotCached) {
    const struct {
        std::string className, knob;
        std::uint32_t status;
        const char* tool;
    } cases[] = {
        {kFibreChannelControllerClass, "SCLI_CRASH", NORNSYV20::TSYVStatusCode::kProgramCrashed, "qlogic//scli.exe"},
        {kIScsiFirmwareElementClass, "ISCLI_CRASH", NORNSYV20::TSYVStatusCode::kProgramCrashed, "qlogic//iscli.exe"},
    };
    for (const auto& c : cases) {
        testsupport::SetEnvironment(c.knob, "1");
        const syv::QueryReport failed = Query({c.className});
        EXPECT_TRUE(failed.failed);
        EXPECT_EQ(failed.status, c.status);
        EXPECT_THAT(failed.message, HasSubstr(c.tool));
        EXPECT_TRUE(failed.instances.empty());
        EXPECT_EQ(QLogicFibreChannelInventory::Instance(), nullptr);
        EXPECT_EQ(QLogicIScsiInventory::Instance(), nullptr);

        testsupport::UnsetEnvironment(c.knob);
        const syv::QueryReport recovered = Query({c.className});
        ASSERT_FALSE(recovered.failed) << recovered.message;
        EXPECT_THAT(Commands(recovered), ElementsAre(c.tool));
        EXPECT_EQ(recovered.instances.size(), 2u);
        plugin_->Shutdown();
    }
}

}  // namespace
}  // namespace testing
}  // namespace velkor
