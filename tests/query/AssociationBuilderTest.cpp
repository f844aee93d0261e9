// Associations as the host receives them, with the controllers and elements
// found through the host's own enumeration of the plug-in's classes.
#include "QueryFixture.h"

#include <utility>

namespace velkor {
namespace testing {
namespace {

typedef QueryTest AssociationBuilderTest;

// An element pairs with every controller whose number is the index of the
// first list entry bearing the element's name. Each association class alone
// is served; only its associations are results, not what the host enumerated
// to find controllers and elements.
TEST_F(AssociationBuilderTest, TheFirstListEntryOfAnElementsNameDecidesItsControllers) {
    using Fill = void (*)(const std::vector<AdapterRecord>&, const std::vector<ElementName>&);
    const Fill discovered = nullptr;  // the inventory comes from the default tool output
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
        std::vector<std::pair<std::size_t, std::size_t>> pairs;  // (controller, element) in enumeration order
    } cases[] = {
        {"Fibre Channel firmware", discovered, {}, {}, kFibreChannelControllerFirmwareClass,
         kFibreChannelControllerClass, kFibreChannelFirmwareElementClass, {}, {{0, 0}, {1, 1}, {2, 2}}},
        {"Fibre Channel BIOS", discovered, {}, {}, kFibreChannelControllerBiosClass, kFibreChannelControllerClass,
         kFibreChannelBiosElementClass, {}, {{0, 0}, {1, 1}, {2, 2}}},
        {"iSCSI firmware", discovered, {}, {}, kIScsiControllerFirmwareClass, kIScsiControllerClass,
         kIScsiFirmwareElementClass, {}, {{0, 0}, {1, 1}}},
        {"iSCSI BIOS", discovered, {}, {}, kIScsiControllerBiosClass, kIScsiControllerClass, kIScsiBiosElementClass, {},
         {{0, 0}, {1, 1}}},
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
        if (c.fill) {
            std::vector<AdapterRecord> adapters;
            for (const char* index : c.adapterIndexes) adapters.push_back(Record({{kAdapterIndex, index}}));
            c.fill(adapters, c.names);
        }
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
        std::vector<std::vector<std::string>> expected;
        for (const auto& pair : c.pairs) {
            expected.push_back({"Dependent:ref=" + controllers.at(pair.first).path,
                                "Antecedent:ref=" + elements.at(pair.second).path});
        }
        std::vector<std::vector<std::string>> associations;
        for (const syv::CommittedInstance& association : Query({c.association}).instances) {
            associations.push_back(Describe(association));
        }
        EXPECT_EQ(associations, expected);
    }
}

}  // namespace
}  // namespace testing
}  // namespace velkor
