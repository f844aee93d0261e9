// The query entry: collect the adapter data the requested classes need, then
// serve each requested class in list order.
#include "plugin/TQLogicControllerPluginCallbacks.h"

#include "cim/AdapterKind.h"
#include "host/ICIMInstance.h"
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

}  // namespace

void TQLogicControllerPluginCallbacks::QueryInstances(boost::shared_ptr<ICIMNamespace> ns,
                                                      const ClassList& requestedClasses) {
    for (const boost::shared_ptr<ICIMClass>& requested : requestedClasses) {
        const std::string name = requested->GetName(TCIMValueMap());
        if (NeedsCollection(FibreChannelKind(), name)) {
            CollectFibreChannel();
        }
        if (NeedsCollection(IScsiKind(), name)) {
            CollectIScsi();
        }
    }

    for (const boost::shared_ptr<ICIMClass>& requested : requestedClasses) {
        const std::string name = requested->GetName(TCIMValueMap());
        if (IsInstanceClass(FibreChannelKind(), name)) {
            BuildFibreChannelInstances(requested);
        } else if (IsAssociationClass(FibreChannelKind(), name)) {
            BuildFibreChannelAssociations(requestedClasses, ns, name);
        } else if (IsInstanceClass(IScsiKind(), name)) {
            BuildIScsiInstances(requested);
        } else if (IsAssociationClass(IScsiKind(), name)) {
            BuildIScsiAssociations(requestedClasses, ns, name);
        } else if (name == kFibreChannelRawDataClass) {
            ServeRawData<QLogicFibreChannelRawData>(requested);
        } else if (name == kIScsiRawDataClass) {
            ServeRawData<QLogicIScsiRawData>(requested);
        } else {
            throw TSYVException(TSYVStatusCode(TSYVStatusCode::kClassNotServed), name);
        }
    }
}

}  // namespace velkor
