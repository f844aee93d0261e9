#include "cim/InstanceBuilder.h"

#include "cim/ParseNumber.h"
#include "host/TCIMValue.h"
#include "plugin/Constants.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace velkor {

using namespace NORNSYV20;

namespace {

// CIM values of SoftwareElementState and TargetOperatingSystem.
const std::uint16_t kSoftwareElementRunning = 3;
const std::uint16_t kTargetWindows2000 = 58;

// Property names made once: the host takes them as std::string, and a
// literal would make a new one for every property of every instance. Made at
// load like the shared constants, which fails only when memory runs out.
// NOLINTBEGIN(cert-err58-cpp)
namespace property {
const std::string kControllerNum = "ControllerNum";
const std::string kControllerType = "ControllerType";
const std::string kCreationClassName = "CreationClassName";
const std::string kDeviceID = "DeviceID";
const std::string kDriverFirmwareVersion = "DriverFirmwareVersion";
const std::string kManufacturer = "Manufacturer";
const std::string kName = "Name";
const std::string kOtherIdentifyingInfo = "OtherIdentifyingInfo";
const std::string kSoftwareElementID = "SoftwareElementID";
const std::string kSoftwareElementState = "SoftwareElementState";
const std::string kSystemCreationClassName = "SystemCreationClassName";
const std::string kSystemName = "SystemName";
const std::string kTargetOperatingSystem = "TargetOperatingSystem";
const std::string kVersion = "Version";
}  // namespace property
// NOLINTEND(cert-err58-cpp)

// Values that every instance of a kind of element shares, made once on first
// use: copies of a value share its contents.
const TCIMValue& RunningState() {
    static const TCIMValue value(kSoftwareElementRunning);
    return value;
}

const TCIMValue& TargetWindows2000() {
    static const TCIMValue value(kTargetWindows2000);
    return value;
}

const TCIMValue& Vendor() {
    static const TCIMValue value(kVendorName);
    return value;
}

const TCIMValue& SystemCreationClassName() {
    static const TCIMValue value("ORN");
    return value;
}

const TCIMValue& SystemName() {
    static const TCIMValue value("LOCALHOST");
    return value;
}

void Set(ICIMInstance& instance, const std::string& name, const TCIMValue& value) {
    instance.SetProperty(name, value, TCIMValueMap());
}

enum class Branch { kController, kFirmware, kBios };

void CommitController(ICIMInstance& instance, const AdapterKind& kind, std::uint32_t adapterNumber,
                      const AdapterRecord& record) {
    const std::string model = GetField(record, kModel);
    const std::vector<TCIMValue> identifying = {TCIMValue(model),
                                                ComposeNameValue(kind.namePrefix, adapterNumber)};
    Set(instance, property::kOtherIdentifyingInfo, TCIMValue(TCIMValue::TCIMType(eCIMTypeString), 0, identifying));
    Set(instance, property::kControllerNum, TCIMValue(ParseNumber(GetField(record, kAdapterIndex), 2)));
    Set(instance, property::kControllerType, TCIMValue(model));
    instance.Commit(TCIMValueMap());
}

}  // namespace

void BuildAdapterInstances(const AdapterKind& kind, const std::vector<AdapterRecord>& adapters,
                           const boost::shared_ptr<ICIMClass>& servedClass, const CreateAdapterInstanceFn& create) {
    const std::string& className = servedClass->GetName(TCIMValueMap());
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
                Set(*instance, property::kManufacturer, Vendor());
                instance->Commit(TCIMValueMap());
                break;
            case Branch::kBios:
                create(servedClass, instance, adapterNumber, GetField(record, kBiosVersion), std::string());
                Set(*instance, property::kManufacturer, Vendor());
                instance->Commit(TCIMValueMap());
                break;
        }
    }
}

// Composed on the stack when it fits, and made a value from there: a name is
// set on nearly every instance, and a string of its own for each cost a fifth
// of setting it. The value is made from a C string, so a text with a NUL
// takes the general way.
TCIMValue ComposeNameValue(const std::string& prefix, std::uint32_t adapterNumber, const std::string& suffix) {
    std::array<char, 64> text{};
    const bool fits = prefix.size() + std::numeric_limits<std::uint32_t>::digits10 + 1 + suffix.size() < text.size();
    if (!fits || prefix.find('\0') != std::string::npos || suffix.find('\0') != std::string::npos) {
        return {ComposeName(prefix, adapterNumber, suffix)};
    }
    char* end = std::copy(prefix.begin(), prefix.end(), text.data());
    end = std::to_chars(end, text.data() + text.size(), adapterNumber).ptr;
    std::copy(suffix.begin(), suffix.end(), end);  // the rest of the array is the NUL
    return {text.data()};
}

void SetAdapterInstanceKeys(const AdapterKind& kind, const std::string& className, ICIMInstance& instance,
                            std::uint32_t adapterNumber, const std::string& version,
                            const std::string& driverFirmwareVersion) {
    const TCIMValue deviceId = ComposeNameValue(kind.namePrefix, adapterNumber);
    if (className == kind.firmwareElementClass) {
        Set(instance, property::kName, ComposeNameValue(kind.namePrefix, adapterNumber, " Firmware"));
        Set(instance, property::kVersion, TCIMValue(version));
        if (kind.hasDriverFirmwareVersion) {
            Set(instance, property::kDriverFirmwareVersion, TCIMValue(driverFirmwareVersion));
        }
        Set(instance, property::kSoftwareElementState, RunningState());
        Set(instance, property::kSoftwareElementID, ComposeNameValue(kind.firmwareIdPrefix, adapterNumber));
        Set(instance, property::kTargetOperatingSystem, TargetWindows2000());
        Set(instance, property::kDeviceID, deviceId);
    } else if (className == kind.biosElementClass) {
        Set(instance, property::kName, ComposeNameValue(kind.namePrefix, adapterNumber, " BIOS"));
        Set(instance, property::kVersion, TCIMValue(version));
        Set(instance, property::kSoftwareElementState, RunningState());
        Set(instance, property::kSoftwareElementID, ComposeNameValue(kind.biosIdPrefix, adapterNumber));
        Set(instance, property::kTargetOperatingSystem, TargetWindows2000());
        Set(instance, property::kDeviceID, deviceId);
    } else {
        Set(instance, property::kSystemCreationClassName, SystemCreationClassName());
        Set(instance, property::kSystemName, SystemName());
        Set(instance, property::kCreationClassName, TCIMValue(className));
        Set(instance, property::kDeviceID, deviceId);
    }
}

}  // namespace velkor
