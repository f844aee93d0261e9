// The query entry: collect the adapter data the requested classes need, then
// serve each requested class in list order.
#include "plugin/TQLogicControllerPluginCallbacks.h"

#include "cim/AdapterKind.h"
#include "discovery/QLogicFibreChannelDiscovery.h"
#include "discovery/QLogicFibreChannelInventory.h"
#include "discovery/QLogicIScsiDiscovery.h"
#include "discovery/QLogicIScsiInventory.h"
#include "host/TSYVException.h"
#include "plugin/Constants.h"
#include "rawdata/QLogicFibreChannelRawData.h"
#include "rawdata/QLogicIScsiRawData.h"

#include <memory>

namespace velkor {

using namespace NORNSYV20;

namespace {

bool IsInstanceClass(const AdapterKind& kind, const std::string& name) {
    return name == kind.controllerClass || name == kind.biosElementClass || name == kind.firmwareElementClass;
}

bool IsAssociationClass(const AdapterKind& kind, const std::string& name) {
    return name == kind.controllerFirmwareClass || name == kind.controllerBiosClass;
}

bool NeedsCollection(const AdapterKind& kind, const std::string& name) {
    return IsInstanceClass(kind, name) || IsAssociationClass(kind, name);
}

// One raw-data instance of the requested class when the capture has lines.
template <class RawData>
void ServeRawData(const boost::shared_ptr<ICIMClass>& requestedClass) {
    const std::unique_ptr<RawData> capture(new RawData());
    if (capture->HasResults()) {
        const boost::shared_ptr<ICIMInstance> instance = requestedClass->CreateInstance(TCIMValueMap());
        instance->SetProperty("Command", TCIMValue(capture->GetCommand()), TCIMValueMap());
        instance->SetProperty("RawResults", capture->GetRawResults(), TCIMValueMap());
        instance->Commit(TCIMValueMap());
    }
}

// Creates the inventory of a kind and fills it, once per inventory lifetime.
// When anything fails the inventory goes again before the exception leaves:
// kept, it would make every later query report "no adapters" as a success
// until shutdown.
template <class Inventory, class Fill>
void CollectOnce(const Fill& fill) {
    if (Inventory::Instance() != nullptr) {
        return;
    }
    Inventory::Create();
    try {
        fill();
    } catch (...) {
        Inventory::Destroy();
        throw;
    }
}

template <class Inventory>
void NameElements(const std::string& prefix) {
    Inventory* inventory = Inventory::Instance();
    const std::size_t adapters = inventory->Adapters().size();
    for (std::uint32_t i = 0; i < adapters; ++i) {
        inventory->AddElementName(i, ComposeName(prefix, i + 1, " Firmware"));
        inventory->AddElementName(i, ComposeName(prefix, i + 1, " BIOS"));
    }
}

}  // namespace

void TQLogicControllerPluginCallbacks::QueryInstances(boost::shared_ptr<ICIMNamespace> ns,
                                                      const ClassList& requestedClasses) {
    for (const boost::shared_ptr<ICIMClass>& requested : requestedClasses) {
        const std::string& name = requested->GetName(TCIMValueMap());
        if (NeedsCollection(FibreChannelKind(), name)) {
            CollectFibreChannel();
        }
        if (NeedsCollection(IScsiKind(), name)) {
            CollectIScsi();
        }
    }

    for (auto position = requestedClasses.begin(); position != requestedClasses.end(); ++position) {
        const std::string& name = (*position)->GetName(TCIMValueMap());
        if (IsInstanceClass(FibreChannelKind(), name)) {
            BuildFibreChannelInstances(position, ns, requestedClasses);
        } else if (IsAssociationClass(FibreChannelKind(), name)) {
            BuildFibreChannelAssociations(requestedClasses, ns, name);
        } else if (IsInstanceClass(IScsiKind(), name)) {
            BuildIScsiInstances(position, ns, requestedClasses);
        } else if (IsAssociationClass(IScsiKind(), name)) {
            BuildIScsiAssociations(requestedClasses, ns, name);
        } else if (name == kFibreChannelRawDataClass) {
            ServeRawData<QLogicFibreChannelRawData>(*position);
        } else if (name == kIScsiRawDataClass) {
            ServeRawData<QLogicIScsiRawData>(*position);
        } else {
            throw TSYVException(TSYVStatusCode(TSYVStatusCode::kClassNotServed), name);
        }
    }
}

void TQLogicControllerPluginCallbacks::CollectFibreChannel() {
    CollectOnce<QLogicFibreChannelInventory>([this] {
        adapterCount = 0;
        const QLogicFibreChannelDiscovery discovery(&adapterCount);
        if (adapterCount > 0) {
            NameFibreChannelElements();
        }
        QLogicFibreChannelInventory::Instance()->SetRawOutput(discovery.GetOutput());
    });
}

void TQLogicControllerPluginCallbacks::CollectIScsi() {
    CollectOnce<QLogicIScsiInventory>([this] {
        adapterCount = 0;
        const QLogicIScsiDiscovery discovery(&adapterCount);
        if (adapterCount > 0) {
            NameIScsiElements();
        }
    });
}

void TQLogicControllerPluginCallbacks::NameFibreChannelElements() {
    NameElements<QLogicFibreChannelInventory>(kFibreChannelNamePrefix);
}

void TQLogicControllerPluginCallbacks::NameIScsiElements() { NameElements<QLogicIScsiInventory>(kIScsiNamePrefix); }

}  // namespace velkor
