// The report writers on hand-made query reports: escaping, order, failed
// queries, and text that is not valid UTF-8.
#include "JsonReport.h"
#include "MofChecker.h"
#include "MofReport.h"
#include "syvcore/ReportText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using NORNSYV20::TCIMReference;
using NORNSYV20::TCIMValue;
using NORNSYV20::TCIMValueMap;
using Json = nlohmann::ordered_json;

const syv::PluginIdentity kPlugin{"Test Plug-in", "2.5", "7", 3};

TCIMValue StringArray(const std::vector<std::string>& texts) {
    std::vector<TCIMValue> elements(texts.begin(), texts.end());
    return TCIMValue(TCIMValue::TCIMType(NORNSYV20::eCIMTypeString), static_cast<unsigned int>(texts.size()),
                     elements);
}

TCIMValue Reference(const std::string& className, const std::string& key, const std::string& value) {
    TCIMValueMap keys;
    keys[key] = TCIMValue(value);
    return TCIMValue(TCIMReference(boost::shared_ptr<NORNSYV20::ICIMNamespace>(), className, keys));
}

// Properties deliberately out of alphabetical order, and one value of every
// kind, so that order and formatting are both visible.
syv::CommittedInstance Controller() {
    syv::CommittedInstance instance;
    instance.className = "Test_Controller";
    instance.path = "ns:Test_Controller.DeviceID=\"C1\"";
    instance.properties = {
        {"Zeta", TCIMValue("last \"first\"")},
        {"Alpha", TCIMValue(static_cast<std::uint16_t>(65535))},
        {"Count", TCIMValue(static_cast<std::uint32_t>(4294967295u))},
        {"Lines", StringArray({"one\r", "two\ttabbed", "three \\ back"})},
        {"Single", StringArray({"only"})},
        {"Empty", StringArray({})},
        {"Link", Reference("Test_Element", "Name", "E \"1\"")},
        {"Nothing", TCIMValue()},
    };
    return instance;
}

syv::QueryReport SucceededQuery() {
    syv::QueryReport query;
    query.classes = {"Test_Controller", "Test_Other"};
    query.instances = {Controller()};
    query.toolRuns = {{"qlogic//scli.exe", {"-z"}, 300, "ok", 0}};
    query.log = {{3, "detail\nwith a line end"}, {1, "error"}};
    return query;
}

syv::QueryReport FailedQuery() {
    syv::QueryReport query;
    query.classes = {"Test_Controller", "Unknown_Class"};
    query.instances = {Controller()};
    query.toolRuns = {{"qlogic//iscli.exe", {"-z"}, 1, "failed: The program did not finish within its timeout", std::nullopt}};
    query.failed = true;
    query.status = 2;
    query.message = "The requested class is not served by this provider: Unknown_Class\nsecond line";
    return query;
}

TEST(MofReportTest, EscapesStringsByTheMofGrammar) {
    const struct {
        std::string raw;
        std::string escaped;
    } cases[] = {
        {"plain text", "plain text"},
        {"back\\slash", "back\\\\slash"},
        {"\"quoted\"", "\\\"quoted\\\""},
        {"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
        {"\x01\x1f\x7f", "\\x0001\\x001F\\x007F"},
        {std::string("nul\0byte", 8), "nul\\x0000byte"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},  // UTF-8 stays as it is
        {"bad \xff byte", "bad \\\\xFF byte"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(syv::EscapeMofString(c.raw), c.escaped) << c.escaped;
    }
}

TEST(MofReportTest, FormatsEveryKindOfValue) {
    EXPECT_EQ(syv::FormatMofValue(TCIMValue()), "NULL");
    EXPECT_EQ(syv::FormatMofValue(TCIMValue("a\"b")), "\"a\\\"b\"");
    EXPECT_EQ(syv::FormatMofValue(TCIMValue(static_cast<std::uint16_t>(0))), "0");
    EXPECT_EQ(syv::FormatMofValue(TCIMValue(static_cast<std::uint32_t>(4294967295u))), "4294967295");
    EXPECT_EQ(syv::FormatMofValue(StringArray({})), "{}");
    EXPECT_EQ(syv::FormatMofValue(StringArray({"a", "b\n"})), "{\"a\", \"b\\n\"}");
    // The object path's own escapes are escaped once more inside the literal.
    EXPECT_EQ(syv::FormatMofValue(Reference("C", "K", "v\"")), "\"C.K=\\\"v\\\\\\\"\\\"\"");
}

TEST(MofReportTest, ReportReadsBackWithEveryPropertyInOrder) {
    const std::string text = syv::WriteMofReport(kPlugin, {SucceededQuery(), FailedQuery()});
    const e2e::MofDocument document = e2e::ReadMofReport(text);

    ASSERT_EQ(document.instances.size(), 2u);
    const syv::CommittedInstance expected = Controller();
    for (const e2e::MofInstance& instance : document.instances) {
        EXPECT_EQ(instance.className, "Test_Controller");
        ASSERT_EQ(instance.properties.size(), expected.properties.size());
        for (std::size_t i = 0; i < expected.properties.size(); ++i) {
            EXPECT_EQ(instance.properties[i].first, expected.properties[i].first);
        }
        EXPECT_EQ(instance.properties[0].second.text, "last \"first\"");
        EXPECT_EQ(instance.properties[1].second.text, "65535");
        EXPECT_EQ(instance.properties[2].second.text, "4294967295");
        const std::vector<e2e::MofValue>& lines = instance.properties[3].second.elements;
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0].text, "one\r");
        EXPECT_EQ(lines[1].text, "two\ttabbed");
        EXPECT_EQ(lines[2].text, "three \\ back");
        EXPECT_EQ(instance.properties[4].second.elements.size(), 1u);
        EXPECT_EQ(instance.properties[5].second.kind, e2e::MofValue::kArray);
        EXPECT_TRUE(instance.properties[5].second.elements.empty());
        EXPECT_EQ(instance.properties[6].second.text, "Test_Element.Name=\"E \\\"1\\\"\"");
        EXPECT_EQ(instance.properties[7].second.kind, e2e::MofValue::kNull);
    }
}

