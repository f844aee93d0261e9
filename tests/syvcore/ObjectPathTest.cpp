#include "TestSupport.h"

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;

boost::shared_ptr<NORNSYV20::ICIMNamespace> Namespace() { return syv::StandinHost::GetNamespace(); }

TEST(ObjectPath, KeysInAlphabeticalOrderWithTheirValueForms) {
    struct Case {
        const char* what;
        TCIMValueMap keys;
        const char* path;
    };
    const Case cases[] = {
        {"order", {{"b", TCIMValue(std::uint32_t{1})}, {"a", TCIMValue("x")}, {"C", TCIMValue("y")}},
         "root/ornsg:K.C=\"y\",a=\"x\",b=1"},
        {"integers in decimal", {{"s", TCIMValue(std::uint16_t{65535})}, {"t", TCIMValue(std::uint32_t{4294967295u})}},
         "root/ornsg:K.s=65535,t=4294967295"},
        {"escapes", {{"k", TCIMValue("a\"b\\c")}}, "root/ornsg:K.k=\"a\\\"b\\\\c\""},
        // Only characters to escape: the path is twice as long as the text.
        {"escapes only", {{"k", TCIMValue("\"\\\"\\")}}, "root/ornsg:K.k=\"\\\"\\\\\\\"\\\\\""},
        {"empty string", {{"k", TCIMValue("")}}, "root/ornsg:K.k=\"\""},
        {"null", {{"k", TCIMValue()}}, "root/ornsg:K.k=NULL"},
        {"array", {{"k", TCIMValue(TCIMValue::TCIMType(NORNSYV20::eCIMTypeString), 3, {TCIMValue("\""), TCIMValue(), TCIMValue("")})}},
         "root/ornsg:K.k={\"\\\"\",NULL,\"\"}"},
        {"keyless", {}, "root/ornsg:K"},
        // References nest as quoted, escaped paths.
        {"reference", {{"r", TCIMValue(TCIMReference(Namespace(), "E", {{"Name", TCIMValue("fw \"1\"")}}))}},
         "root/ornsg:K.r=\"root/ornsg:E.Name=\\\"fw \\\\\\\"1\\\\\\\"\\\"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TCIMReference(Namespace(), "K", c.keys).ToObjectPath(), c.path) << c.what;
    }
}

// Without a namespace there is no prefix; the reference the association
// builder starts from (no namespace, no class, no keys) prints as nothing.
TEST(ObjectPath, NullNamespaceLeavesOutThePrefix) {
    EXPECT_EQ(TCIMReference(nullptr, "K", {{"k", TCIMValue("v")}}).ToObjectPath(), "K.k=\"v\"");
    EXPECT_EQ(TCIMReference(nullptr, TCIMValueMap()).ToObjectPath(), "");
}

}  // namespace
