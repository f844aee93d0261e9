#include "TestSupport.h"

#include <set>

namespace {

using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;
using NORNSYV20::TSYVStatusCode;
using syv::StandinHost;
using syvtest::ExpectStatus;

class SchemaTest : public syvtest::HostTest {};

TCIMValue StringArray(const char* text) {
    return TCIMValue(TCIMValue::TCIMType(NORNSYV20::eCIMTypeString), 1, {TCIMValue(text)});
}

// Every property the collector sets, with a value of the kind it sets, is
// declared; the keys are those of the design.
TEST_F(SchemaTest, ServedClassesDeclareEveryPropertyAndTheirKeys) {
    using Properties = std::vector<std::pair<std::string, TCIMValue>>;
    const TCIMValue text("t");
    const TCIMValue reference(NORNSYV20::TCIMReference(StandinHost::GetNamespace(), "X", {{"k", text}}));
    const Properties controller = {
        {"SystemCreationClassName", text}, {"SystemName", text}, {"CreationClassName", text}, {"DeviceID", text},
        {"OtherIdentifyingInfo", StringArray("m")}, {"ControllerNum", TCIMValue(std::uint32_t{0})},
        {"ControllerType", text}};
    const Properties element = {
        {"Name", text}, {"Version", text}, {"SoftwareElementState", TCIMValue(std::uint16_t{3})},
        {"SoftwareElementID", text}, {"TargetOperatingSystem", TCIMValue(std::uint16_t{58})}, {"DeviceID", text},
        {"Manufacturer", text}};
    const Properties association = {{"Antecedent", reference}, {"Dependent", reference}};
    const Properties rawData = {{"Command", text}, {"RawResults", StringArray("l")}};
    using Keys = std::set<std::string>;
    const Keys elementKeys{"Name", "Version", "SoftwareElementState", "SoftwareElementID", "TargetOperatingSystem"};
    const Keys associationKeys{"Antecedent", "Dependent"};
    const struct {
        const char* suffix;
        const Properties& properties;
        Keys keys;
    } kinds[] = {
        {"RawData", rawData, {}},
        {"FirmwareElement", element, elementKeys},
        {"BIOSElement", element, elementKeys},
        {"ControllerFirmware", association, associationKeys},
        {"ControllerBIOS", association, associationKeys},
        {"SCSIProtocolController", controller, {"SystemCreationClassName", "SystemName", "CreationClassName", "DeviceID"}},
    };
    for (const char* adapter : {"ORNSG_QLogicFibreChannel", "ORNSG_QLogicIScsi"}) {
        for (const auto& kind : kinds) {
            SCOPED_TRACE(std::string(adapter) + kind.suffix);
            const auto instance = NewInstance(std::string(adapter) + kind.suffix);
            for (const auto& property : kind.properties) {
                instance->SetProperty(property.first, property.second, TCIMValueMap());
            }
            const NORNSYV20::TCIMReference path = instance->GetReference(TCIMValueMap());
            Keys keys;
            for (const auto& key : path.GetKeys()) keys.insert(key.first);
            EXPECT_EQ(keys, kind.keys);
        }
    }
    NewInstance("ORNSG_QLogicFibreChannelFirmwareElement")->SetProperty("DriverFirmwareVersion", text, TCIMValueMap());
}

// Each fault names the file and line; a failed load keeps the schema read
// before.
TEST_F(SchemaTest, ErrorsNameFileAndLineAndKeepTheSchemaReadBefore) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;
        std::string expected;  // after the folder's path and "/"
    };
    const std::vector<Case> cases = {
        {{{"bad.mof", "class A\n{\n  string P\n};\n"}}, "bad.mof:4: expected ';' after the property"},
        {{{"bad.mof", "class A {\n\n  strng P;\n};\n"}}, "bad.mof:3: unknown type 'strng'"},
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
        ExpectStatus([&] { StandinHost::LoadSchema(path); }, TSYVStatusCode::kSchemaError, c.expected);
    }
    EXPECT_TRUE(NewInstance("ORNSG_QLogicIScsiRawData"));
}

}  // namespace
