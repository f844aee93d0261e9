// Controller and element instances as the host receives them: every
// property's name, type, value and order.
#include "QueryFixture.h"

namespace velkor {
namespace testing {
namespace {

typedef QueryTest InstanceBuilderTest;

// One Fibre Channel adapter whose flash and driver firmware versions differ,
// and sixteen iSCSI adapters, numbered in plain decimal; adapter i (from 0) of
// the tool output is number i + 1.
TEST_F(InstanceBuilderTest, EveryPropertyInOrderForBothKinds) {
    UseOutput("scli", testsupport::ReadFile(VELKOR_TRANSCRIPTS_DIR "/scli-nested-labels.txt"));
    UseOutput("iscli", testsupport::ReadFile(VELKOR_TRANSCRIPTS_DIR "/iscli-sixteen-adapters.txt"));
    const syv::QueryReport report =
        Query({kFibreChannelControllerClass, kFibreChannelFirmwareElementClass, kFibreChannelBiosElementClass,
               kIScsiControllerClass, kIScsiFirmwareElementClass, kIScsiBiosElementClass});
    ASSERT_FALSE(report.failed) << report.message;
    const std::string fc = "QLogic Fibre Channel";
    const std::string model = "Dual Port Adapter, low profile";
    const std::string element = "SoftwareElementState:uint16=3";
    const std::string os = "TargetOperatingSystem:uint16=58";
    const std::string maker = "Manufacturer:string=QLogic Corp.";
    const struct {
        std::string className;
        std::size_t count, position;
        std::vector<std::string> properties;
    } cases[] = {
        {kFibreChannelControllerClass, 1, 0,
         {"SystemCreationClassName:string=ORN", "SystemName:string=LOCALHOST",
          "CreationClassName:string=" + kFibreChannelControllerClass, "DeviceID:string=" + fc + "1",
          "OtherIdentifyingInfo:array{string=" + model + "|string=" + fc + "1}", "ControllerNum:uint32=0",
          "ControllerType:string=" + model}},
        {kFibreChannelFirmwareElementClass, 1, 0,
         {"Name:string=" + fc + "1 Firmware", "Version:string=8.07.100", "DriverFirmwareVersion:string=8.08.231",
          element, "SoftwareElementID:string=" + fc + " Firmware1", os, "DeviceID:string=" + fc + "1", maker}},
        {kFibreChannelBiosElementClass, 1, 0,
         {"Name:string=" + fc + "1 BIOS", "Version:string=3.40", element, "SoftwareElementID:string=" + fc + " BIOS1",
          os, "DeviceID:string=" + fc + "1", maker}},
        {kIScsiControllerClass, 16, 9,
         {"SystemCreationClassName:string=ORN", "SystemName:string=LOCALHOST",
          "CreationClassName:string=" + kIScsiControllerClass, "DeviceID:string=QLogic iScsi HBA10",
          "OtherIdentifyingInfo:array{string=IC-8242|string=QLogic iScsi HBA10}", "ControllerNum:uint32=9",
          "ControllerType:string=IC-8242"}},
        // iSCSI firmware elements carry no driver firmware version at all.
        {kIScsiFirmwareElementClass, 16, 11,
         {"Name:string=QLogic iScsi HBA12 Firmware", "Version:string=5.04.00.11", element,
          "SoftwareElementID:string=QLogic iScsi HBA Firmware12", os, "DeviceID:string=QLogic iScsi HBA12", maker}},
        {kIScsiBiosElementClass, 16, 1,
         {"Name:string=QLogic iScsi HBA2 BIOS", "Version:string=2.01", element,
          "SoftwareElementID:string=QLogic iScsi HBA BIOS2", os, "DeviceID:string=QLogic iScsi HBA2", maker}},
    };
    for (const auto& c : cases) {
        const std::vector<syv::CommittedInstance> instances = OfClass(report, c.className);
        ASSERT_EQ(instances.size(), c.count) << c.className;
        EXPECT_EQ(Describe(instances[c.position]), c.properties);
    }
}

TEST_F(InstanceBuilderTest, MissingFieldsBecomeEmptyTextAndAreStillCommitted) {
    SetInventory<QLogicFibreChannelInventory>({Record({{kAdapterIndex, " 7"}}), Record({{kAdapterIndex, "7x"}, {kModel, "M"}})}, {});
    const syv::QueryReport report =
        Query({kFibreChannelControllerClass, kFibreChannelFirmwareElementClass, kFibreChannelBiosElementClass});
    ASSERT_FALSE(report.failed) << report.message;
    ASSERT_EQ(report.instances.size(), 6u);
    EXPECT_THAT(Describe(report.instances[0]),
                ElementsAre("SystemCreationClassName:string=ORN", "SystemName:string=LOCALHOST",
                            "CreationClassName:string=" + kFibreChannelControllerClass,
                            "DeviceID:string=QLogic Fibre Channel1",
                            "OtherIdentifyingInfo:array{string=|string=QLogic Fibre Channel1}",
                            "ControllerNum:uint32=7", "ControllerType:string="));
    EXPECT_EQ(PropertyOf(report.instances[2], "Version"), "string=");
    EXPECT_EQ(PropertyOf(report.instances[2], "DriverFirmwareVersion"), "string=");
    EXPECT_EQ(PropertyOf(report.instances[5], "Version"), "string=");
    // The instances of the two adapters still differ in their keys.
    EXPECT_NE(report.instances[2].path, report.instances[3].path);
}

}  // namespace
}  // namespace testing
}  // namespace velkor
