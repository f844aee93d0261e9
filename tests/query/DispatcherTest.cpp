// Whole queries: which tools run, how often, and what the host receives,
// raw data included.
#include "QueryFixture.h"

namespace velkor {
namespace testing {
namespace {

typedef QueryTest DispatcherTest;

TEST_F(DispatcherTest, TheTypicalRequestRunsTheToolOnceForTwoControllers) {
    const syv::QueryReport report = Query({kFibreChannelControllerClass});
    ASSERT_FALSE(report.failed) << report.message;
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].command, "qlogic//scli.exe");  // how a run is recorded: the end-to-end test
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

TEST_F(DispatcherTest, FibreChannelRawDataAloneRunsTheToolAndCreatesNoInventory) {
    UseOutput("scli", "HBA General Information\r\n  HBA Model : X\r\nlast line without end");
    const syv::QueryReport report = Query({kFibreChannelRawDataClass});
    ASSERT_FALSE(report.failed) << report.message;
    ASSERT_EQ(report.toolRuns.size(), 1u);
    EXPECT_EQ(report.toolRuns[0].command, "qlogic//scli.exe");
    EXPECT_EQ(QLogicFibreChannelInventory::Instance(), nullptr);
    ASSERT_EQ(report.instances.size(), 1u);
    EXPECT_THAT(Describe(report.instances[0]),
                ElementsAre("Command:string=qlogic//scli.exe -z",
                            "RawResults:array{string=HBA General Information|string=  HBA Model : X}"));
}

TEST_F(DispatcherTest, IScsiRawDataRunsTheToolForEveryRequest) {
    UseOutput("iscli", "Displaying Port inst 0\r\n\r\nBoard Type : B\r\n");
    const syv::QueryReport report = Query({kIScsiControllerClass, kIScsiRawDataClass, kIScsiRawDataClass});
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(report.toolRuns.size(), 3u);
    const std::vector<syv::CommittedInstance> raw = OfClass(report, kIScsiRawDataClass);
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_THAT(Describe(raw[1]), ElementsAre("Command:string=qlogic//iscli.exe -z",
                                              "RawResults:array{string=Displaying Port inst 0|string=|string=Board "
                                              "Type : B}"));
}

TEST_F(DispatcherTest, RawOutputWithoutUsableLinesGivesNoInstance) {
    const struct {
        const char* output;
        const char* why;
    } cases[] = {
        {"Displaying Port inst 0 and no line end", "the marker but no carriage return"},
        {"No HBAs detected\r\n", "no marker"},
        {"", "no output"},
    };
    for (const auto& c : cases) {
        UseOutput("iscli", c.output);
        const syv::QueryReport report = Query({kIScsiRawDataClass});
        EXPECT_FALSE(report.failed) << c.why;
        EXPECT_TRUE(report.instances.empty()) << c.why;
        EXPECT_TRUE(report.log.empty()) << c.why;
    }
}

}  // namespace
}  // namespace testing
}  // namespace velkor
