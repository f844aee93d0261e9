#include "TestSupport.h"

#include <functional>

namespace {

using NORNSYV20::eCIMTypeString;
using NORNSYV20::eCIMTypeUint32;
using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;
using NORNSYV20::TSYVStatusCode;
using syvtest::ExpectStatus;

TCIMValue StringArray(const std::vector<std::string>& texts, unsigned int count) {
    std::vector<TCIMValue> elements(texts.begin(), texts.end());
    return TCIMValue(TCIMValue::TCIMType(eCIMTypeString), count, elements);
}

std::vector<std::string> Texts(const TCIMValue& array) {
    std::vector<std::string> texts;
    for (const TCIMValue& element : array.GetElements()) texts.push_back(element);
    return texts;
}

// Every accessor against every kind of value: only the matching pair works,
// every other one throws status 3 naming what the value holds.
TEST(Value, AccessorsWorkOnlyForTheKindHeld) {
    struct Sample {
        const char* held;
        TCIMValue value;
        TCIMValue::EKind kind;
    };
    const TCIMReference reference(boost::shared_ptr<NORNSYV20::ICIMNamespace>(), "C", TCIMValueMap());
    const Sample samples[] = {
        {"null", TCIMValue(), TCIMValue::eNull},
        {"string", TCIMValue("text"), TCIMValue::eString},
        {"string", TCIMValue(std::string("text")), TCIMValue::eString},
        {"uint16", TCIMValue(std::uint16_t{58}), TCIMValue::eUint16},
        {"uint32", TCIMValue(std::uint32_t{7}), TCIMValue::eUint32},
        {"reference", TCIMValue(reference), TCIMValue::eReference},
        {"string[]", StringArray({"a"}, 1), TCIMValue::eArray},
    };
    struct Accessor {
        const char* name;
        TCIMValue::EKind works;
        std::function<void(const TCIMValue&)> call;
    };
    const Accessor accessors[] = {
        {"string", TCIMValue::eString, [](const TCIMValue& v) { EXPECT_EQ(static_cast<std::string>(v), "text"); }},
        {"uint32", TCIMValue::eUint32, [](const TCIMValue& v) { EXPECT_EQ(static_cast<unsigned int>(v), 7u); }},
        {"uint16", TCIMValue::eUint16, [](const TCIMValue& v) { EXPECT_EQ(v.GetUint16(), 58u); }},
        {"reference", TCIMValue::eReference,
         [](const TCIMValue& v) { EXPECT_EQ(v.GetReference().GetClassName(), "C"); }},
        {"an array", TCIMValue::eArray, [](const TCIMValue& v) { EXPECT_EQ(v.GetElements().size(), 1u); }},
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

TEST(Value, NumbersKeepTheirFullRange) {
    EXPECT_EQ(TCIMValue(std::uint16_t{65535}).GetUint16(), 65535u);
    EXPECT_EQ(static_cast<unsigned int>(TCIMValue(std::uint32_t{4294967295u})), 4294967295u);
    EXPECT_EQ(static_cast<unsigned int>(TCIMValue(std::uint32_t{0})), 0u);
}

TEST(Value, NullCStringMakesANullValue) {
    const char* missing = nullptr;
    EXPECT_TRUE(TCIMValue(missing).IsNull());
    EXPECT_EQ(static_cast<std::string>(TCIMValue("")), "");
}

TEST(Value, CopiesAreDeep) {
    TCIMValue original = StringArray({"a", "b"}, 2);
    const TCIMValue copy(original);
    TCIMValue assigned;
    assigned = original;
    original.Set(TCIMValue::TCIMType(eCIMTypeString), 1, {TCIMValue("z")});
    EXPECT_EQ(Texts(copy), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Texts(assigned), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Texts(original), (std::vector<std::string>{"z"}));

    TCIMValue self("same");
    const TCIMValue& alias = self;
    self = alias;
    EXPECT_EQ(static_cast<std::string>(self), "same");
}

TEST(Value, MoveLeavesTheSourceNull) {
    TCIMValue source("text");
    const TCIMValue constructed(std::move(source));
    EXPECT_TRUE(source.IsNull());  // NOLINT(bugprone-use-after-move): the documented state
    EXPECT_EQ(static_cast<std::string>(constructed), "text");

    TCIMValue other(std::uint32_t{5});
    TCIMValue target("old");
    target = std::move(other);
    EXPECT_TRUE(other.IsNull());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(static_cast<unsigned int>(target), 5u);
}

// The count argument is informational: 0 with two elements (as the
// controller builder passes it) or a count larger than the list.
TEST(Value, ArraysHoldExactlyTheElementsGiven) {
    EXPECT_EQ(Texts(StringArray({"model", "QLogic Fibre Channel1"}, 0)),
              (std::vector<std::string>{"model", "QLogic Fibre Channel1"}));
    EXPECT_EQ(Texts(StringArray({"a"}, 5)), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(StringArray({}, 3).GetElements().empty());
    EXPECT_EQ(Texts(StringArray({"", "x", ""}, 3)), (std::vector<std::string>{"", "x", ""}));
}

TEST(Value, SetReplacesWhateverWasHeld) {
    TCIMValue value("text");
    value.Set(TCIMValue::TCIMType(eCIMTypeString), 2, {TCIMValue("l1"), TCIMValue("l2")});
    EXPECT_EQ(value.GetKind(), TCIMValue::eArray);
    EXPECT_EQ(Texts(value), (std::vector<std::string>{"l1", "l2"}));
}

TEST(Value, ArrayElementsMustMatchTheElementType) {
    ExpectStatus([] { StringArray({"a"}, 1).Set(TCIMValue::TCIMType(eCIMTypeString), 1, {TCIMValue(std::uint32_t{1})}); },
                 TSYVStatusCode::kWrongValueType, "element 0 of a string array holds uint32");
    ExpectStatus([] { TCIMValue(TCIMValue::TCIMType(eCIMTypeUint32), 2, {TCIMValue(std::uint32_t{1}), TCIMValue("x")}); },
                 TSYVStatusCode::kWrongValueType, "element 1 of a uint32 array holds string");
    // A failed Set leaves the value as it was.
    TCIMValue kept = StringArray({"a"}, 1);
    ExpectStatus([&] { kept.Set(TCIMValue::TCIMType(eCIMTypeString), 1, {StringArray({"nested"}, 1)}); },
                 TSYVStatusCode::kWrongValueType);
    EXPECT_EQ(Texts(kept), (std::vector<std::string>{"a"}));
}

}  // namespace
