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

// The element class the association class ties controllers to, or null when
// className is not one of the kind's association classes.
const std::string* ElementClassOf(const AdapterKind& kind, const std::string& className) {
    if (className == kind.controllerFirmwareClass) {
        return &kind.firmwareElementClass;
    }
    if (className == kind.controllerBiosClass) {
        return &kind.biosElementClass;
    }
    return nullptr;
}

InstanceList EnumerateClass(const boost::shared_ptr<ICIMNamespace>& ns, const std::string& className) {
    TCIMValueMap lookupContext;
    lookupContext[TCIMSchemaHelper::kContextName] = TCIMValue(TCIMSchemaHelper::kPluginNSPName);
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

// Controller number to the positions of its elements, in element order. An
// element belongs to the index of the first list entry bearing its name; an
// empty name never matches. Deciding that once per element keeps the pairing
// from growing with the product of controllers, elements and names.
std::map<std::uint32_t, std::vector<std::size_t>> ElementsByController(const std::vector<ElementName>& names,
                                                                      const InstanceList& elements) {
    std::map<std::string, std::uint32_t> firstIndexOfName;
    for (const ElementName& entry : names) {
        firstIndexOfName.emplace(entry.GetName(), entry.GetIndex());  // keeps the first
    }
    std::map<std::uint32_t, std::vector<std::size_t>> owned;
    for (std::size_t position = 0; position < elements.size(); ++position) {
        const std::string name = elements[position]->GetProperty("Name", TCIMValueMap())->GetValue(TCIMValueMap());
        const auto entry = name.empty() ? firstIndexOfName.end() : firstIndexOfName.find(name);
        if (entry != firstIndexOfName.end()) {
            owned[entry->second].push_back(position);
        }
    }
    return owned;
}

void CommitAssociation(ICIMClass& associationClass, ICIMInstance& controller, ICIMInstance& element) {
    const boost::shared_ptr<ICIMInstance> association = associationClass.CreateInstance(TCIMValueMap());
    const TCIMReference elementReference = element.GetReference(TCIMValueMap());
    const TCIMReference controllerReference = controller.GetReference(TCIMValueMap());
    association->SetProperty("Dependent", TCIMValue(controllerReference), TCIMValueMap());
    association->SetProperty("Antecedent", TCIMValue(elementReference), TCIMValueMap());
    association->Commit(TCIMValueMap());
}

}  // namespace

void BuildAdapterAssociations(const AdapterKind& kind, const std::vector<ElementName>& names,
                              const std::vector<boost::shared_ptr<ICIMClass>>& requestedClasses,
                              const boost::shared_ptr<ICIMNamespace>& ns, const std::string& className) {
    const std::string* elementClass = ElementClassOf(kind, className);
    if (elementClass == nullptr) {
        return;
    }
    const InstanceList controllers = EnumerateClass(ns, kind.controllerClass);
    const InstanceList elements = EnumerateClass(ns, *elementClass);
    if (controllers.empty() || elements.empty()) {
        return;
    }
    const auto owned = ElementsByController(names, elements);
    const boost::shared_ptr<ICIMClass> associationClass = LastRequested(requestedClasses, className);
    for (const boost::shared_ptr<ICIMInstance>& controller : controllers) {
        const unsigned int controllerNum = controller->GetProperty("ControllerNum", TCIMValueMap())->GetValue(TCIMValueMap());
        const auto found = owned.find(controllerNum);
        if (found == owned.end()) {
            continue;
        }
        for (const std::size_t position : found->second) {
            CommitAssociation(*associationClass, *controller, *elements[position]);
        }
    }
}

}  // namespace velkor