TEST(MofReportTest, HeadsEveryQueryAndEndsAFailedOneWithItsStatus) {
    const std::string text = syv::WriteMofReport(kPlugin, {SucceededQuery(), FailedQuery()});
    const e2e::MofDocument document = e2e::ReadMofReport(text);

    ASSERT_EQ(document.comments.size(), 4u);
    EXPECT_EQ(document.comments[0], "plug-in: Test Plug-in, version 2.5, revision 7, flags 3");
    EXPECT_EQ(document.comments[1], "query 1 of 2: Test_Controller, Test_Other");
    EXPECT_EQ(document.comments[2], "query 2 of 2: Test_Controller, Unknown_Class");
    // The line end inside the message cannot end the comment.
    EXPECT_EQ(document.comments[3],
              "query 2 failed: status 2: The requested class is not served by this provider: Unknown_Class\\nsecond "
              "line");
    // What was committed before the failure comes before the failure line.
    EXPECT_LT(text.rfind("instance of"), text.find("query 2 failed"));
    EXPECT_GT(text.rfind("instance of"), text.find("query 2 of 2"));
}

TEST(MofReportTest, ControlCharactersInClassNamesStayInsideTheirComment) {
    syv::QueryReport query;
    query.classes = {"Bad\nName", ""};
    const e2e::MofDocument document = e2e::ReadMofReport(syv::WriteMofReport(kPlugin, {query}));
    ASSERT_EQ(document.comments.size(), 2u);
    EXPECT_EQ(document.comments[1], "query 1 of 1: Bad\\nName, ");
}

TEST(MofReportTest, NoQueriesIsAReportOfTheIdentityAlone) {
    const e2e::MofDocument document = e2e::ReadMofReport(syv::WriteMofReport(kPlugin, {}));
    EXPECT_EQ(document.comments.size(), 1u);
    EXPECT_TRUE(document.instances.empty());
}

TEST(MofCheckerTest, RefusesMalformedReports) {
    const char* const malformed[] = {
        "instance of A\n{\n    X = 1;\n",                // block not closed
        "instance of A\n{\n    X = 1\n};\n",             // no semicolon
        "instance of A\n{\n    X 1;\n};\n",              // no equals sign
        "instance of A\n{\n    X = \"a\\qb\";\n};\n",    // unknown escape
        "instance of A\n{\n    X = \"a\tb\";\n};\n",     // raw control character
        "instance of A\n{\n    X = \"ab;\n};\n",         // string not closed
        "instance of A\n{\n    X = \"\\x41\";\n};\n",    // needless \x escape
        "instance of A\n{\n    X = {\"a\",};\n};\n",     // trailing comma
        "stray text\n",
        "// comment with a raw \r inside\n",
    };
    for (const char* text : malformed) {
        EXPECT_THROW(e2e::ReadMofReport(text), std::runtime_error) << text;
    }
    EXPECT_NO_THROW(e2e::ReadMofReport("// c\n\ninstance of A\n{\n    X = {\"a\", 1, NULL};\n};\n"));
}

