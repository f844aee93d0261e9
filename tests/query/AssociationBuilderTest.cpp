// Associations as the host receives them, with the controllers and elements
// found through the host's own enumeration of the plug-in's classes.
#include "QueryFixture.h"

#include <utility>

namespace velkor {
namespace testing {
namespace {

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

// Inventories filled by hand: an element pairs with every controller whose
// number is the index of the first list entry bearing the element's name.
// Pairs are (controller, element) positions in enumeration order.
TEST_F(AssociationBuilderTest, TheFirstListEntryOfANameDecidesItsControllers) {
    using Fill = void (*)(const std::vector<AdapterRecord>&, const std::vector<ElementName>&);
    const Fill fibreChannel = &SetInventory<QLogicFibreChannelInventory>;
    const std::string fc = "QLogic Fibre Channel";
    const std::string iScsi = "QLogic iScsi HBA";
    const struct {
        const char* what;
        Fill fill;
        std::vector<const char*> adapterIndexes;
        std::vector<ElementName> names;
        std::string association, controller, element;
        std::vector<std::string> standInElements;  // the element class answered by the test, by name
        std::vector<std::pair<std::size_t, std::size_t>> pairs;
    } cases[] = {
        {"a name listed under two indexes", fibreChannel, {"0", "1"},
         {ElementName(1, fc + "1 Firmware"), ElementName(0, fc + "1 Firmware"), ElementName(1, fc + "2 Firmware")},
         kFibreChannelControllerFirmwareClass, kFibreChannelControllerClass, kFibreChannelFirmwareElementClass, {},
         {{1, 0}, {1, 1}}},
        {"controllers with the same number", &SetInventory<QLogicIScsiInventory>, {"0", "0"},
         {ElementName(0, iScsi + "1 Firmware"), ElementName(0, iScsi + "1 BIOS"), ElementName(1, iScsi + "2 Firmware"),
          ElementName(1, iScsi + "2 BIOS")},
         kIScsiControllerBiosClass, kIScsiControllerClass, kIScsiBiosElementClass, {}, {{0, 0}, {1, 0}}},
        {"an element without a name", fibreChannel, {"0"}, {ElementName(0, ""), ElementName(0, fc + "1 BIOS")},
         kFibreChannelControllerBiosClass, kFibreChannelControllerClass, kFibreChannelBiosElementClass,
         {"", fc + "1 BIOS"}, {{0, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DestroyInventories();
        std::vector<AdapterRecord> adapters;
        for (const char* index : c.adapterIndexes) adapters.push_back(Record({{kAdapterIndex, index}}));
        c.fill(adapters, c.names);
        router_.answered = c.element;
        router_.handler = nullptr;
        if (!c.standInElements.empty()) {
            router_.handler = [&c](boost::shared_ptr<NORNSYV20::ICIMNamespace>,
                                   const boost::shared_ptr<NORNSYV20::ICIMClass>& cls) {
                for (const std::string& name : c.standInElements) {
                    const auto element = cls->CreateInstance(NORNSYV20::TCIMValueMap());
                    element->SetProperty("Name", NORNSYV20::TCIMValue(name), NORNSYV20::TCIMValueMap());
                    element->SetProperty("Version", NORNSYV20::TCIMValue(name + "v"), NORNSYV20::TCIMValueMap());
                    element->Commit(NORNSYV20::TCIMValueMap());
                }
            };
        }
        const std::vector<syv::CommittedInstance> controllers = OfClass(Query({c.controller}), c.controller);
        const std::vector<syv::CommittedInstance> elements = OfClass(Query({c.element}), c.element);
        std::vector<std::string> expected;
        for (const auto& pair : c.pairs) expected.push_back(Pair(controllers.at(pair.first), elements.at(pair.second)));
        EXPECT_EQ(Pairs(Query({c.association}), c.association), expected);
    }
}

}  // namespace
}  // namespace testing
}  // namespace velkor
