// What a request body turns into: the typed call, or the refusal a hostile
// or foreign document gets, whatever its size or shape.
#include "wbem/CimRequestReader.h"

#include "host/TCIMValue.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace syv::wbem;

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string Attributes(int count) {
    std::string attributes;
    for (int i = 0; i < count; ++i) attributes += " x" + std::to_string(i) + "=\"\"";
    return attributes;
}

std::string Call(const std::string& params, const std::string& cim = "CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"",
                 const std::string& message = "PROTOCOLVERSION=\"1.0\"") {
    return "<?xml version=\"1.0\"?><CIM " + cim + "><MESSAGE ID=\"7\" " + message +
           "><SIMPLEREQ><IMETHODCALL NAME=\"GetInstance\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/>"
           "<NAMESPACE NAME=\"ornsg\"/></LOCALNAMESPACEPATH>" + params + "</IMETHODCALL></SIMPLEREQ></MESSAGE></CIM>";
}

std::string Name(const std::string& bindings) {
    return "<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"C\">" + bindings + "</INSTANCENAME></IPARAMVALUE>";
}

TEST(CimRequestReader, RefusesWhatIsNotAWellFormedCimRequest) {
    const struct { const char* what; std::string body; int status; const char* cimError; } rows[] = {
        {"nesting that hides closing tags in comments", Repeat("<a><!--</-->", 40000), 400, "request-not-well-formed"},
        {"nesting past the limit", Repeat("<a>", 33) + Repeat("</a>", 33), 400, "request-not-well-formed"},
        {"entities declared in a DOCTYPE",
         "<!DOCTYPE a [<!ENTITY x \"xx\"><!ENTITY y \"&x;&x;\">]><a>&y;</a>", 400, "request-not-well-formed"},
        {"an external entity", "<!DOCTYPE a SYSTEM \"file:///etc/passwd\"><a/>", 400, "request-not-well-formed"},
        {"an undeclared entity", "<a>&x;</a>", 400, "request-not-well-formed"},
        {"a duplicate attribute", "<CIM CIMVERSION=\"2.0\" CIMVERSION=\"2.0\"/>", 400, "request-not-well-formed"},
        {"junk after the document", Call("") + "junk", 400, "request-not-well-formed"},
        {"too many attributes", "<a" + Attributes(17) + "/>", 400, "request-not-well-formed"},
        {"a name past the limit", "<" + std::string(257, 'a') + "/>", 400, "request-not-well-formed"},
        {"text past the limit", "<a>" + std::string(256 * 1024 + 1, 'x') + "</a>", 400, "request-not-well-formed"},
        {"an empty body", "", 400, "request-not-well-formed"},
        {"another document element", "<a/>", 400, "request-not-valid"},
        {"no versions", "<CIM><MESSAGE ID=\"1\" PROTOCOLVERSION=\"1.0\"/></CIM>", 400, "request-not-valid"},
        {"no method call", "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"1\" PROTOCOLVERSION=\"1.0\">"
                           "<SIMPLEREQ/></MESSAGE></CIM>", 400, "request-not-valid"},
        {"a CIM version of 9.0", Call("", "CIMVERSION=\"9.0\" DTDVERSION=\"2.0\""), 501, "unsupported-cim-version"},
        {"a DTD version of 9.0", Call("", "CIMVERSION=\"2.0\" DTDVERSION=\"9.0\""), 501, "unsupported-dtd-version"},
        {"a protocol version of 9.0", Call("", "CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"", "PROTOCOLVERSION=\"9.0\""), 501,
         "unsupported-protocol-version"},
        {"several requests", "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"1\" PROTOCOLVERSION=\"1.0\">"
                             "<MULTIREQ/></MESSAGE></CIM>", 501, "multiple-requests-unsupported"},
    };
    for (const auto& row : rows) {
        const auto read = ReadCimRequest(row.body);
        const Refusal* refusal = std::get_if<Refusal>(&read);
        ASSERT_TRUE(refusal) << row.what;
        EXPECT_EQ(refusal->status, row.status) << row.what;
        EXPECT_EQ(refusal->cimError, row.cimError) << row.what << ": " << refusal->why;
    }
}