TEST(JsonReportTest, HoldsEveryFieldInOrder) {
    const Json document = Json::parse(syv::WriteJsonReport(kPlugin, {SucceededQuery(), FailedQuery()}));

    ASSERT_EQ(document.size(), 2u);
    EXPECT_EQ(document.begin().key(), "plugin");
    const Json& plugin = document["plugin"];
    EXPECT_EQ(plugin.dump(), R"({"name":"Test Plug-in","version":"2.5","revision":"7","flags":3})");

    const Json& first = document["queries"][0];
    std::vector<std::string> keys;
    for (auto it = first.begin(); it != first.end(); ++it) {
        keys.push_back(it.key());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"classes", "instances", "tool_runs", "log", "error"}));
    EXPECT_EQ(first["classes"], Json({"Test_Controller", "Test_Other"}));
    EXPECT_TRUE(first["error"].is_null());

    const Json& instance = first["instances"][0];
    EXPECT_EQ(instance["class"], "Test_Controller");
    EXPECT_EQ(instance["path"], "ns:Test_Controller.DeviceID=\"C1\"");
    const Json& properties = instance["properties"];
    const struct {
        const char* name;
        const char* type;
        Json value;
    } expected[] = {
        {"Zeta", "string", "last \"first\""},
        {"Alpha", "uint16", 65535},
        {"Count", "uint32", 4294967295u},
        {"Lines", "string[]", Json::array({"one\r", "two\ttabbed", "three \\ back"})},
        {"Single", "string[]", Json::array({"only"})},
        {"Empty", "string[]", Json::array()},
        {"Link", "reference", "Test_Element.Name=\"E \\\"1\\\"\""},
        {"Nothing", "null", nullptr},
    };
    ASSERT_EQ(properties.size(), sizeof expected / sizeof expected[0]);
    for (std::size_t i = 0; i < properties.size(); ++i) {
        EXPECT_EQ(properties[i]["name"], expected[i].name);
        EXPECT_EQ(properties[i]["type"], expected[i].type) << expected[i].name;
        EXPECT_EQ(properties[i]["value"], expected[i].value) << expected[i].name;
    }

    EXPECT_EQ(first["tool_runs"].dump(),
              R"([{"command":"qlogic//scli.exe","arguments":["-z"],"timeout":300,"outcome":"ok","exit_code":0}])");
    EXPECT_EQ(first["log"].dump(), R"([{"level":3,"message":"detail\nwith a line end"},{"level":1,"message":"error"}])");

    const Json& second = document["queries"][1];
    EXPECT_EQ(second["instances"].size(), 1u);
    EXPECT_EQ(second["error"]["status"], 2);
    EXPECT_EQ(second["error"]["message"], FailedQuery().message);
    EXPECT_EQ(second["tool_runs"][0]["timeout"], 1);
    EXPECT_TRUE(second["tool_runs"][0]["exit_code"].is_null());
}

// Both reports show any bytes as the same valid UTF-8 text, and different
// texts differently.
TEST(ReportTextTest, BothReportsShowEveryTextAsTheSameUtf8) {
    const struct {
        std::string raw;
        std::string shown;
    } cases[] = {
        {"ok \xc3\xa9 \xf0\x9f\x98\x80", "ok \xc3\xa9 \xf0\x9f\x98\x80"},
        {"back\\slash \"x\"", "back\\slash \"x\""},
        {"bad \xff\xfe end", "bad \\xFF\\xFE end"},
        {"cut \xc3", "cut \\xC3"},
        {"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80", "\\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80"},
        {"\\xFF", "\\\\xFF"},
        {"a\\b \xff", "a\\\\b \\xFF"},
    };
    syv::QueryReport query;
    syv::CommittedInstance instance;
    instance.className = "Raw";
    instance.path = "ns:Raw.Name=\"\xff\"";
    std::vector<std::string> raws;
    std::set<std::string> shown;
    for (const auto& c : cases) {
        raws.push_back(c.raw);
        EXPECT_TRUE(shown.insert(c.shown).second) << c.shown;
    }
    instance.properties = {{"Lines", StringArray(raws)}};
    query.instances = {instance};
    query.log = {{2, "stderr: \x80"}};

    const std::string json = syv::WriteJsonReport(kPlugin, {query});
    const std::string mof = syv::WriteMofReport(kPlugin, {query});
    EXPECT_TRUE(syv::IsUtf8(json));
    EXPECT_TRUE(syv::IsUtf8(mof));
    const Json document = Json::parse(json);
    const Json& reported = document["queries"][0]["instances"][0];
    const e2e::MofDocument read = e2e::ReadMofReport(mof);
    ASSERT_EQ(read.instances.size(), 1u);
    const std::vector<e2e::MofValue>& lines = read.instances[0].properties[0].second.elements;
    ASSERT_EQ(lines.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(reported["properties"][0]["value"][i], cases[i].shown);
        EXPECT_EQ(lines[i].text, cases[i].shown);
    }
    EXPECT_EQ(reported["path"], "ns:Raw.Name=\"\\xFF\"");
    EXPECT_EQ(document["queries"][0]["log"][0]["message"], "stderr: \\x80");
}

TEST(JsonReportTest, NoQueriesIsAnEmptyList) {
    const Json document = Json::parse(syv::WriteJsonReport(kPlugin, {}));
    EXPECT_TRUE(document["queries"].is_array());
    EXPECT_TRUE(document["queries"].empty());
}

}  // namespace
