#include "cim/AssociationBuilder.h"

#include "host/ICIMInstance.h"
#include "host/ICIMProperty.h"
#include "host/TAddToVectorCallback.h"
#include "host/TCIMSchemaHelper.h"
#include "host/TCIMValue.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor {

using namespace NORNSYV20;

namespace {

using InstanceList = std::vector<boost::shared_ptr<ICIMInstance>>;

InstanceList EnumerateClass(const boost::shared_ptr<ICIMNamespace>& ns, const std::string& className,
                            const TCIMValueMap& lookupContext) {
    InstanceList instances;
    const boost::shared_ptr<ICIMClass> cimClass = ns->GetClass(className, lookupContext);
    const TCIMInstanceCallback callback = TAddToVectorCallback<ICIMInstance>(instances);
    cimClass->EnumerateInstances(callback, true, TCIMValueMap());
    return instances;
}

// The last requested class bearing className, or null when none does: the
// class that every association of the call is created from.
boost::shared_ptr<ICIMClass> LastRequested(const std::vector<boost::shared_ptr<ICIMClass>>& requested,
                                           const std::string& className) {
    boost::shared_ptr<ICIMClass> last;
    for (const boost::shared_ptr<ICIMClass>& requestedClass : requested) {
        if (requestedClass->GetName(TCIMValueMap()) == className) {
            last = requestedClass;
        }
    }
    return last;
}

// The list entry that decides for each name: the first one bearing it. A
// sorted list rather than a map: one allocation instead of two per name.
struct NameEntry {
    std::string_view name;  // in the inventory's list, which outlives the call
    std::uint32_t index;
};

std::vector<NameEntry> FirstIndexOfEachName(const std::vector<ElementName>& names) {
    std::vector<NameEntry> first;
    first.reserve(names.size());
    for (const ElementName& entry : names) {
        first.push_back({entry.Name(), entry.GetIndex()});
    }
    const auto byName = [](const NameEntry& a, const NameEntry& b) { return a.name < b.name; };
    std::stable_sort(first.begin(), first.end(), byName);  // entries of one name stay in list order
    first.erase(std::unique(first.begin(), first.end(),
                            [](const NameEntry& a, const NameEntry& b) { return a.name == b.name; }),
                first.end());  // keeps the first of each name
    return first;
}

const NameEntry* FindName(const std::vector<NameEntry>& first, std::string_view name) {
    const auto found = std::lower_bound(first.begin(), first.end(), name,
                                        [](const NameEntry& entry, std::string_view sought) { return entry.name < sought; });
    return found != first.end() && found->name == name ? &*found : nullptr;
}

void CommitAssociation(ICIMInstance& association, ICIMInstance& controller, ICIMInstance& element) {
    const TCIMReference elementReference = element.GetReference(TCIMValueMap());
    const TCIMReference controllerReference = controller.GetReference(TCIMValueMap());
    association.SetProperty("Dependent", TCIMValue(controllerReference), TCIMValueMap());
    association.SetProperty("Antecedent", TCIMValue(elementReference), TCIMValueMap());
    association.Commit(TCIMValueMap());
}

}  // namespace

void BuildAdapterAssociations(const AdapterKind& kind, const std::vector<ElementName>& names,
                              const std::vector<boost::shared_ptr<ICIMClass>>& requestedClasses,
                              const boost::shared_ptr<ICIMNamespace>& ns, const std::string& className) {
    TCIMValueMap lookupContext;
    lookupContext[TCIMSchemaHelper::kContextName] = TCIMValue(TCIMSchemaHelper::kPluginNSPName);

    const InstanceList controllers = EnumerateClass(ns, kind.controllerClass, lookupContext);
    const std::string* elementClass = nullptr;
    if (className == kind.controllerFirmwareClass) {
        elementClass = &kind.firmwareElementClass;
    } else if (className == kind.controllerBiosClass) {
        elementClass = &kind.biosElementClass;
    } else {
        return;
    }
    const InstanceList elements = EnumerateClass(ns, *elementClass, lookupContext);
    if (controllers.empty() || elements.empty()) {
        return;
    }

    // Each element belongs to the controller number of the first list entry
    // bearing its name; an empty name never matches. Deciding that once per
    // element, rather than scanning the list for every controller-element
    // pair, keeps the pairing from growing with the cube of the adapters.
    const std::vector<NameEntry> firstIndexOfName = FirstIndexOfEachName(names);
    std::vector<std::pair<std::uint32_t, std::size_t>> owners;  // controller number, element position
    for (std::size_t position = 0; position < elements.size(); ++position) {
        const std::string elementName = elements[position]->GetProperty("Name", TCIMValueMap())->GetValue(TCIMValueMap());
        const NameEntry* entry = elementName.empty() ? nullptr : FindName(firstIndexOfName, elementName);
        if (entry != nullptr) {
            owners.emplace_back(entry->index, position);
        }
    }
    // By controller number, each controller's elements in element order.
    const auto byController = [](const std::pair<std::uint32_t, std::size_t>& a,
                                 const std::pair<std::uint32_t, std::size_t>& b) { return a.first < b.first; };
    std::stable_sort(owners.begin(), owners.end(), byController);

    const boost::shared_ptr<ICIMClass> associationClass = LastRequested(requestedClasses, className);
    for (const boost::shared_ptr<ICIMInstance>& controller : controllers) {
        const unsigned int controllerNum = controller->GetProperty("ControllerNum", TCIMValueMap())->GetValue(TCIMValueMap());
        const auto owned =
            std::equal_range(owners.begin(), owners.end(), std::make_pair(controllerNum, std::size_t{0}), byController);
        for (auto pair = owned.first; pair != owned.second; ++pair) {
            const boost::shared_ptr<ICIMInstance> pending = associationClass->CreateInstance(TCIMValueMap());
            CommitAssociation(*pending, *controller, *elements[pair->second]);
        }
    }
}

}  // namespace velkor
