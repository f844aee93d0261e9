// Controller and element instances as the host receives them: every
// property's name, type, value and order.
#include "QueryFixture.h"

namespace velkor {
namespace testing {
namespace {

typedef QueryTest InstanceBuilderTest;

// Two Fibre Channel adapters and twelve iSCSI adapters, numbered in plain
// decimal; adapter i (from 0) of the tool output is number i + 1.
TEST_F(InstanceBuilderTest, EveryPropertyInOrderForBothKinds) {
    UseOutput("iscli", IScsiOutput(12));
    const syv::QueryReport report =
        Query({kFibreChannelControllerClass, kFibreChannelFirmwareElementClass, kFibreChannelBiosElementClass,
               kIScsiControllerClass, kIScsiFirmwareElementClass, kIScsiBiosElementClass});
    ASSERT_FALSE(report.failed) << report.message;
    const std::string fc = "QLogic Fibre Channel";
    const std::string element = "SoftwareElementState:uint16=3";
    const std::string os = "TargetOperatingSystem:uint16=58";
    const std::string maker = "Manufacturer:string=QLogic Corp.";
    const struct {
        std::string className;
        std::size_t count, position;
        std::vector<std::string> properties;
    } cases[] = {
        {kFibreChannelControllerClass, 2, 1,
         {"SystemCreationClassName:string=ORN", "SystemName:string=LOCALHOST",
          "CreationClassName:string=" + kFibreChannelControllerClass, "DeviceID:string=" + fc + "2",
          "OtherIdentifyingInfo:array{string=MODEL-1|string=" + fc + "2}", "ControllerNum:uint32=1",
          "ControllerType:string=MODEL-1"}},
        // The flash firmware version is cut at its first blank.
        {kFibreChannelFirmwareElementClass, 2, 1,
         {"Name:string=" + fc + "2 Firmware", "Version:string=8.0.1", "DriverFirmwareVersion:string=8.1.1", element,
          "SoftwareElementID:string=" + fc + " Firmware2", os, "DeviceID:string=" + fc + "2", maker}},
        {kFibreChannelBiosElementClass, 2, 0,
         {"Name:string=" + fc + "1 BIOS", "Version:string=3.0", element, "SoftwareElementID:string=" + fc + " BIOS1",
          os, "DeviceID:string=" + fc + "1", maker}},
        {kIScsiControllerClass, 12, 9,
         {"SystemCreationClassName:string=ORN", "SystemName:string=LOCALHOST",
          "CreationClassName:string=" + kIScsiControllerClass, "DeviceID:string=QLogic iScsi HBA10",
          "OtherIdentifyingInfo:array{string=CHIP-9|string=QLogic iScsi HBA10}", "ControllerNum:uint32=9",
          "ControllerType:string=CHIP-9"}},
        // iSCSI firmware elements carry no driver firmware version at all.
        {kIScsiFirmwareElementClass, 12, 11,
         {"Name:string=QLogic iScsi HBA12 Firmware", "Version:string=4.0.11", element,
          "SoftwareElementID:string=QLogic iScsi HBA Firmware12", os, "DeviceID:string=QLogic iScsi HBA12", maker}},
        {kIScsiBiosElementClass, 12, 1,
         {"Name:string=QLogic iScsi HBA2 BIOS", "Version:string=2.1", element,
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
