// The schema, and instances of its classes: what they accept and the
// references they give.
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
    EXPECT_EQ(instance->GetReference(TCIMValueMap()).ToObjectPath(),
              std::string("root/ornsg:") + kController + ".DeviceID=\"QLogic Fibre Channel1\",SystemName=\"HOST\"");

    const auto raw = NewInstance(kRawData);
    raw->SetProperty("Command", TCIMValue("qlogic//scli.exe -z"), TCIMValueMap());
    EXPECT_EQ(raw->GetReference(TCIMValueMap()).ToObjectPath(), std::string("root/ornsg:") + kRawData);
    ExpectStatus([&] { raw->Commit(TCIMValueMap()); }, TSYVStatusCode::kNoQueryRunning, kRawData);
}

// Each fault names the file and line; a failed load keeps the schema read
// before.
TEST_F(InstanceTest, SchemaErrorsNameFileAndLineAndKeepTheSchemaReadBefore) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;
        std::string expected;  // after the folder's path and "/"
    };
    const std::vector<Case> cases = {
        {{{"bad.mof", "class A\n{\n  string P\n};\n"}}, "bad.mof:4: expected ';' after the property"},
        {{{"bad.mof", "class A {\n\n  strng P;\n};\n"}}, "bad.mof:3: unknown type 'strng'"},
        {{{"bad.mof", "/* a\nb */ [Description(\"a\\\\b\")]\nclass A {\n  strng P;\n};\n"}}, "bad.mof:4: unknown type 'strng'"},
        {{{"bad.mof", "// c\n[Description(\"open\n]\nclass A {};\n"}}, "bad.mof:2: unterminated string"},
        {{{"bad.mof", "class A {};\n/* open\n\n"}}, "bad.mof:2: unterminated comment"},
        {{{"bad.mof", "class A {\n  string P;\n  uint16 P;\n};\n"}}, "bad.mof:3: property P is declared twice"},
        {{{"bad.mof", "class A {\n  string P;\n"}}, "bad.mof:3: class A is not closed"},
        {{{"bad.mof", "class A {\n  B REF R[];\n};\n"}}, "bad.mof:2: a reference cannot be an array"},
        {{{"a.mof", "class A {};\n"}, {"b.mof", "\n\nclass A {};\n"}}, "b.mof:3: class A is already defined at "},
        {{{"a.mof", "class A : B {};\nclass B : A {};\n"}}, "is its own superclass"},
        {{{"notes.txt", "class A {};\n"}}, "holds no .mof file"},
        {{}, "cannot read the folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        testsupport::ScratchFolder folder("syvcore-schema");
        for (const auto& file : c.files) folder.Write(file.first, file.second);
        const std::string path = c.files.empty() ? folder.File("missing") : folder.Path();
        ExpectStatus([&] { syv::StandinHost::LoadSchema(path); }, TSYVStatusCode::kSchemaError, c.expected);
    }
    EXPECT_TRUE(NewInstance("ORNSG_QLogicIScsiRawData"));
}

// Key(false) is no key; a property that is a key where it is declared or
// declared again stays one.
TEST_F(InstanceTest, SchemaKeysAreThePropertiesQualifiedAsKeys) {
    testsupport::ScratchFolder folder("syvcore-keys");
    folder.Write("k.mof", "class A {\n  [Key(false)] string P;\n  [Key] string K;\n  string L;\n};\n"
                          "class B : A {\n  string K;\n  [Key] string L;\n};\n");
    syv::StandinHost::LoadSchema(folder.Path());
    const auto instance = NewInstance("B");
    instance->SetProperty("P", TCIMValue("p"), TCIMValueMap());
    for (const char* name : {"K", "L"}) instance->SetProperty(name, TCIMValue("v"), TCIMValueMap());
    EXPECT_EQ(instance->GetReference(TCIMValueMap()).ToObjectPath(), "root/ornsg:B.K=\"v\",L=\"v\"");
}

}  // namespace
