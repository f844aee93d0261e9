#include "cim/AssociationBuilder.h"

#include "host/ICIMInstance.h"
#include "host/ICIMProperty.h"
#include "host/TAddToVectorCallback.h"
#include "host/TCIMSchemaHelper.h"
#include "host/TCIMValue.h"

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

// A fresh instance of className from the last requested class bearing that
// name, or null when none does.
boost::shared_ptr<ICIMInstance> CreateFromRequested(const std::vector<boost::shared_ptr<ICIMClass>>& requested,
                                                    const std::string& className) {
    boost::shared_ptr<ICIMInstance> pending;
    for (const boost::shared_ptr<ICIMClass>& requestedClass : requested) {
        if (requestedClass->GetName(TCIMValueMap()) == className) {
            pending = requestedClass->CreateInstance(TCIMValueMap());
        }
    }
    return pending;
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

    for (const boost::shared_ptr<ICIMInstance>& controller : controllers) {
        const unsigned int controllerNum = controller->GetProperty("ControllerNum", TCIMValueMap())->GetValue(TCIMValueMap());
        for (const boost::shared_ptr<ICIMInstance>& element : elements) {
            const std::string elementName = element->GetProperty("Name", TCIMValueMap())->GetValue(TCIMValueMap());
            boost::shared_ptr<ICIMInstance> pending = CreateFromRequested(requestedClasses, className);
            // Only the first list entry bearing the element's name decides;
            // an empty name never matches.
            std::string listed;
            for (std::size_t i = 0; elementName != listed && i < names.size(); ++i) {
                listed = names[i].GetName();
                if (names[i].GetIndex() == controllerNum && listed == elementName) {
                    CommitAssociation(*pending, *controller, *element);
                }
            }
        }
    }
}

}  // namespace velkor
