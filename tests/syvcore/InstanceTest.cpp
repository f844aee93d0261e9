#include "TestSupport.h"

#include <iterator>

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;
using NORNSYV20::TSYVStatusCode;
using syvtest::ExpectStatus;

const char kController[] = "ORNSG_QLogicFibreChannelSCSIProtocolController";
const char kElement[] = "ORNSG_QLogicIScsiBIOSElement";
const char kRawData[] = "ORNSG_QLogicFibreChannelRawData";

class InstanceTest : public syvtest::HostTest {};

TCIMValue Array(NORNSYV20::ECIMType type, std::vector<TCIMValue> elements) {
    return TCIMValue(TCIMValue::TCIMType(type), 0, elements);
}

// Each property takes exactly the kind of its declared type, or null; names
// are exact.
TEST_F(InstanceTest, SetPropertyChecksNameAndDeclaredType) {
    const TCIMValue values[] = {
        TCIMValue("s"),
        TCIMValue(std::uint16_t{1}),
        TCIMValue(std::uint32_t{1}),
        TCIMValue(TCIMReference(syv::StandinHost::GetNamespace(), "X", TCIMValueMap())),
        Array(NORNSYV20::eCIMTypeString, {TCIMValue("s")}),
        Array(NORNSYV20::eCIMTypeUint32, {TCIMValue(std::uint32_t{1})}),
    };
    struct Case {
        const char* cls;
        const char* property;
        int accepted;  // index into values
        const char* declared;
    };
    const Case cases[] = {
        {kController, "DeviceID", 0, "string"},
        {kElement, "SoftwareElementState", 1, "uint16"},
        {kController, "ControllerNum", 2, "uint32"},
        {"ORNSG_QLogicIScsiControllerBIOS", "Antecedent", 3, "reference"},
        {kRawData, "RawResults", 4, "string[]"},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < static_cast<int>(std::size(values)); ++i) {
            SCOPED_TRACE(std::string(c.cls) + "." + c.property + " given value " + std::to_string(i));
            const auto instance = NewInstance(c.cls);
            if (i == c.accepted) {
                instance->SetProperty(c.property, values[i], TCIMValueMap());
                EXPECT_TRUE(instance->GetProperty(c.property, TCIMValueMap()));
            } else {
                ExpectStatus([&] { instance->SetProperty(c.property, values[i], TCIMValueMap()); },
                             TSYVStatusCode::kWrongValueType,
                             std::string("property ") + c.cls + "." + c.property + " is " + c.declared);
                EXPECT_FALSE(instance->GetProperty(c.property, TCIMValueMap()));
            }
        }
        NewInstance(c.cls)->SetProperty(c.property, TCIMValue(), TCIMValueMap());
    }
    ExpectStatus([] { NewInstance(kController)->SetProperty("deviceid", TCIMValue("d"), TCIMValueMap()); },
                 TSYVStatusCode::kUnknownProperty, std::string("class ") + kController + " has no property deviceid");
}

// Only the keys that are set, and not null, are in the reference.
TEST_F(InstanceTest, ReferenceHoldsTheKeysThatAreSet) {
    const auto instance = NewInstance(kController);
    instance->SetProperty("DeviceID", TCIMValue("QLogic Fibre Channel1"), TCIMValueMap());
    instance->SetProperty("ControllerType", TCIMValue("FCX-1620D"), TCIMValueMap());
    instance->SetProperty("SystemName", TCIMValue(), TCIMValueMap());
    EXPECT_EQ(instance->GetReference(TCIMValueMap()).ToObjectPath(),
              std::string("root/ornsg:") + kController + ".DeviceID=\"QLogic Fibre Channel1\"");
    // A key set after the reference was made is in the next one.
    instance->SetProperty("SystemName", TCIMValue("HOST"), TCIMValueMap());
    const TCIMReference reference = instance->GetReference(TCIMValueMap());
    EXPECT_EQ(reference.ToObjectPath(),
              std::string("root/ornsg:") + kController + ".DeviceID=\"QLogic Fibre Channel1\",SystemName=\"HOST\"");
    ASSERT_EQ(reference.GetKeys().size(), 2u);
    EXPECT_EQ(reference.GetKeys().begin()->first, "DeviceID");
    EXPECT_EQ(reference.GetKeys().at("SystemName").GetString(), "HOST");

    const auto raw = NewInstance(kRawData);
    raw->SetProperty("Command", TCIMValue("qlogic//scli.exe -z"), TCIMValueMap());
    EXPECT_EQ(raw->GetReference(TCIMValueMap()).ToObjectPath(), std::string("root/ornsg:") + kRawData);
    ExpectStatus([&] { raw->Commit(TCIMValueMap()); }, TSYVStatusCode::kNoQueryRunning, kRawData);
}

}  // namespace
