#include "cim/InstanceBuilder.h"

#include "cim/ParseNumber.h"
#include "host/TCIMValue.h"
#include "plugin/Constants.h"

namespace velkor {

using namespace NORNSYV20;

namespace {

// CIM values of SoftwareElementState and TargetOperatingSystem.
const std::uint16_t kSoftwareElementRunning = 3;
const std::uint16_t kTargetWindows2000 = 58;

void Set(ICIMInstance& instance, const std::string& name, const TCIMValue& value) {
    instance.SetProperty(name, value, TCIMValueMap());
}

enum class Branch { kController, kFirmware, kBios };

void CommitController(ICIMInstance& instance, const AdapterKind& kind, std::uint32_t adapterNumber,
                      const AdapterRecord& record) {
    const std::string model = GetField(record, kModel);
    const std::vector<TCIMValue> identifying = {TCIMValue(model),
                                                TCIMValue(ComposeName(kind.namePrefix, adapterNumber))};
    Set(instance, "OtherIdentifyingInfo", TCIMValue(TCIMValue::TCIMType(eCIMTypeString), 0, identifying));
    Set(instance, "ControllerNum", TCIMValue(ParseNumber(GetField(record, kAdapterIndex), 2)));
    Set(instance, "ControllerType", TCIMValue(model));
    instance.Commit(TCIMValueMap());
}

}  // namespace

void BuildAdapterInstances(const AdapterKind& kind, const std::vector<AdapterRecord>& adapters,
                           const boost::shared_ptr<ICIMClass>& servedClass, const CreateAdapterInstanceFn& create) {
    const std::string className = servedClass->GetName(TCIMValueMap());
    Branch branch;
    if (className == kind.controllerClass) {
        branch = Branch::kController;
    } else if (className == kind.firmwareElementClass) {
        branch = Branch::kFirmware;
    } else if (className == kind.biosElementClass) {
        branch = Branch::kBios;
    } else {
        return;
    }

    for (std::size_t position = 0; position < adapters.size(); ++position) {
        const AdapterRecord& record = adapters[position];
        const auto adapterNumber = static_cast<std::uint32_t>(position + 1);
        boost::shared_ptr<ICIMInstance> instance;
        switch (branch) {
            case Branch::kController:
                create(servedClass, instance, adapterNumber, std::string(), std::string());
                CommitController(*instance, kind, adapterNumber, record);
                break;
            case Branch::kFirmware:
                create(servedClass, instance, adapterNumber, GetField(record, kFirmwareVersion),
                       GetField(record, kDriverFirmwareVersion));
                Set(*instance, "Manufacturer", TCIMValue(kVendorName));
                instance->Commit(TCIMValueMap());
                break;
            case Branch::kBios:
                create(servedClass, instance, adapterNumber, GetField(record, kBiosVersion), std::string());
                Set(*instance, "Manufacturer", TCIMValue(kVendorName));
                instance->Commit(TCIMValueMap());
                break;
        }
    }
}

void SetAdapterInstanceKeys(const AdapterKind& kind, const std::string& className, ICIMInstance& instance,
                            std::uint32_t adapterNumber, const std::string& version,
                            const std::string& driverFirmwareVersion) {
    const std::string deviceId = ComposeName(kind.namePrefix, adapterNumber);
    if (className == kind.firmwareElementClass) {
        Set(instance, "Name", TCIMValue(ComposeName(kind.namePrefix, adapterNumber, " Firmware")));
        Set(instance, "Version", TCIMValue(version));
        if (kind.hasDriverFirmwareVersion) {
            Set(instance, "DriverFirmwareVersion", TCIMValue(driverFirmwareVersion));
        }
        Set(instance, "SoftwareElementState", TCIMValue(kSoftwareElementRunning));
        Set(instance, "SoftwareElementID", TCIMValue(ComposeName(kind.firmwareIdPrefix, adapterNumber)));
        Set(instance, "TargetOperatingSystem", TCIMValue(kTargetWindows2000));
        Set(instance, "DeviceID", TCIMValue(deviceId));
    } else if (className == kind.biosElementClass) {
        Set(instance, "Name", TCIMValue(ComposeName(kind.namePrefix, adapterNumber, " BIOS")));
        Set(instance, "Version", TCIMValue(version));
        Set(instance, "SoftwareElementState", TCIMValue(kSoftwareElementRunning));
        Set(instance, "SoftwareElementID", TCIMValue(ComposeName(kind.biosIdPrefix, adapterNumber)));
        Set(instance, "TargetOperatingSystem", TCIMValue(kTargetWindows2000));
        Set(instance, "DeviceID", TCIMValue(deviceId));
    } else {
        Set(instance, "SystemCreationClassName", TCIMValue("ORN"));
        Set(instance, "SystemName", TCIMValue("LOCALHOST"));
        Set(instance, "CreationClassName", TCIMValue(className));
        Set(instance, "DeviceID", TCIMValue(deviceId));
    }
}

}  // namespace velkor
