#include "TestSupport.h"

namespace {

using NORNSYV20::TSYVStatusCode;
using syv::StandinHost;
using syvtest::ExpectStatus;

class SchemaTest : public syvtest::HostTest {};

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
        ExpectStatus([&] { StandinHost::LoadSchema(path); }, TSYVStatusCode::kSchemaError, c.expected);
    }
    EXPECT_TRUE(NewInstance("ORNSG_QLogicIScsiRawData"));
}

// Key(false) is no key; a property that is a key where it is declared or
// declared again stays one.
TEST_F(SchemaTest, KeysAreThePropertiesQualifiedAsKeys) {
    testsupport::ScratchFolder folder("syvcore-keys");
    folder.Write("k.mof", "class A {\n  [Key(false)] string P;\n  [Key] string K;\n  string L;\n};\n"
                          "class B : A {\n  string K;\n  [Key] string L;\n};\n");
    StandinHost::LoadSchema(folder.Path());
    const auto instance = NewInstance("B");
    instance->SetProperty("P", NORNSYV20::TCIMValue("p"), NORNSYV20::TCIMValueMap());
    for (const char* name : {"K", "L"}) instance->SetProperty(name, NORNSYV20::TCIMValue("v"), NORNSYV20::TCIMValueMap());
    EXPECT_EQ(instance->GetReference(NORNSYV20::TCIMValueMap()).ToObjectPath(), "root/ornsg:B.K=\"v\",L=\"v\"");
}

}  // namespace
