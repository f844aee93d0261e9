#include "TestSupport.h"

#include <set>

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;
using NORNSYV20::TSYVStatusCode;
using syvtest::ExpectStatus;
using syvtest::TempFolder;
using syv::StandinHost;

class SchemaTest : public syvtest::HostTest {};

const char* const kControllerKeys[] = {"SystemCreationClassName", "SystemName", "CreationClassName", "DeviceID"};
const char* const kElementKeys[] = {"Name", "Version", "SoftwareElementState", "SoftwareElementID",
                                    "TargetOperatingSystem"};

enum class Role { Controller, Element, Association, RawData };

struct ServedClass {
    const char* name;
    Role role;
};

const ServedClass kServedClasses[] = {
    {"ORNSG_QLogicFibreChannelRawData", Role::RawData},
    {"ORNSG_QLogicFibreChannelFirmwareElement", Role::Element},
    {"ORNSG_QLogicFibreChannelBIOSElement", Role::Element},
    {"ORNSG_QLogicFibreChannelControllerFirmware", Role::Association},
    {"ORNSG_QLogicFibreChannelControllerBIOS", Role::Association},
    {"ORNSG_QLogicFibreChannelSCSIProtocolController", Role::Controller},
    {"ORNSG_QLogicIScsiRawData", Role::RawData},
    {"ORNSG_QLogicIScsiFirmwareElement", Role::Element},
    {"ORNSG_QLogicIScsiBIOSElement", Role::Element},
    {"ORNSG_QLogicIScsiControllerFirmware", Role::Association},
    {"ORNSG_QLogicIScsiControllerBIOS", Role::Association},
    {"ORNSG_QLogicIScsiSCSIProtocolController", Role::Controller},
};

TCIMValue StringArray(std::vector<TCIMValue> elements) {
    return TCIMValue(TCIMValue::TCIMType(NORNSYV20::eCIMTypeString), 0, elements);
}

// Every property the collector sets, with a value of the kind it sets; the
// key properties of each class become the keys of its references.
TEST_F(SchemaTest, ServedClassesDeclareEveryPropertyAndTheirKeys) {
    const TCIMReference someReference(StandinHost::GetNamespace(), "X", {{"k", TCIMValue("v")}});
    for (const ServedClass& served : kServedClasses) {
        SCOPED_TRACE(served.name);
        const auto instance = NewInstance(served.name);
        std::vector<std::pair<std::string, TCIMValue>> properties;
        std::set<std::string> keys;
        switch (served.role) {
        case Role::Controller:
            for (const char* key : kControllerKeys) properties.emplace_back(key, TCIMValue("k"));
            properties.emplace_back("OtherIdentifyingInfo", StringArray({TCIMValue("m"), TCIMValue("d")}));
            properties.emplace_back("ControllerNum", TCIMValue(std::uint32_t{0}));
            properties.emplace_back("ControllerType", TCIMValue("m"));
            keys.insert(std::begin(kControllerKeys), std::end(kControllerKeys));
            break;
        case Role::Element:
            properties = {{"Name", TCIMValue("n")},
                          {"Version", TCIMValue("1.0")},
                          {"SoftwareElementState", TCIMValue(std::uint16_t{3})},
                          {"SoftwareElementID", TCIMValue("id")},
                          {"TargetOperatingSystem", TCIMValue(std::uint16_t{58})},
                          {"DeviceID", TCIMValue("d")},
                          {"Manufacturer", TCIMValue("QLogic Corp.")}};
            keys.insert(std::begin(kElementKeys), std::end(kElementKeys));
            break;
        case Role::Association:
            properties = {{"Dependent", TCIMValue(someReference)}, {"Antecedent", TCIMValue(someReference)}};
            keys = {"Antecedent", "Dependent"};
            break;
        case Role::RawData:
            properties = {{"Command", TCIMValue("qlogic//scli.exe -z")}, {"RawResults", StringArray({TCIMValue("l")})}};
            break;
        }
        for (const auto& property : properties) {
            instance->SetProperty(property.first, property.second, TCIMValueMap());
        }
        std::set<std::string> referenceKeys;
        const TCIMReference reference = instance->GetReference(TCIMValueMap());
        for (const auto& key : reference.GetKeys()) referenceKeys.insert(key.first);
        EXPECT_EQ(referenceKeys, keys);
    }
}

TEST_F(SchemaTest, OnlyTheFibreChannelFirmwareHasDriverFirmwareVersion) {
    NewInstance("ORNSG_QLogicFibreChannelFirmwareElement")->SetProperty("DriverFirmwareVersion", TCIMValue("5.0"),
                                                                        TCIMValueMap());
    for (const char* cls : {"ORNSG_QLogicIScsiFirmwareElement", "ORNSG_QLogicFibreChannelBIOSElement",
                            "ORNSG_QLogicIScsiBIOSElement"}) {
        ExpectStatus([&] { NewInstance(cls)->SetProperty("DriverFirmwareVersion", TCIMValue(""), TCIMValueMap()); },
                     TSYVStatusCode::kUnknownProperty, std::string(cls) + " has no property DriverFirmwareVersion");
    }
}