TEST(CimRequestReader, TypesParametersAndKeys) {
    std::string body =
        Call(Name("<KEYBINDING NAME=\"Id\"><KEYVALUE><![CDATA[a<b]]>&amp;c</KEYVALUE></KEYBINDING>"
                  "<KEYBINDING NAME=\"N\"><KEYVALUE VALUETYPE=\"numeric\">4294967295</KEYVALUE></KEYBINDING>"
                  "<KEYBINDING NAME=\"R\"><VALUE.REFERENCE><LOCALINSTANCEPATH><LOCALNAMESPACEPATH><NAMESPACE NAME=\"a\"/>"
                  "<NAMESPACE NAME=\"b\"/></LOCALNAMESPACEPATH><INSTANCENAME CLASSNAME=\"D\"><KEYVALUE>k</KEYVALUE>"
                  "</INSTANCENAME></LOCALINSTANCEPATH></VALUE.REFERENCE></KEYBINDING>") +
             "<IPARAMVALUE NAME=\"PropertyList\"><VALUE.ARRAY><VALUE>A</VALUE><VALUE>B</VALUE></VALUE.ARRAY></IPARAMVALUE>"
             "<IPARAMVALUE NAME=\"LocalOnly\"><VALUE>false</VALUE></IPARAMVALUE>");
    body.insert(body.find("?>") + 2, "<!-- a client's note --><?client hint?>");
    const auto read = ReadCimRequest(body);
    const CimRequest* request = std::get_if<CimRequest>(&read);
    ASSERT_TRUE(request) << std::get<Refusal>(read).why;
    EXPECT_EQ(request->messageId, "7");
    EXPECT_EQ(request->method, "GetInstance");
    EXPECT_EQ(request->namespaceName, "root/ornsg");
    EXPECT_FALSE(request->invalidParameter);
    const ParamValue* name = request->Param("instancename");
    ASSERT_TRUE(name && name->reference);
    EXPECT_EQ(name->reference->ToObjectPath(), "root/ornsg:C.Id=\"a<b&c\",N=4294967295,R=\"a/b:D.=\\\"k\\\"\"");
    EXPECT_EQ(name->reference->GetKeys().at("N").GetKind(), NORNSYV20::TCIMValue::eUint32);
    const ParamValue* list = request->Param("PropertyList");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->texts, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(request->Param("LocalOnly")->text, "false");
}

TEST(CimRequestReader, KeysNoClassCanHoldAreInvalidParameters) {
    const char* const bindings[] = {
        "<KEYBINDING NAME=\"N\"><KEYVALUE VALUETYPE=\"numeric\">4294967296</KEYVALUE></KEYBINDING>",
        "<KEYBINDING NAME=\"N\"><KEYVALUE VALUETYPE=\"numeric\">-1</KEYVALUE></KEYBINDING>",
        "<KEYBINDING NAME=\"B\"><KEYVALUE VALUETYPE=\"boolean\">TRUE</KEYVALUE></KEYBINDING>",
        "<KEYBINDING NAME=\"K\"><KEYVALUE>a</KEYVALUE></KEYBINDING><KEYBINDING NAME=\"K\"><KEYVALUE>b</KEYVALUE></KEYBINDING>",
        "<KEYBINDING NAME=\"R\"><VALUE.REFERENCE><CLASSNAME NAME=\"D\"/></VALUE.REFERENCE></KEYBINDING>",
    };
    for (const char* binding : bindings) {
        const auto read = ReadCimRequest(Call(Name(binding)));
        const CimRequest* request = std::get_if<CimRequest>(&read);
        ASSERT_TRUE(request) << binding;
        ASSERT_TRUE(request->invalidParameter) << binding;
        EXPECT_EQ(request->invalidParameter->code, kErrInvalidParameter) << binding;
    }
}

}  // namespace
