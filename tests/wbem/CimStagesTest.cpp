// Two stages of the server on their own: the schema view (names in any
// letter case, paths matched to instances by their keys) and the CIM-XML
// writer (how values and references are written; classes, through the CIM
// service's test).
#include "syvcore/StandinHost.h"
#include "wbem/CimXmlWriter.h"
#include "wbem/SchemaView.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace syv;
using namespace syv::wbem;
using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;

const std::string kFirmware = "ORNSG_QLogicFibreChannelFirmwareElement";

class CimStagesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StandinHost::LoadSchema(VELKOR_SCHEMA_DIR); }

    SchemaView view{"root/ornsg", StandinHost::GetSchema()};
    CommittedInstance firmware{kFirmware, "",
                               {{"Name", TCIMValue("F")}, {"Version", TCIMValue("1")},
                                {"SoftwareElementState", TCIMValue(std::uint16_t{3})},
                                {"SoftwareElementID", TCIMValue("I")},
                                {"TargetOperatingSystem", TCIMValue(std::uint16_t{58})}}};
};

TEST_F(CimStagesTest, SchemaViewMatchesPathsByTheirKeys) {
    const auto keys = [](std::uint32_t state) {
        return TCIMValueMap{{"name", TCIMValue("F")}, {"VERSION", TCIMValue("1")},
                            {"SoftwareElementState", TCIMValue(state)}, {"SoftwareElementID", TCIMValue("I")},
                            {"TargetOperatingSystem", TCIMValue(std::uint32_t{58})}};
    };
    TCIMValueMap extra = keys(3);
    extra.emplace("DeviceID", TCIMValue("D"));
    const struct { const char* what; std::string cls; TCIMValueMap keys; bool names; } rows[] = {
        {"keys in other letter cases, integers of other widths", "orNSG_qlogicFIBRECHANNELfirmwareELEMENT", keys(3), true},
        {"another value", kFirmware, keys(4), false},
        {"a key more", kFirmware, extra, false},
        {"a key less", kFirmware, {{"Name", TCIMValue("F")}}, false},
        {"another class", "ORNSG_QLogicFibreChannelBIOSElement", keys(3), false},
        {"a string for a number", kFirmware, [&] {
             TCIMValueMap text = keys(3);
             text["SoftwareElementState"] = TCIMValue("3");
             return text;
         }(), false},
    };
    const ClassDefinition& cls = *view.FindClass(kFirmware);
    for (const auto& row : rows) {
        const TCIMReference reference = StandinHost::MakeReference("root/ornsg", row.cls, row.keys);
        EXPECT_EQ(view.Names(reference, cls, firmware), row.names) << row.what;
    }
    EXPECT_EQ(view.Canonical(StandinHost::MakeReference("x", "ornsg_qlogicfibrechannelfirmwareelement", keys(3)))
                  .ToObjectPath(),
              "root/ornsg:" + kFirmware +
                  ".Name=\"F\",SoftwareElementID=\"I\",SoftwareElementState=3,TargetOperatingSystem=58,Version=\"1\"");
}

TEST_F(CimStagesTest, WriterShowsValuesAndReferencesAsDsp0201Does) {
    const TCIMReference controller = StandinHost::MakeReference("root/ornsg", "C", {{"K", TCIMValue("a\"<b")}});
    const std::vector<TCIMValue> texts{TCIMValue("x"), TCIMValue()};
    const CommittedInstance link{"ORNSG_QLogicFibreChannelControllerFirmware", "",
                                 {{"Dependent", TCIMValue(controller)},
                                  {"Antecedent", TCIMValue()},
                                  {"Other", TCIMValue(TCIMValue::TCIMType(NORNSYV20::eCIMTypeString), 2, texts)}}};
    const ClassDefinition& association = *view.FindClass(link.className);
    const struct { const char* what; std::function<void(CimXmlWriter&)> write; std::string written; } rows[] = {
        {"a reference, a null reference and an undeclared array",
         [&](CimXmlWriter& xml) { xml.Instance(association, link, PropertyFilter()); },
         "<INSTANCE CLASSNAME=\"ORNSG_QLogicFibreChannelControllerFirmware\"><PROPERTY.REFERENCE NAME=\"Dependent\" "
         "REFERENCECLASS=\"ORNSG_QLogicFibreChannelSCSIProtocolController\"><VALUE.REFERENCE><LOCALINSTANCEPATH>"
         "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"ornsg\"/></LOCALNAMESPACEPATH><INSTANCENAME "
         "CLASSNAME=\"C\"><KEYBINDING NAME=\"K\"><KEYVALUE VALUETYPE=\"string\">a&quot;&lt;b</KEYVALUE></KEYBINDING>"
         "</INSTANCENAME></LOCALINSTANCEPATH></VALUE.REFERENCE></PROPERTY.REFERENCE><PROPERTY.REFERENCE "
         "NAME=\"Antecedent\" REFERENCECLASS=\"ORNSG_QLogicFibreChannelFirmwareElement\"></PROPERTY.REFERENCE>"
         "<PROPERTY.ARRAY NAME=\"Other\" TYPE=\"string\"><VALUE.ARRAY><VALUE>x</VALUE><VALUE.NULL/></VALUE.ARRAY>"
         "</PROPERTY.ARRAY></INSTANCE>"},
        {"a path with numeric keys, filtered to a list", [&](CimXmlWriter& xml) {
             PropertyFilter filter;
             filter.propertyList = std::vector<std::string>{"version", "SoftwareElementState"};
             filter.classOrigin = true;
             xml.InstanceWithPath("VALUE.INSTANCEWITHPATH", view, *view.FindClass(kFirmware), firmware, filter);
         },
         "<VALUE.INSTANCEWITHPATH><INSTANCEPATH><NAMESPACEPATH><HOST>h</HOST><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/>"
         "<NAMESPACE NAME=\"ornsg\"/></LOCALNAMESPACEPATH></NAMESPACEPATH><INSTANCENAME CLASSNAME=\"" + kFirmware +
             "\"><KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">F</KEYVALUE></KEYBINDING><KEYBINDING "
             "NAME=\"SoftwareElementID\"><KEYVALUE VALUETYPE=\"string\">I</KEYVALUE></KEYBINDING><KEYBINDING "
             "NAME=\"SoftwareElementState\"><KEYVALUE VALUETYPE=\"numeric\">3</KEYVALUE></KEYBINDING><KEYBINDING "
             "NAME=\"TargetOperatingSystem\"><KEYVALUE VALUETYPE=\"numeric\">58</KEYVALUE></KEYBINDING><KEYBINDING "
             "NAME=\"Version\"><KEYVALUE VALUETYPE=\"string\">1</KEYVALUE></KEYBINDING></INSTANCENAME></INSTANCEPATH>"
             "<INSTANCE CLASSNAME=\"" + kFirmware + "\"><PROPERTY NAME=\"Version\" TYPE=\"string\" CLASSORIGIN=\"" +
             kFirmware + "\"><VALUE>1</VALUE></PROPERTY><PROPERTY NAME=\"SoftwareElementState\" TYPE=\"uint16\" "
             "CLASSORIGIN=\"" + kFirmware + "\"><VALUE>3</VALUE></PROPERTY></INSTANCE></VALUE.INSTANCEWITHPATH>"},
    };
    for (const auto& row : rows) {
        std::string out;
        CimXmlWriter xml(out, "h");
        row.write(xml);
        EXPECT_EQ(out, row.written) << row.what;
    }
}

}  // namespace
