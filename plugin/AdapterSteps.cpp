// The collection, naming and building steps of the plug-in object, written
// once for both adapter kinds and handed each kind's inventory and texts.
#include "plugin/TQLogicControllerPluginCallbacks.h"

#include "cim/AdapterKind.h"
#include "cim/AssociationBuilder.h"
#include "cim/InstanceBuilder.h"
#include "discovery/QLogicFibreChannelDiscovery.h"
#include "discovery/QLogicIScsiDiscovery.h"

#include <type_traits>

namespace velkor {

using namespace NORNSYV20;

namespace {

// Creates the inventory of a kind and fills it, once per inventory lifetime.
// When anything fails the inventory goes again before the exception leaves:
// kept, it would make every later query report "no adapters" as a success
// until shutdown.
template <class Discovery, class Name>
void CollectOnce(std::uint32_t& adapterCount, const Name& nameElements) {
    using Inventory = typename Discovery::Inventory;
    if (Inventory::Instance() != nullptr) {
        return;
    }
    Inventory::Create();
    try {
        adapterCount = 0;
        const Discovery discovery(&adapterCount);
        if (adapterCount > 0) {
            nameElements();
        }
        if constexpr (std::is_same_v<Inventory, QLogicFibreChannelInventory>) {
            Inventory::Instance()->SetRawOutput(discovery.GetOutput());
        }
    } catch (...) {
        Inventory::Destroy();
        throw;
    }
}

template <class Inventory>
void NameElements(const AdapterKind& kind) {
    Inventory* inventory = Inventory::Instance();
    const std::size_t adapters = inventory->GetAdapters().size();
    for (std::uint32_t i = 0; i < adapters; ++i) {
        inventory->AddElementName(i, ComposeName(kind.namePrefix, i + 1, " Firmware"));
        inventory->AddElementName(i, ComposeName(kind.namePrefix, i + 1, " BIOS"));
    }
}

template <class Inventory>
void BuildInstances(const AdapterKind& kind, const boost::shared_ptr<ICIMClass>& servedClass) {
    const Inventory* inventory = Inventory::Instance();
    if (inventory != nullptr) {
        BuildAdapterInstances(kind, inventory->GetAdapters(), servedClass);
    }
}

template <class Inventory>
void BuildAssociations(const AdapterKind& kind, const std::vector<boost::shared_ptr<ICIMClass>>& requestedClasses,
                       const boost::shared_ptr<ICIMNamespace>& ns, const std::string& className) {
    const Inventory* inventory = Inventory::Instance();
    if (inventory != nullptr) {
        BuildAdapterAssociations(kind, inventory->GetElementNames(), requestedClasses, ns, className);
    }
}

}  // namespace

void TQLogicControllerPluginCallbacks::CollectFibreChannel() {
    CollectOnce<QLogicFibreChannelDiscovery>(adapterCount, [this] { NameFibreChannelElements(); });
}

void TQLogicControllerPluginCallbacks::CollectIScsi() {
    CollectOnce<QLogicIScsiDiscovery>(adapterCount, [this] { NameIScsiElements(); });
}

void TQLogicControllerPluginCallbacks::NameFibreChannelElements() {
    NameElements<QLogicFibreChannelInventory>(FibreChannelKind());
}

void TQLogicControllerPluginCallbacks::NameIScsiElements() { NameElements<QLogicIScsiInventory>(IScsiKind()); }

void TQLogicControllerPluginCallbacks::BuildFibreChannelInstances(const boost::shared_ptr<ICIMClass>& servedClass) {
    BuildInstances<QLogicFibreChannelInventory>(FibreChannelKind(), servedClass);
}

void TQLogicControllerPluginCallbacks::BuildIScsiInstances(const boost::shared_ptr<ICIMClass>& servedClass) {
    BuildInstances<QLogicIScsiInventory>(IScsiKind(), servedClass);
}

void TQLogicControllerPluginCallbacks::BuildFibreChannelAssociations(const ClassList& requestedClasses,
                                                                     const boost::shared_ptr<ICIMNamespace>& ns,
                                                                     const std::string& className) {
    BuildAssociations<QLogicFibreChannelInventory>(FibreChannelKind(), requestedClasses, ns, className);
}

void TQLogicControllerPluginCallbacks::BuildIScsiAssociations(const ClassList& requestedClasses,
                                                              const boost::shared_ptr<ICIMNamespace>& ns,
                                                              const std::string& className) {
    BuildAssociations<QLogicIScsiInventory>(IScsiKind(), requestedClasses, ns, className);
}

}  // namespace velkor
