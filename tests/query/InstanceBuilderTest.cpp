// Controller and element instances as the host receives them: every
// property's name, type, value and order.
#include "QueryFixture.h"

#include "discovery/QLogicFibreChannelInventory.h"
#include "plugin/Constants.h"

#include <gmock/gmock.h>

namespace velkor {
namespace testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

typedef QueryTest InstanceBuilderTest;

TEST_F(InstanceBuilderTest, FibreChannelControllersOfTwoAdapters) {
    const syv::QueryReport report = Query({kFibreChannelControllerClass});
    ASSERT_FALSE(report.failed) << report.message;
    ASSERT_EQ(report.instances.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const std::string n = std::to_string(i);
        const std::string device = "QLogic Fibre Channel" + std::to_string(i + 1);
        EXPECT_EQ(report.instances[i].className, kFibreChannelControllerClass);
        EXPECT_THAT(Describe(report.instances[i]),
                    ElementsAre("SystemCreationClassName:string=ORN", "SystemName:string=LOCALHOST",
                                "CreationClassName:string=" + kFibreChannelControllerClass,
                                "DeviceID:string=" + device,
                                "OtherIdentifyingInfo:array{string=MODEL-" + n + "|string=" + device + "}",
                                "ControllerNum:uint32=" + n, "ControllerType:string=MODEL-" + n));
    }
}

TEST_F(InstanceBuilderTest, FibreChannelElementsOfTwoAdapters) {
    const syv::QueryReport report = Query({kFibreChannelFirmwareElementClass, kFibreChannelBiosElementClass});
    ASSERT_FALSE(report.failed) << report.message;
    ASSERT_EQ(report.instances.size(), 4u);
    for (int i = 0; i < 2; ++i) {
        const std::string n = std::to_string(i);
        const std::string number = std::to_string(i + 1);
        EXPECT_EQ(report.instances[i].className, kFibreChannelFirmwareElementClass);
        // The flash firmware version is cut at its first blank.
        EXPECT_THAT(Describe(report.instances[i]),
                    ElementsAre("Name:string=QLogic Fibre Channel" + number + " Firmware",
                                "Version:string=8.0." + n, "DriverFirmwareVersion:string=8.1." + n,
                                "SoftwareElementState:uint16=3",
                                "SoftwareElementID:string=QLogic Fibre Channel Firmware" + number,
                                "TargetOperatingSystem:uint16=58", "DeviceID:string=QLogic Fibre Channel" + number,
                                "Manufacturer:string=QLogic Corp."));
        EXPECT_EQ(report.instances[2 + i].className, kFibreChannelBiosElementClass);
        EXPECT_THAT(Describe(report.instances[2 + i]),
                    ElementsAre("Name:string=QLogic Fibre Channel" + number + " BIOS", "Version:string=3." + n,
                                "SoftwareElementState:uint16=3",
                                "SoftwareElementID:string=QLogic Fibre Channel BIOS" + number,
                                "TargetOperatingSystem:uint16=58", "DeviceID:string=QLogic Fibre Channel" + number,
                                "Manufacturer:string=QLogic Corp."));
    }
}

TEST_F(InstanceBuilderTest, TwelveIScsiAdaptersAreNumberedInPlainDecimal) {
    UseIScsiOutput(IScsiOutput(12));
    const syv::QueryReport report =
        Query({kIScsiControllerClass, kIScsiFirmwareElementClass, kIScsiBiosElementClass});
    ASSERT_FALSE(report.failed) << report.message;
    const std::vector<syv::CommittedInstance> controllers = OfClass(report, kIScsiControllerClass);
    const std::vector<syv::CommittedInstance> firmware = OfClass(report, kIScsiFirmwareElementClass);
    const std::vector<syv::CommittedInstance> bios = OfClass(report, kIScsiBiosElementClass);
    ASSERT_EQ(controllers.size(), 12u);
    ASSERT_EQ(firmware.size(), 12u);
    ASSERT_EQ(bios.size(), 12u);

    EXPECT_THAT(Describe(controllers[9]),
                ElementsAre("SystemCreationClassName:string=ORN", "SystemName:string=LOCALHOST",
                            "CreationClassName:string=" + kIScsiControllerClass, "DeviceID:string=QLogic iScsi HBA10",
                            "OtherIdentifyingInfo:array{string=CHIP-9|string=QLogic iScsi HBA10}",
                            "ControllerNum:uint32=9", "ControllerType:string=CHIP-9"));
    // iSCSI firmware elements carry no driver firmware version at all.
    EXPECT_THAT(Describe(firmware[11]),
                ElementsAre("Name:string=QLogic iScsi HBA12 Firmware", "Version:string=4.0.11",
                            "SoftwareElementState:uint16=3", "SoftwareElementID:string=QLogic iScsi HBA Firmware12",
                            "TargetOperatingSystem:uint16=58", "DeviceID:string=QLogic iScsi HBA12",
                            "Manufacturer:string=QLogic Corp."));
    EXPECT_THAT(Describe(bios[1]),
                ElementsAre("Name:string=QLogic iScsi HBA2 BIOS", "Version:string=2.1", "SoftwareElementState:uint16=3",
                            "SoftwareElementID:string=QLogic iScsi HBA BIOS2", "TargetOperatingSystem:uint16=58",
                            "DeviceID:string=QLogic iScsi HBA2", "Manufacturer:string=QLogic Corp."));
    for (std::size_t i = 0; i < controllers.size(); ++i) {
        EXPECT_EQ(PropertyOf(controllers[i], "ControllerNum"), "uint32=" + std::to_string(i));
    }
}

TEST_F(InstanceBuilderTest, MissingFieldsBecomeEmptyTextAndAreStillCommitted) {
    SetFibreChannelInventory({Record({{kAdapterIndex, " 7"}}), Record({{kAdapterIndex, "7x"}, {kModel, "M"}})}, {});
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
    EXPECT_EQ(PropertyOf(report.instances[1], "ControllerNum"), "uint32=7");
    EXPECT_EQ(PropertyOf(report.instances[2], "Version"), "string=");
    EXPECT_EQ(PropertyOf(report.instances[2], "DriverFirmwareVersion"), "string=");
    EXPECT_EQ(PropertyOf(report.instances[5], "Version"), "string=");
    // The instances of the two adapters still differ in their keys.
    EXPECT_NE(report.instances[2].path, report.instances[3].path);
    EXPECT_TRUE(report.toolRuns.empty());
}

TEST_F(InstanceBuilderTest, EachBuilderCallServesTheClassAtItsOwnPosition) {
    const syv::QueryReport report = Query({kFibreChannelBiosElementClass, kIScsiControllerClass,
                                           kFibreChannelControllerClass, kFibreChannelBiosElementClass});
    ASSERT_FALSE(report.failed) << report.message;
    std::vector<std::string> classes;
    for (const syv::CommittedInstance& instance : report.instances) {
        classes.emplace_back(instance.className);
    }
    EXPECT_THAT(classes, ElementsAreArray({kFibreChannelBiosElementClass, kFibreChannelBiosElementClass,
                                           kIScsiControllerClass, kIScsiControllerClass,
                                           kFibreChannelControllerClass, kFibreChannelControllerClass,
                                           kFibreChannelBiosElementClass, kFibreChannelBiosElementClass}));
}

// Counts what a builder asks of a class, and passes every call on to
// syvcore's own class.
class SpyClass : public NORNSYV20::ICIMClass {
public:
    explicit SpyClass(boost::shared_ptr<NORNSYV20::ICIMClass> real) : real_(real) {}
    const std::string& GetName(NORNSYV20::TCIMValueMap context) override { return real_->GetName(context); }
    boost::shared_ptr<NORNSYV20::ICIMInstance> CreateInstance(NORNSYV20::TCIMValueMap context) override {
        ++created;
        return real_->CreateInstance(context);
    }
    void EnumerateInstances(NORNSYV20::TCIMInstanceCallback callback, bool deep,
                            NORNSYV20::TCIMValueMap context) override {
        ++enumerated;
        real_->EnumerateInstances(callback, deep, context);
    }
    int created = 0;
    int enumerated = 0;

private:
    boost::shared_ptr<NORNSYV20::ICIMClass> real_;
};

TEST_F(InstanceBuilderTest, AnEmptyInventoryMakesNoInstanceAndNoFurtherHostCall) {
    UseFibreChannelOutput("No compatible HBA(s) found in current system\r\n");
    UseIScsiOutput("No HBAs detected\r\n");
    const std::vector<std::string> names = {kFibreChannelControllerClass, kFibreChannelFirmwareElementClass,
                                            kFibreChannelBiosElementClass, kIScsiControllerClass,
                                            kIScsiFirmwareElementClass, kIScsiBiosElementClass};
    const syv::QueryReport report = Query(names);
    ASSERT_FALSE(report.failed) << report.message;
    EXPECT_TRUE(report.instances.empty());
    EXPECT_EQ(report.toolRuns.size(), 2u);

    // With the (empty) inventories in place, the builders ask the classes
    // nothing but their names.
    std::vector<boost::shared_ptr<NORNSYV20::ICIMClass>> classes;
    std::vector<SpyClass*> spies;
    for (const std::string& name : names) {
        SpyClass* spy = new SpyClass(syv::StandinHost::GetNamespace()->GetClass(name, NORNSYV20::TCIMValueMap()));
        spies.push_back(spy);
        classes.push_back(boost::shared_ptr<NORNSYV20::ICIMClass>(spy));
    }
    plugin_->QueryInstances(syv::StandinHost::GetNamespace(), classes);
    for (const SpyClass* spy : spies) {
        EXPECT_EQ(spy->created, 0);
        EXPECT_EQ(spy->enumerated, 0);
    }
}

}  // namespace
}  // namespace testing
}  // namespace velkor
