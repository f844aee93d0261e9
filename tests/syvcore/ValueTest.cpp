// Values, object paths and status texts: the host's own types.
#include "TestSupport.h"

#include <boost/assert.hpp>
#include <boost/shared_ptr.hpp>

#include <functional>

namespace {

using NORNSYV20::eCIMTypeString;
using NORNSYV20::eCIMTypeUint32;
using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;
using NORNSYV20::TSYVException;
using NORNSYV20::TSYVStatusCode;
using syvtest::ExpectStatus;
using Texts = std::vector<std::string>;

TCIMValue StringArray(const Texts& texts, unsigned int count) {
    return TCIMValue(TCIMValue::TCIMType(eCIMTypeString), count, std::vector<TCIMValue>(texts.begin(), texts.end()));
}

Texts TextsOf(const TCIMValue& array) {
    Texts texts;
    for (const TCIMValue& element : array.GetElements()) texts.push_back(element);
    return texts;
}

// Every accessor against every kind of value: only the matching pair works
// (numbers keep their full range), every other one throws status 3 naming
// what the value holds.
TEST(Value, AccessorsWorkOnlyForTheKindHeld) {
    struct Sample { const char* held; TCIMValue value; TCIMValue::EKind kind; };
    const char* const nullText = nullptr;
    const Sample samples[] = {
        {"null", TCIMValue(), TCIMValue::eNull},
        {"null", TCIMValue(nullText), TCIMValue::eNull},
        {"string", TCIMValue("text"), TCIMValue::eString},
        {"uint16", TCIMValue(std::uint16_t{65535}), TCIMValue::eUint16},
        {"uint32", TCIMValue(std::uint32_t{4294967295u}), TCIMValue::eUint32},
        {"reference", TCIMValue(TCIMReference(nullptr, "C", TCIMValueMap())), TCIMValue::eReference},
        {"string[]", StringArray({"a"}, 1), TCIMValue::eArray},
    };
    struct Accessor {
        const char* name;
        TCIMValue::EKind works;
        std::function<void(const TCIMValue&)> call;
    };
    const Accessor accessors[] = {
        {"string", TCIMValue::eString, [](const TCIMValue& v) { EXPECT_EQ(static_cast<std::string>(v), "text"); }},
        {"uint32", TCIMValue::eUint32,
         [](const TCIMValue& v) { EXPECT_EQ(static_cast<unsigned int>(v), 4294967295u); }},
        {"uint16", TCIMValue::eUint16, [](const TCIMValue& v) { EXPECT_EQ(v.GetUint16(), 65535u); }},
        {"reference", TCIMValue::eReference,
         [](const TCIMValue& v) { EXPECT_EQ(v.GetReference().GetClassName(), "C"); }},
        {"an array", TCIMValue::eArray, [](const TCIMValue& v) { EXPECT_EQ(TextsOf(v), Texts{"a"}); }},
        {"an array", TCIMValue::eArray, [](const TCIMValue& v) { EXPECT_EQ(v.GetElementType(), eCIMTypeString); }},
    };
    for (const Sample& sample : samples) {
        EXPECT_EQ(sample.value.GetKind(), sample.kind) << sample.held;
        EXPECT_EQ(sample.value.IsNull(), sample.kind == TCIMValue::eNull) << sample.held;
        for (const Accessor& accessor : accessors) {
            SCOPED_TRACE(std::string(sample.held) + " read as " + accessor.name);
            if (accessor.works == sample.kind) {
                accessor.call(sample.value);
            } else {
                ExpectStatus([&] { accessor.call(sample.value); }, TSYVStatusCode::kWrongValueType,
                             std::string("holds ") + sample.held + ", not " + accessor.name);
            }
        }
    }
}

// The count is informational: 0 with two elements (as the controller builder
// passes it) or more than the list.
TEST(Value, ArraysHoldExactlyTheElementsGivenOfTheirType) {
    EXPECT_EQ(TextsOf(StringArray({"model", "QLogic Fibre Channel1"}, 0)), (Texts{"model", "QLogic Fibre Channel1"}));
    EXPECT_EQ(TextsOf(StringArray({"", "x", ""}, 5)), (Texts{"", "x", ""}));
    EXPECT_TRUE(StringArray({}, 3).GetElements().empty());

    ExpectStatus([] { TCIMValue(TCIMValue::TCIMType(eCIMTypeUint32), 2, {TCIMValue(std::uint32_t{1}), TCIMValue("x")}); },
                 TSYVStatusCode::kWrongValueType, "element 1 of a uint32 array holds string");
    // A failed Set leaves the value as it was.
    TCIMValue kept = StringArray({"a"}, 1);
    ExpectStatus([&] { kept.Set(TCIMValue::TCIMType(eCIMTypeString), 1, {StringArray({"nested"}, 1)}); },
                 TSYVStatusCode::kWrongValueType, "element 0 of a string array holds string[]");
    EXPECT_EQ(TextsOf(kept), Texts{"a"});
}

boost::shared_ptr<NORNSYV20::ICIMNamespace> Namespace() { return syv::StandinHost::GetNamespace(); }

TEST(ObjectPath, KeysInAlphabeticalOrderWithTheirValueForms) {
    struct Case { const char* what; TCIMValueMap keys; const char* path; };
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

TEST(Exception, WhatIsTheStatusTextThenTheDetail) {
    EXPECT_STREQ(TSYVException{TSYVStatusCode(2)}.what(), "The requested class is not served by this provider");
    const TSYVException detailed(TSYVStatusCode(6), "qlogic//scli.exe: no such file");
    EXPECT_STREQ(detailed.what(), "The program could not be started: qlogic//scli.exe: no such file");
    EXPECT_EQ(detailed.GetStatusCode().GetCode(), 6u);
    // A code past the table still has a text.
    EXPECT_EQ(TSYVStatusCode(4294967295u).TranslateStatusCode(), "Unknown status code 4294967295");
}

TEST(AssertionHook, ThrowsInsteadOfAborting) {
    boost::shared_ptr<NORNSYV20::ICIMClass> empty;
    ExpectStatus([&] { empty->GetName(NORNSYV20::TCIMValueMap()); }, TSYVStatusCode::kAssertionFailed, "px != 0");
    ExpectStatus([] { boost::assertion_failed_msg("n > 0", "need one", "f()", "a.cpp", 42); },
                 TSYVStatusCode::kAssertionFailed, "n > 0 (need one) at a.cpp:42 in f()");
}

}  // namespace
