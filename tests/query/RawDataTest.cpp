// Raw-data instances: where the output comes from, how it is cut into lines,
// and what a failed tool run leaves.
#include "QueryFixture.h"

#include "discovery/QLogicFibreChannelInventory.h"
#include "plugin/Constants.h"

#include <gmock/gmock.h>

namespace velkor {
namespace testing {
namespace {

using ::testing::ElementsAre;

typedef QueryTest RawDataTest;

TEST_F(RawDataTest, FibreChannelRawDataAloneRunsTheToolAndCreatesNoInventory) {
    UseFibreChannelOutput("HBA General Information\r\n  HBA Model : X\r\nlast line without end");
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

TEST_F(RawDataTest, IScsiRawDataRunsTheToolForEveryRequest) {
    UseIScsiOutput("Displaying Port inst 0\r\n\r\nBoard Type : B\r\n");
    const syv::QueryReport report = Query({kIScsiControllerClass, kIScsiRawDataClass, kIScsiRawDataClass});
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_EQ(report.toolRuns.size(), 3u);
    const std::vector<syv::CommittedInstance> raw = OfClass(report, kIScsiRawDataClass);
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_THAT(Describe(raw[1]), ElementsAre("Command:string=qlogic//iscli.exe -z",
                                              "RawResults:array{string=Displaying Port inst 0|string=|string=Board "
                                              "Type : B}"));
}

TEST_F(RawDataTest, OutputWithoutUsableLinesGivesNoInstance) {
    const struct {
        const char* output;
        const char* why;
    } cases[] = {
        {"Displaying Port inst 0 and no line end", "the marker but no carriage return"},
        {"No HBAs detected\r\n", "no marker"},
        {"", "no output"},
    };
    for (const auto& c : cases) {
        UseIScsiOutput(c.output);
        const syv::QueryReport report = Query({kIScsiRawDataClass});
        EXPECT_FALSE(report.failed) << c.why;
        EXPECT_TRUE(report.instances.empty()) << c.why;
        EXPECT_TRUE(report.log.empty()) << c.why;
    }
}

}  // namespace
}  // namespace testing
}  // namespace velkor
