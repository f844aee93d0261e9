// Associations as the host receives them, with the controllers and elements
// found through the host's own enumeration of the plug-in's classes.
#include "QueryFixture.h"

#include "plugin/Constants.h"

#include <gmock/gmock.h>

namespace velkor {
namespace testing {
namespace {

using ::testing::ElementsAre;

typedef QueryTest AssociationBuilderTest;

// An association described by the paths it refers to.
std::string Pair(const syv::CommittedInstance& association) {
    return PropertyOf(association, "Dependent") + " -> " + PropertyOf(association, "Antecedent");
}

std::string Pair(const syv::CommittedInstance& controller, const syv::CommittedInstance& element) {
    return "ref=" + controller.path + " -> ref=" + element.path;
}

std::vector<std::string> Pairs(const syv::QueryReport& report, const std::string& className) {
    std::vector<std::string> pairs;
    for (const syv::CommittedInstance& association : OfClass(report, className)) {
        pairs.push_back(Pair(association));
    }
    return pairs;
}

struct AssociationCase {
    std::string association;
    std::string controller;
    std::string element;
};

TEST_F(AssociationBuilderTest, EachAssociationClassAloneLinksEveryControllerToItsOwnElement) {
    const AssociationCase cases[] = {
        {kFibreChannelControllerFirmwareClass, kFibreChannelControllerClass, kFibreChannelFirmwareElementClass},
        {kFibreChannelControllerBiosClass, kFibreChannelControllerClass, kFibreChannelBiosElementClass},
        {kIScsiControllerFirmwareClass, kIScsiControllerClass, kIScsiFirmwareElementClass},
        {kIScsiControllerBiosClass, kIScsiControllerClass, kIScsiBiosElementClass},
    };
    for (const AssociationCase& c : cases) {
        SCOPED_TRACE(c.association);
        const syv::QueryReport reference = Query({c.controller, c.element});
        const std::vector<syv::CommittedInstance> controllers = OfClass(reference, c.controller);
        const std::vector<syv::CommittedInstance> elements = OfClass(reference, c.element);
        ASSERT_EQ(controllers.size(), 2u);
        ASSERT_EQ(elements.size(), 2u);

        const syv::QueryReport report = Query({c.association});
        ASSERT_FALSE(report.failed) << report.message;
        // Only the associations are results: what the host enumerated to find
        // controllers and elements is not.
        ASSERT_EQ(report.instances.size(), 2u);
        EXPECT_THAT(Describe(report.instances[0]),
                    ElementsAre("Dependent:ref=" + controllers[0].path, "Antecedent:ref=" + elements[0].path));
        EXPECT_THAT(Pairs(report, c.association),
                    ElementsAre(Pair(controllers[0], elements[0]), Pair(controllers[1], elements[1])));
    }
}

TEST_F(AssociationBuilderTest, OnlyTheFirstListEntryOfANameDecides) {
    // "...1 Firmware" is listed first under index 1, then under index 0.
    SetFibreChannelInventory({Record({{kAdapterIndex, "0"}}), Record({{kAdapterIndex, "1"}})},
                             {ElementName(1, "QLogic Fibre Channel1 Firmware"),
                              ElementName(0, "QLogic Fibre Channel1 Firmware"),
                              ElementName(1, "QLogic Fibre Channel2 Firmware")});
    const syv::QueryReport reference = Query({kFibreChannelControllerClass, kFibreChannelFirmwareElementClass});
    const std::vector<syv::CommittedInstance> controllers = OfClass(reference, kFibreChannelControllerClass);
    const std::vector<syv::CommittedInstance> elements = OfClass(reference, kFibreChannelFirmwareElementClass);
    ASSERT_EQ(controllers.size(), 2u);
    ASSERT_EQ(elements.size(), 2u);

    const syv::QueryReport report = Query({kFibreChannelControllerFirmwareClass});
    EXPECT_THAT(Pairs(report, kFibreChannelControllerFirmwareClass),
                ElementsAre(Pair(controllers[1], elements[0]), Pair(controllers[1], elements[1])));
}

TEST_F(AssociationBuilderTest, ControllersWithTheSameNumberShareTheirElement) {
    SetIScsiInventory({Record({{kAdapterIndex, "0"}}), Record({{kAdapterIndex, "0"}})},
                      {ElementName(0, "QLogic iScsi HBA1 Firmware"), ElementName(0, "QLogic iScsi HBA1 BIOS"),
                       ElementName(1, "QLogic iScsi HBA2 Firmware"), ElementName(1, "QLogic iScsi HBA2 BIOS")});
    const syv::QueryReport reference = Query({kIScsiControllerClass, kIScsiBiosElementClass});
    const std::vector<syv::CommittedInstance> controllers = OfClass(reference, kIScsiControllerClass);
    const std::vector<syv::CommittedInstance> elements = OfClass(reference, kIScsiBiosElementClass);
    ASSERT_EQ(controllers.size(), 2u);
    ASSERT_EQ(elements.size(), 2u);

    const syv::QueryReport report = Query({kIScsiControllerBiosClass});
    EXPECT_THAT(Pairs(report, kIScsiControllerBiosClass),
                ElementsAre(Pair(controllers[0], elements[0]), Pair(controllers[1], elements[0])));
}

TEST_F(AssociationBuilderTest, AnElementWithoutANameIsNeverAssociated) {
    SetFibreChannelInventory({Record({{kAdapterIndex, "0"}})},
                             {ElementName(0, ""), ElementName(0, "QLogic Fibre Channel1 BIOS")});
    // Another provider's elements stand in for the plug-in's own here: one
    // with an empty name, one with the listed name.
    router_->AnswerFor(kFibreChannelBiosElementClass, [](const boost::shared_ptr<NORNSYV20::ICIMClass>& cls) {
        for (const char* name : {"", "QLogic Fibre Channel1 BIOS"}) {
            const boost::shared_ptr<NORNSYV20::ICIMInstance> element = cls->CreateInstance(NORNSYV20::TCIMValueMap());
            element->SetProperty("Name", NORNSYV20::TCIMValue(name), NORNSYV20::TCIMValueMap());
            element->SetProperty("Version", NORNSYV20::TCIMValue(std::string(name) + "v"), NORNSYV20::TCIMValueMap());
            element->Commit(NORNSYV20::TCIMValueMap());
        }
    });
    const syv::QueryReport report = Query({kFibreChannelControllerBiosClass});
    ASSERT_FALSE(report.failed) << report.message;
    ASSERT_EQ(report.instances.size(), 1u);
    EXPECT_NE(PropertyOf(report.instances[0], "Antecedent").find("QLogic Fibre Channel1 BIOS"), std::string::npos);
}

}  // namespace
}  // namespace testing
}  // namespace velkor
