#include "cim/AssociationBuilder.h"

#include "host/ICIMInstance.h"
#include "host/ICIMProperty.h"
#include "host/TAddToVectorCallback.h"
#include "host/TCIMSchemaHelper.h"
#include "host/TCIMValue.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
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

// The list entry that decides for each name: the first one bearing it.
std::map<std::string, std::uint32_t> FirstIndexOfEachName(const std::vector<ElementName>& names) {
    std::map<std::string, std::uint32_t> first;
    for (const ElementName& entry : names) {
        first.emplace(entry.GetName(), entry.GetIndex());  // keeps an earlier entry of the name
    }
    return first;
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
    const std::map<std::string, std::uint32_t> firstIndexOfName = FirstIndexOfEachName(names);
    std::map<std::uint32_t, std::vector<std::size_t>> elementsOfController;  // positions in element order
    for (std::size_t position = 0; position < elements.size(); ++position) {
        const std::string elementName = elements[position]->GetProperty("Name", TCIMValueMap())->GetValue(TCIMValueMap());
        const auto entry = elementName.empty() ? firstIndexOfName.end() : firstIndexOfName.find(elementName);
        if (entry != firstIndexOfName.end()) {
            elementsOfController[entry->second].push_back(position);
        }
    }

    const boost::shared_ptr<ICIMClass> associationClass = LastRequested(requestedClasses, className);
    for (const boost::shared_ptr<ICIMInstance>& controller : controllers) {
        const unsigned int controllerNum = controller->GetProperty("ControllerNum", TCIMValueMap())->GetValue(TCIMValueMap());
        const auto owned = elementsOfController.find(controllerNum);
        if (owned == elementsOfController.end()) {
            continue;
        }
        for (const std::size_t position : owned->second) {
            const boost::shared_ptr<ICIMInstance> pending = associationClass->CreateInstance(TCIMValueMap());
            CommitAssociation(*pending, *controller, *elements[position]);
        }
    }
}

}  // namespace velkor
