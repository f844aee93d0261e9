#include "InteropNamespace.h"

#include <utility>

namespace syv {
namespace wbem {

const char* const kInteropNamespace = "root/interop";

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;

const char* const kObjectManagerName = "velkor-collector";
const char* const kBrand = "Velkor Collector";

typedef std::vector<std::pair<std::string, TCIMValue>> Properties;

TCIMValue Numbers(const std::vector<std::uint16_t>& numbers) {
    std::vector<TCIMValue> elements(numbers.begin(), numbers.end());
    return TCIMValue(TCIMValue::TCIMType(NORNSYV20::eCIMTypeUint16), static_cast<unsigned int>(elements.size()), elements);
}

TCIMValue Texts(const std::vector<std::string>& texts) {
    std::vector<TCIMValue> elements(texts.begin(), texts.end());
    return TCIMValue(TCIMValue::TCIMType(NORNSYV20::eCIMTypeString), static_cast<unsigned int>(elements.size()), elements);
}

// An instance of a class of this namespace, its keys among its properties.
class Builder {
public:
    explicit Builder(const SchemaView& schema) : schema_(schema) {}

    TCIMReference Reference(const std::string& className, const Properties& properties) const {
        const ClassDefinition* cls = schema_.FindClass(className);
        TCIMValueMap keys;
        for (const PropertyDefinition* key : cls->keys) {
            for (const auto& property : properties) {
                if (property.first == key->name) keys.emplace(key->name, property.second);
            }
        }
        return StandinHost::MakeReference(schema_.Namespace(), className, std::move(keys));
    }

