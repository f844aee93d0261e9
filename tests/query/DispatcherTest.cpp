// Whole queries: which tools run, how often, and what the host receives,
// raw data included. That one tool run serves every class of its kind, and
// that the iSCSI raw data runs its tool on every query, the fault matrix and
// the end-to-end default query show.
#include "QueryFixture.h"

namespace velkor {
namespace testing {
namespace {

typedef QueryTest DispatcherTest;

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

TEST_F(DispatcherTest, RawOutputWithoutUsableLinesGivesNoInstance) {
    const struct { const char* output; const char* why; } cases[] = {
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