TEST_F(SchemaTest, ClassLookupIsExact) {
    const auto known = Class("ORNSG_QLogicIScsiRawData");
    EXPECT_EQ(known->GetName(TCIMValueMap()), "ORNSG_QLogicIScsiRawData");
    EXPECT_TRUE(known->CreateInstance(TCIMValueMap()));

    for (const char* name : {"ornsg_qlogicIscsiRawData", "ORNSG_Unknown", ""}) {
        const auto unknown = Class(name);
        ASSERT_TRUE(unknown);
        EXPECT_EQ(unknown->GetName(TCIMValueMap()), name);
        ExpectStatus([&] { unknown->CreateInstance(TCIMValueMap()); }, TSYVStatusCode::kUnknownClass, name);
        ExpectStatus([&] { unknown->EnumerateInstances([](boost::shared_ptr<NORNSYV20::ICIMInstance>) { return true; },
                                                       true, TCIMValueMap()); },
                     TSYVStatusCode::kUnknownClass, name);
    }
}

// Each broken file reports its own name and the line of the fault; a
// failed load keeps the schema read before.
TEST_F(SchemaTest, SyntaxErrorsNameFileAndLine) {
    struct Case {
        const char* what;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"missing semicolon", "class A\n{\n  string P\n};\n", "bad.mof:4: expected ';' after the property"},
        {"unknown type", "class A {\n\n  strng P;\n};\n", "bad.mof:3: unknown type 'strng'"},
        {"unterminated string", "// c\n[Description(\"open\n]\nclass A {};\n", "bad.mof:2: unterminated string"},
        {"unterminated comment", "class A {};\n/* open\n\n", "bad.mof:2: unterminated comment"},
        {"method", "class A {\n  uint32 Run();\n};\n", "bad.mof:2: methods are not supported"},
        {"duplicate property", "class A {\n  string P;\n  uint16 P;\n};\n", "bad.mof:3: property P is declared twice"},
        {"instance", "instance of A { P = 1; };\n", "bad.mof:1: instance declarations are not supported"},
        {"unclosed class", "class A {\n  string P;\n", "bad.mof:3: class A is not closed"},
        {"stray character", "class A {\n  string P; @\n};\n", "bad.mof:2: unexpected character '@'"},
        {"reference array", "class A {\n  B REF R[];\n};\n", "bad.mof:2: a reference cannot be an array"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder("syntax");
        folder.Write("bad.mof", c.text);
        ExpectStatus([&] { StandinHost::LoadSchema(folder.Path()); }, TSYVStatusCode::kSchemaError, c.expected);
    }
    EXPECT_TRUE(NewInstance("ORNSG_QLogicIScsiRawData"));
}

TEST_F(SchemaTest, ClassesDefinedTwiceOrInACycleAreRefused) {
    {
        TempFolder folder("duplicate");
        folder.Write("a.mof", "class A {};\n");
        folder.Write("b.mof", "\n\nclass A {};\n");
        ExpectStatus([&] { StandinHost::LoadSchema(folder.Path()); }, TSYVStatusCode::kSchemaError,
                     "b.mof:3: class A is already defined at " + folder.Path() + "/a.mof:1");
    }
    {
        TempFolder folder("cycle");
        folder.Write("a.mof", "class A : B {};\nclass B : A {};\n");
        ExpectStatus([&] { StandinHost::LoadSchema(folder.Path()); }, TSYVStatusCode::kSchemaError,
                     "is its own superclass");
    }
}

TEST_F(SchemaTest, AFolderWithoutMofFilesIsAnError) {
    TempFolder folder("empty");
    folder.Write("notes.txt", "class A {};\n");
    ExpectStatus([&] { StandinHost::LoadSchema(folder.Path()); }, TSYVStatusCode::kSchemaError, "holds no .mof file");
    ExpectStatus([&] { StandinHost::LoadSchema(folder.Path() + "/missing"); }, TSYVStatusCode::kSchemaError,
                 "cannot read the folder");
}

// The accepted subset: pragmas, qualifier values and flavors, defaults,
// fixed-size arrays, concatenated strings, inherited declarations.
TEST_F(SchemaTest, InheritedPropertiesAndKeysAndTheAcceptedSyntax) {
    TempFolder folder("subset");
    folder.Write("base.mof",
                 "#pragma locale (\"en_US\")\n"
                 "/* a block\n comment */\n"
                 "[Abstract, Version(\"2.1\"), Description(\"two\" \" parts\")]\n"
                 "class Base {\n"
                 "  [Key, MaxLen(64) : ToSubclass DisableOverride] string Id;\n"
                 "  [ValueMap{\"0\", \"1\"}, Values{\"Off\", \"On\"}] uint16 State = 0;\n"
                 "  string Tags[4] = {\"a\", \"b\"};\n"
                 "};\n");
    folder.Write("derived.mof",
                 "class Derived : Base {\n"
                 "  [Override(\"Id\")] string Id;\n"  // an override keeps the key
                 "  [Key(false)] uint32 Count;\n"
                 "};\n"
                 "class Orphan : Unknown_Superclass { string Text; };\n");
    StandinHost::LoadSchema(folder.Path());

    const auto derived = NewInstance("Derived");
    derived->SetProperty("Id", TCIMValue("x"), TCIMValueMap());
    derived->SetProperty("State", TCIMValue(std::uint16_t{1}), TCIMValueMap());
    derived->SetProperty("Count", TCIMValue(std::uint32_t{2}), TCIMValueMap());
    derived->SetProperty("Tags", StringArray({TCIMValue("t")}), TCIMValueMap());
    EXPECT_EQ(derived->GetReference(TCIMValueMap()).ToObjectPath(), "root/ornsg:Derived.Id=\"x\"");
    NewInstance("Orphan")->SetProperty("Text", TCIMValue("t"), TCIMValueMap());
    // The real schema is gone with the reload.
    ExpectStatus([] { NewInstance("ORNSG_QLogicIScsiRawData"); }, TSYVStatusCode::kUnknownClass);
}

}  // namespace
