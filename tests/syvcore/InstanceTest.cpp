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
const char kAssociation[] = "ORNSG_QLogicIScsiControllerBIOS";
const char kRawData[] = "ORNSG_QLogicFibreChannelRawData";

class InstanceTest : public syvtest::HostTest {};

TCIMValue Array(NORNSYV20::ECIMType type, std::vector<TCIMValue> elements) {
    return TCIMValue(TCIMValue::TCIMType(type), 0, elements);
}

// Each property takes exactly the kind of its declared type, or null.
TEST_F(InstanceTest, SetPropertyChecksTheDeclaredType) {
    const TCIMReference reference(syv::StandinHost::GetNamespace(), "X", TCIMValueMap());
    const TCIMValue values[] = {
        TCIMValue("s"),
        TCIMValue(std::uint16_t{1}),
        TCIMValue(std::uint32_t{1}),
        TCIMValue(reference),
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
        {kAssociation, "Antecedent", 3, "reference"},
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
}

TEST_F(InstanceTest, UnknownPropertiesAreRefusedWithTheirName) {
    const auto instance = NewInstance(kController);
    ExpectStatus([&] { instance->SetProperty("deviceid", TCIMValue("d"), TCIMValueMap()); },
                 TSYVStatusCode::kUnknownProperty, std::string("class ") + kController + " has no property deviceid");
    ExpectStatus([&] { instance->SetProperty("Name", TCIMValue("n"), TCIMValueMap()); },
                 TSYVStatusCode::kUnknownProperty, "has no property Name");
}

TEST_F(InstanceTest, PropertiesReadBackAndReplaceInPlace) {
    const auto instance = NewInstance(kElement);
    EXPECT_FALSE(instance->GetProperty("Name", TCIMValueMap()));
    instance->SetProperty("Name", TCIMValue("first"), TCIMValueMap());
    instance->SetProperty("Version", TCIMValue("1"), TCIMValueMap());
    instance->SetProperty("Name", TCIMValue("second"), TCIMValueMap());

    const auto name = instance->GetProperty("Name", TCIMValueMap());
    ASSERT_TRUE(name);
    EXPECT_EQ(static_cast<std::string>(name->GetValue(TCIMValueMap())), "second");

    syvtest::FakePlugin plugin([&](boost::shared_ptr<NORNSYV20::ICIMNamespace>,
                                   const boost::shared_ptr<NORNSYV20::ICIMClass>&) {
        instance->Commit(TCIMValueMap());
    });
    Register(&plugin);
    const syv::QueryReport report = syv::StandinHost::RunQuery({kElement});
    ASSERT_EQ(report.instances.size(), 1u);
    const auto& properties = report.instances[0].properties;
    ASSERT_EQ(properties.size(), 2u);
    EXPECT_EQ(properties[0].first, "Name");
    EXPECT_EQ(static_cast<std::string>(properties[0].second), "second");
    EXPECT_EQ(properties[1].first, "Version");
}

TEST_F(InstanceTest, ReferenceHoldsTheKeysThatAreSet) {
    const auto instance = NewInstance(kController);
    instance->SetProperty("DeviceID", TCIMValue("QLogic Fibre Channel1"), TCIMValueMap());
    instance->SetProperty("ControllerType", TCIMValue("QLE2462"), TCIMValueMap());
    instance->SetProperty("SystemName", TCIMValue(), TCIMValueMap());
    const TCIMReference reference = instance->GetReference(TCIMValueMap());
    EXPECT_EQ(reference.GetNamespaceName(), "root/ornsg");
    EXPECT_EQ(reference.GetClassName(), kController);
    EXPECT_EQ(reference.ToObjectPath(), std::string("root/ornsg:") + kController + ".DeviceID=\"QLogic Fibre Channel1\"");

    const auto raw = NewInstance(kRawData);
    raw->SetProperty("Command", TCIMValue("qlogic//scli.exe -z"), TCIMValueMap());
    EXPECT_EQ(raw->GetReference(TCIMValueMap()).ToObjectPath(), std::string("root/ornsg:") + kRawData);
}

TEST_F(InstanceTest, CommitOutsideAQueryIsRefused) {
    const auto instance = NewInstance(kRawData);
    ExpectStatus([&] { instance->Commit(TCIMValueMap()); }, TSYVStatusCode::kNoQueryRunning, kRawData);
}

}  // namespace