    CommittedInstance Instance(const std::string& className, Properties properties) const {
        return CommittedInstance{className, Reference(className, properties).ToObjectPath(), std::move(properties)};
    }

private:
    const SchemaView& schema_;
};

Properties Link(const TCIMReference& antecedent, const TCIMReference& dependent) {
    return {{"Antecedent", TCIMValue(antecedent)}, {"Dependent", TCIMValue(dependent)}};
}

}  // namespace

InteropNamespace::InteropNamespace(SchemaView schema, ServerIdentity identity, CimNamespace& collected)
    : CimNamespace(std::move(schema)),
      identity_(std::move(identity)),
      collected_(collected),
      collectorProfile_(StandinHost::MakeReference(std::string(), std::string(), TCIMValueMap())) {
    const Builder build(Schema());
    const std::string& system = identity_.systemName;
    const Properties manager{{"SystemCreationClassName", TCIMValue("CIM_ComputerSystem")},
                             {"SystemName", TCIMValue(system)},
                             {"CreationClassName", TCIMValue("CIM_ObjectManager")},
                             {"Name", TCIMValue(kObjectManagerName)},
                             {"ElementName", TCIMValue(kBrand)},
                             {"Description", TCIMValue(std::string(kBrand) + " WBEM Server Version " + identity_.version)}};
    const TCIMReference managerPath = build.Reference("CIM_ObjectManager", manager);
    instances_.push_back(build.Instance("CIM_ObjectManager", manager));

    for (const std::string& name : identity_.namespaces) {
        const Properties ns{{"SystemCreationClassName", TCIMValue("CIM_ComputerSystem")},
                            {"SystemName", TCIMValue(system)},
                            {"ObjectManagerCreationClassName", TCIMValue("CIM_ObjectManager")},
                            {"ObjectManagerName", TCIMValue(kObjectManagerName)},
                            {"CreationClassName", TCIMValue("CIM_Namespace")},
                            {"Name", TCIMValue(name)},
                            {"ClassType", TCIMValue(std::uint16_t{2})}};  // CIM 2.x classes
        instances_.push_back(build.Instance("CIM_Namespace", ns));
        instances_.push_back(build.Instance("CIM_NamespaceInManager", Link(managerPath, build.Reference("CIM_Namespace", ns))));
    }

    const bool basic = identity_.authenticates;
    const Properties mechanism{
        {"SystemCreationClassName", TCIMValue("CIM_ComputerSystem")},
        {"SystemName", TCIMValue(system)},
        {"CreationClassName", TCIMValue("CIM_CIMXMLCommunicationMechanism")},
        {"Name", TCIMValue(std::string(kObjectManagerName) + "-cim-xml")},
        {"ElementName", TCIMValue("CIM-XML over HTTP")},
        {"CommunicationMechanism", TCIMValue(std::uint16_t{2})},  // CIM-XML
        {"FunctionalProfilesSupported", Numbers({2, 6})},
        {"FunctionalProfileDescriptions", Texts({"Basic Read", "Association Traversal"})},
        {"AuthenticationMechanismsSupported", Numbers({static_cast<std::uint16_t>(basic ? 3 : 2)})},
        {"AuthenticationMechanismDescriptions", Texts({basic ? "Basic" : "None"})},
        {"Version", TCIMValue("1.3")},
        {"CIMXMLProtocolVersion", TCIMValue(std::uint16_t{1})}};  // 1.0
    instances_.push_back(build.Instance("CIM_CIMXMLCommunicationMechanism", mechanism));
    instances_.push_back(build.Instance(
        "CIM_CommMechanismForManager", Link(managerPath, build.Reference("CIM_CIMXMLCommunicationMechanism", mechanism))));

    const Properties server{{"InstanceID", TCIMValue("ORN:DMTF+WBEM Server+1.0.0")},
                            {"RegisteredOrganization", TCIMValue(std::uint16_t{2})},  // DMTF
                            {"RegisteredName", TCIMValue("WBEM Server")},
                            {"RegisteredVersion", TCIMValue("1.0.0")},
                            {"AdvertiseTypes", Numbers({2})},
                            {"AdvertiseTypeDescriptions", Texts({"Not Advertised"})}};
    const Properties collector{{"InstanceID", TCIMValue("ORN:ORN+Velkor Collector Adapters+" + identity_.version)},
                               {"RegisteredOrganization", TCIMValue(std::uint16_t{1})},  // Other
                               {"OtherRegisteredOrganization", TCIMValue("ORN")},
                               {"RegisteredName", TCIMValue("Velkor Collector Adapters")},
                               {"RegisteredVersion", TCIMValue(identity_.version)},
                               {"AdvertiseTypes", Numbers({2})},
                               {"AdvertiseTypeDescriptions", Texts({"Not Advertised"})}};
    instances_.push_back(build.Instance("CIM_RegisteredProfile", server));
    instances_.push_back(build.Instance("CIM_RegisteredProfile", collector));
    collectorProfile_ = build.Reference("CIM_RegisteredProfile", collector);
    instances_.push_back(build.Instance(
        "CIM_ElementConformsToProfile",
        {{"ConformantStandard", TCIMValue(build.Reference("CIM_RegisteredProfile", server))},
         {"ManagedElement", TCIMValue(managerPath)}}));
}

// The collector profile's central instances are the controllers the plug-in
// reports, collected when asked for.
void InteropNamespace::ConformingElements(const ClassDefinition& cls, const InstanceVisitor& each) {
    std::vector<const ClassDefinition*> central;
    for (const std::string& name : identity_.centralClasses) {
        if (const ClassDefinition* found = collected_.Schema().FindClass(name)) central.push_back(found);
    }
    const Builder build(Schema());
    collected_.Enumerate(central, [&](const ClassDefinition& of, const CommittedInstance& controller) {
        TCIMValueMap keys;
        for (const auto& key : collected_.Schema().KeysOf(of, controller)) keys.emplace(key.first->name, *key.second);
        const TCIMReference element = StandinHost::MakeReference(collected_.Name(), of.name, std::move(keys));
        each(cls, build.Instance(cls.name, {{"ConformantStandard", TCIMValue(collectorProfile_)},
                                            {"ManagedElement", TCIMValue(element)}}));
    });
}

void InteropNamespace::Enumerate(const std::vector<const ClassDefinition*>& classes, const InstanceVisitor& each) {
    for (const ClassDefinition* cls : classes) {
        for (const CommittedInstance& instance : instances_) {
            if (instance.className == cls->name) each(*cls, instance);
        }
        if (cls->name == "CIM_ElementConformsToProfile") ConformingElements(*cls, each);
    }
}

}  // namespace wbem
}  // namespace syv
