#include "cim/InstanceBuilder.h"

#include "cim/ParseNumber.h"
#include "host/ICIMInstance.h"
#include "host/TCIMValue.h"
#include "plugin/Constants.h"

#include <cstdint>
#include <string>

namespace velkor {

using namespace NORNSYV20;

namespace {

// CIM values of SoftwareElementState and TargetOperatingSystem.
const std::uint16_t kSoftwareElementRunning = 3;
const std::uint16_t kTargetWindows2000 = 58;

enum class Role { kController, kFirmware, kBios, kNotServed };

Role RoleOf(const AdapterKind& kind, const std::string& className) {
    if (className == kind.controllerClass) {
        return Role::kController;
    }
    if (className == kind.firmwareElementClass) {
        return Role::kFirmware;
    }
    if (className == kind.biosElementClass) {
        return Role::kBios;
    }
    return Role::kNotServed;
}

void Set(ICIMInstance& instance, const std::string& name, const TCIMValue& value) {
    instance.SetProperty(name, value, TCIMValueMap());
}

void SetControllerProperties(ICIMInstance& instance, const AdapterKind& kind, const std::string& className,
                             std::uint32_t adapterNumber, const AdapterRecord& record) {
    const std::string deviceId = ComposeName(kind.namePrefix, adapterNumber);
    const std::string model = GetField(record, kModel);
    Set(instance, "SystemCreationClassName", TCIMValue("ORN"));
    Set(instance, "SystemName", TCIMValue("LOCALHOST"));
    Set(instance, "CreationClassName", TCIMValue(className));
    Set(instance, "DeviceID", TCIMValue(deviceId));
    const std::vector<TCIMValue> identifying = {TCIMValue(model), TCIMValue(deviceId)};
    Set(instance, "OtherIdentifyingInfo", TCIMValue(TCIMValue::TCIMType(eCIMTypeString), 0, identifying));
    Set(instance, "ControllerNum", TCIMValue(ParseNumber(GetField(record, kAdapterIndex), 2)));
    Set(instance, "ControllerType", TCIMValue(model));
}

void SetElementProperties(ICIMInstance& instance, const AdapterKind& kind, bool firmware,
                          std::uint32_t adapterNumber, const AdapterRecord& record) {
    Set(instance, "Name", TCIMValue(ComposeName(kind.namePrefix, adapterNumber, firmware ? " Firmware" : " BIOS")));
    Set(instance, "Version", TCIMValue(GetField(record, firmware ? kFirmwareVersion : kBiosVersion)));
    if (firmware && kind.hasDriverFirmwareVersion) {
        Set(instance, "DriverFirmwareVersion", TCIMValue(GetField(record, kDriverFirmwareVersion)));
    }
    Set(instance, "SoftwareElementState", TCIMValue(kSoftwareElementRunning));
    Set(instance, "SoftwareElementID",
        TCIMValue(ComposeName(firmware ? kind.firmwareIdPrefix : kind.biosIdPrefix, adapterNumber)));
    Set(instance, "TargetOperatingSystem", TCIMValue(kTargetWindows2000));
    Set(instance, "DeviceID", TCIMValue(ComposeName(kind.namePrefix, adapterNumber)));
    Set(instance, "Manufacturer", TCIMValue(kVendorName));
}

}  // namespace

void BuildAdapterInstances(const AdapterKind& kind, const std::vector<AdapterRecord>& adapters,
                           const boost::shared_ptr<ICIMClass>& servedClass) {
    const std::string className = servedClass->GetName(TCIMValueMap());
    const Role role = RoleOf(kind, className);
    if (role == Role::kNotServed) {
        return;
    }
    for (std::size_t position = 0; position < adapters.size(); ++position) {
        const auto adapterNumber = static_cast<std::uint32_t>(position + 1);
        const boost::shared_ptr<ICIMInstance> instance = servedClass->CreateInstance(TCIMValueMap());
        if (role == Role::kController) {
            SetControllerProperties(*instance, kind, className, adapterNumber, adapters[position]);
        } else {
            SetElementProperties(*instance, kind, role == Role::kFirmware, adapterNumber, adapters[position]);
        }
        instance->Commit(TCIMValueMap());
    }
}

}  // namespace velkor
